#include "platform/WindowSurface.h"

#include <QPainter>
#include <QWidget>

void CWindowSurface::Resize(QSize size, const QColor& fill) {
    if (size == m_image.size())
        return;
    QImage resized(size.expandedTo(QSize(0, 0)), QImage::Format_RGB32);
    resized.fill(fill);
    if (!m_image.isNull() && !resized.isNull()) {
        QPainter painter(&resized);
        painter.drawImage(0, 0, m_image);
    }
    m_image = resized;
}

void CWindowSurface::Flush(QWidget* widget, const QRect& rect) {
    if (widget && widget->isVisible() && !rect.isEmpty())
        widget->repaint(rect);
}

void CWindowSurface::CopyTo(QPainter& painter, const QRect& rect) const {
    if (!m_image.isNull())
        painter.drawImage(rect.topLeft(), m_image, rect);
}
