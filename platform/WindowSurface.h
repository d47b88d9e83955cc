#pragma once
// The persistent picture of a window that draws itself outside its paint handler.
//
// Drawing "directly on the window" paints into this image and then flushes the touched rectangle
// to the screen at once; the window's paint handler only copies the image. The picture therefore
// keeps everything drawn on it until it is painted over, as a window's screen pixels would.

#include <QImage>
#include <QRect>
#include <QSize>

class QPainter;
class QWidget;

class CWindowSurface {
public:
    // Keeps the existing picture in the top-left corner; new area is filled with fill.
    void Resize(QSize size, const QColor& fill = Qt::white);
    QSize Size() const { return m_image.size(); }
    QImage& Image() { return m_image; }
    const QImage& Image() const { return m_image; }

    // Shows the rectangle of the picture on the widget now (synchronous repaint when visible).
    static void Flush(QWidget* widget, const QRect& rect);
    // Copies the given part of the picture to a widget's painter (used by the paint handler).
    void CopyTo(QPainter& painter, const QRect& rect) const;

private:
    QImage m_image;
};
