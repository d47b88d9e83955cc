#pragma once

#include <QPoint>
#include <QRect>

// A window-system rectangle: four edges, right and bottom exclusive, so it contains (x, y) when
// left <= x < right and top <= y < bottom and its width is right - left. The layout code of the
// splitter and the navigation bar computes in these, as the window system does, and converts to
// QRect only where it touches a widget.
struct WinRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool PtInRect(int x, int y) const { return left <= x && x < right && top <= y && y < bottom; }
    bool Contains(QPoint p) const { return PtInRect(p.x(), p.y()); }
    WinRect Inflated(int d) const { return {left - d, top - d, right + d, bottom + d}; }
    WinRect Offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    QRect ToQRect() const { return QRect(left, top, Width(), Height()); }
    static WinRect FromQRect(const QRect& r) {
        return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    }
    bool operator==(const WinRect&) const = default;
};
