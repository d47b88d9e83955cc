#include "shell/SplitterGeometry.h"

#include <algorithm>

int SplitterHalf(unsigned nBarWidth) {
    return static_cast<int>(nBarWidth / 2);
}

VerticalLayout LayoutVertical(const SplitRect& client, int x, unsigned nBarWidth, bool bBorder) {
    const int h = SplitterHalf(nBarWidth);
    const int w = static_cast<int>(nBarWidth);
    VerticalLayout layout;
    layout.bar = {x - h, client.top, x + h, client.bottom};
    if (bBorder)
        layout.bar.left += 1;
    layout.leftPane = {client.left, client.top, x - h, client.bottom};
    // The left window reaches one pixel into the bar, so the visible gap is exactly nBarWidth
    // pixels: from x - h + 1 to x - h + nBarWidth.
    layout.leftWindow = QRect(client.left, client.top, x - h - client.left + 1, client.Height());
    layout.rightPane = {x - h + 1 + w, client.top, client.right, client.bottom};
    return layout;
}

HorizontalLayout LayoutHorizontal(const SplitRect& client, int y, unsigned nBarWidth, bool bBorder) {
    const int h = SplitterHalf(nBarWidth);
    const int w = static_cast<int>(nBarWidth);
    HorizontalLayout layout;
    layout.bar = {client.left, y - h, client.right, y + h};
    if (bBorder)
        layout.bar.top += 1;
    layout.bottomPane = {client.left, y + h, client.right, client.bottom};
    layout.topPane = {client.left, client.top, client.right, y + h - w};
    return layout;
}

SplitRect VerticalHitRect(const SplitRect& bar) {
    return bar.Offset(1, 0);
}

SplitRect HorizontalHitRect(const SplitRect& bar) {
    return bar;
}

int VerticalCentre(const SplitRect& client, int nVertPos, unsigned nBarWidth) {
    return SplitterHalf(nBarWidth) + nVertPos + client.left;
}

int HorizontalCentre(const SplitRect& client, int nHorizPos, unsigned nBarWidth) {
    return client.bottom - SplitterHalf(nBarWidth) - nHorizPos;
}

int VerticalPosFromCentre(const SplitRect& client, int x, unsigned nBarWidth) {
    return x - SplitterHalf(nBarWidth) - client.left;
}

int HorizontalPosFromCentre(const SplitRect& client, int y, unsigned nBarWidth) {
    return client.bottom - (y + SplitterHalf(nBarWidth));
}

int ClampVertical(const SplitRect& client, int x, int nMinLeft, int nMinRight) {
    x = std::min(x, client.right - nMinRight);
    return std::max(x, client.left + nMinLeft);
}

int ClampHorizontal(const SplitRect& client, int y, int nMinTop, int nMinBottom) {
    y = std::min(y, client.bottom - nMinBottom);
    return std::max(y, client.top + nMinTop);
}

bool HoldsBothMinimums(int nExtent, int nMinNear, int nMinFar) {
    return static_cast<long long>(nExtent) >= static_cast<long long>(nMinNear) + nMinFar;
}

int BarCentre(int nFrom, int nTo) {
    return (nFrom + nTo) / 2;
}

QString VertSection(int nProfileId) {
    return QStringLiteral("splt\\init_v%1").arg(nProfileId);
}

QString HorizSection(int nProfileId) {
    return QStringLiteral("splt\\init_h%1").arg(nProfileId);
}

int DefaultVertPos(int nMinLeft) {
    return 2 * nMinLeft;
}

int DefaultHorizPos(int nMinBottom) {
    return 2 * nMinBottom;
}

QRect VerticalTrackerBand(const SplitRect& tracker, QPoint parentOrigin, const SplitRect& bar,
                          const SplitRect& client, unsigned nBarWidth) {
    const SplitRect r = tracker.Offset(-parentOrigin.x(), -parentOrigin.y());
    return QRect(r.left + (bar.left - client.left) + 1, r.top, static_cast<int>(nBarWidth), r.Height());
}

QRect HorizontalTrackerBand(const SplitRect& tracker, QPoint parentOrigin, const SplitRect& bar,
                            unsigned nBarWidth) {
    const SplitRect r = tracker.Offset(-parentOrigin.x(), -parentOrigin.y());
    return QRect(r.left, r.top + bar.top, r.Width(), static_cast<int>(nBarWidth));
}
