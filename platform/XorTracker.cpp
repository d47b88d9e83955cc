#include "platform/XorTracker.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

CXorTracker::CXorTracker(QWidget* surface) : QWidget(surface) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(surface->rect());
    surface->installEventFilter(this);
}

CXorTracker* CXorTracker::Find(const QWidget* surface) {
    if (!surface)
        return nullptr;
    return surface->findChild<CXorTracker*>(QString(), Qt::FindDirectChildrenOnly);
}

void CXorTracker::PatInvert(QWidget* surface, const QRect& band) {
    if (!surface || band.isEmpty())
        return;
    CXorTracker* overlay = Find(surface);
    if (!overlay)
        overlay = new CXorTracker(surface);
    if (!overlay->Toggle(band)) {
        // Nothing inverted any more: the overlay goes, and the window shows what it had.
        delete overlay;
        return;
    }
    overlay->raise();
    overlay->show();
    overlay->update(band);
}

bool CXorTracker::Toggle(const QRect& band) {
    if (!m_bands.removeOne(band))
        m_bands.append(band);
    return !m_bands.isEmpty();
}

void CXorTracker::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(Qt::NoPen);
    // White XOR inverts a pixel; the pattern's empty half leaves its pixels as they are.
    const QBrush halftone(Qt::white, Qt::Dense4Pattern);
    for (const QRect& band : m_bands)
        painter.fillRect(band, halftone);
}

bool CXorTracker::eventFilter(QObject* watched, QEvent* event) {
    // The overlay keeps covering the whole window it draws on.
    if (watched == parent() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}
