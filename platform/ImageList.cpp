#include "platform/ImageList.h"

#include <QPainter>

bool CImageList::Create(int cx, int cy) {
    m_images.clear();
    if (cx < 1 || cy < 1) {
        m_size = QSize();
        return false;
    }
    m_size = QSize(cx, cy);
    return true;
}

int CImageList::Add(const QImage& strip, const QColor& maskColor) {
    if (!IsCreated() || strip.isNull() || strip.width() < m_size.width() || strip.height() < m_size.height())
        return -1;
    const QImage source = strip.convertToFormat(QImage::Format_ARGB32);
    const QRgb mask = maskColor.rgb() & RGB_MASK;
    const int first = GetImageCount();
    for (int x = 0; x + m_size.width() <= source.width(); x += m_size.width()) {
        QImage image = source.copy(x, 0, m_size.width(), m_size.height());
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int i = 0; i < image.width(); ++i) {
                if ((line[i] & RGB_MASK) == mask)
                    line[i] = 0;
            }
        }
        m_images.push_back(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
    return first;
}

int CImageList::AddFromFile(const QString& path, const QColor& maskColor) {
    QImage strip;
    if (!strip.load(path))
        return -1;
    return Add(strip, maskColor);
}

bool CImageList::GetImageRect(int index, QRect* rect) const {
    if (index < 0 || index >= GetImageCount())
        return false;
    if (rect)
        *rect = QRect(QPoint(0, 0), m_size);
    return true;
}

QImage CImageList::Image(int index) const {
    if (index < 0 || index >= GetImageCount())
        return QImage();
    return m_images[size_t(index)];
}

bool CImageList::Draw(QPainter& painter, int index, QPoint pos) const {
    if (index < 0 || index >= GetImageCount())
        return false;
    painter.drawImage(pos, m_images[size_t(index)]);
    return true;
}
