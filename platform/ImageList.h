#pragma once
// A list of equally sized images cut from strips, with one colour of the strip made transparent.

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <vector>

class QPainter;

class CImageList {
public:
    CImageList() = default;
    CImageList(int cx, int cy) { Create(cx, cy); }

    // Sets the image size and empties the list; a size below 1 pixel is refused.
    bool Create(int cx, int cy);
    bool IsCreated() const { return m_size.isValid() && !m_size.isEmpty(); }

    // Cuts the strip into images of the list's width, left to right, and appends them. Pixels of
    // the mask colour become transparent. A strip narrower than one image, or lower than the image
    // height, adds nothing. Returns the index of the first added image, or -1.
    int Add(const QImage& strip, const QColor& maskColor);
    // The same for a strip read from a file or resource; -1 when it cannot be read.
    int AddFromFile(const QString& path, const QColor& maskColor);

    int GetImageCount() const { return int(m_images.size()); }
    QSize ImageSize() const { return m_size; }
    // Rectangle of one image, at the origin; false for an index outside the list.
    bool GetImageRect(int index, QRect* rect) const;
    // The image itself (premultiplied ARGB), or a null image for an index outside the list.
    QImage Image(int index) const;
    // Draws one image with its top-left corner at pos, transparent parts left untouched.
    bool Draw(QPainter& painter, int index, QPoint pos) const;

private:
    QSize m_size;
    std::vector<QImage> m_images;
};
