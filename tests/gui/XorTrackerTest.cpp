#include "platform/XorTracker.h"

#include <QApplication>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A window in which neighbouring pixels all differ, with a child window over part of it, so
// that any stray or missing inversion shows in a pixel comparison.
class CPatternedSurface : public QWidget {
public:
    CPatternedSurface() {
        resize(240, 160);
        m_image = QImage(size(), QImage::Format_RGB32);
        for (int y = 0; y < m_image.height(); ++y)
            for (int x = 0; x < m_image.width(); ++x)
                m_image.setPixel(x, y, qRgb((x * 7) & 0xFF, (y * 13) & 0xFF, ((x + y) * 3) & 0xFF));
        m_child = new QWidget(this);
        m_child->setGeometry(100, 40, 60, 60);
        m_child->setAutoFillBackground(true);
        QPalette palette = m_child->palette();
        palette.setColor(QPalette::Window, QColor(30, 160, 90));
        m_child->setPalette(palette);
    }
    QWidget* m_child = nullptr;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, m_image); }

private:
    QImage m_image;
};

QImage Grab(QWidget* w) {
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QRgb Inverted(QRgb c) {
    return qRgb(255 - qRed(c), 255 - qGreen(c), 255 - qBlue(c));
}

// Counts the pixels of `band` that `after` shows inverted; fails on any pixel that is neither
// unchanged nor inverted, on an inversion off the checkerboard, and on any change outside.
int CheckHalftoneInversion(const QImage& before, const QImage& after, const QRect& band) {
    int inverted = 0;
    int parity = -1;
    for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            const QRgb was = before.pixel(x, y);
            const QRgb now = after.pixel(x, y);
            if (!band.contains(x, y)) {
                EXPECT_EQ(now, was) << "changed outside the band at " << x << "," << y;
                continue;
            }
            const bool flipped = now == Inverted(was) && now != was;
            EXPECT_TRUE(flipped || now == was) << "neither kept nor inverted at " << x << "," << y;
            if (parity < 0)
                parity = ((x + y) % 2) ^ (flipped ? 0 : 1);
            EXPECT_EQ(flipped, (x + y) % 2 == parity) << "off the checkerboard at " << x << "," << y;
            inverted += flipped ? 1 : 0;
        }
    }
    return inverted;
}

} // namespace

TEST(XorTracker, InvertsExactlyTheHalftoneOfItsBandAndASecondDrawingRestores) {
    CPatternedSurface surface;
    surface.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&surface));
    const QImage before = Grab(&surface);

    // The band crosses the child window: what the child shows is inverted as well.
    const QRect band(90, 10, 6, 120);
    CXorTracker::PatInvert(&surface, band);
    ASSERT_NE(CXorTracker::Find(&surface), nullptr);
    const QImage once = Grab(&surface);
    EXPECT_EQ(CheckHalftoneInversion(before, once, band), band.width() * band.height() / 2);

    CXorTracker::PatInvert(&surface, band);
    EXPECT_EQ(Grab(&surface), before);
    EXPECT_EQ(CXorTracker::Find(&surface), nullptr);
}

TEST(XorTracker, OverlayLetsTheMouseThroughAndKeepsCoveringItsWindow) {
    QWidget surface;
    surface.resize(200, 120);
    auto* button = new QPushButton(QStringLiteral("OK"), &surface);
    button->setGeometry(20, 20, 80, 30);
    surface.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&surface));
    QSignalSpy clicked(button, &QPushButton::clicked);

    CXorTracker::PatInvert(&surface, QRect(0, 0, 200, 120));
    CXorTracker* overlay = CXorTracker::Find(&surface);
    ASSERT_NE(overlay, nullptr);
    QTest::mouseClick(surface.windowHandle(), Qt::LeftButton, {}, QPoint(60, 35));
    EXPECT_EQ(clicked.count(), 1);

    // A window created later does not end up above the tracker once it is drawn again.
    auto* later = new QWidget(&surface);
    later->show();
    CXorTracker::PatInvert(&surface, QRect(5, 5, 10, 10));
    EXPECT_EQ(surface.children().last(), overlay);

    surface.resize(260, 180);
    EXPECT_EQ(overlay->geometry(), QRect(0, 0, 260, 180));
    EXPECT_EQ(overlay->Bands().size(), 2);
}
