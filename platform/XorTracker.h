#pragma once

// Inverted-pixel bands drawn over a window: the halftone pattern (a 50 % checkerboard) XORed
// into what the window and its children show, the way a drag tracker is drawn without
// disturbing the windows beneath it. Inverting the same band a second time restores every
// pixel, so a tracker is erased by drawing it again at the same place.
//
// The bands live in a child overlay of the window they are drawn on: it covers that window,
// lets every mouse event through, stays above its siblings and repaints its bands with the
// raster operation source-XOR-destination whenever the region beneath it is repainted. The
// overlay exists only while at least one band is shown.

#include <QList>
#include <QRect>
#include <QWidget>

class CXorTracker : public QWidget {
    Q_OBJECT
public:
    // Inverts the halftone pattern over `band` (in `surface`'s coordinates, the pattern aligned
    // to its top-left corner). An empty band, or no surface, inverts nothing.
    static void PatInvert(QWidget* surface, const QRect& band);
    // The overlay on `surface`, or nullptr when no band is shown there.
    static CXorTracker* Find(const QWidget* surface);

    // The bands shown, in the order they were drawn.
    const QList<QRect>& Bands() const { return m_bands; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit CXorTracker(QWidget* surface);
    // Adds the band, or takes it away when the same band is already shown: two inversions of
    // the same pixels cancel. Returns whether any band remains.
    bool Toggle(const QRect& band);

    QList<QRect> m_bands;
};
