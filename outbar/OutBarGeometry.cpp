#include "outbar/OutBarGeometry.h"

#include <algorithm>

int COutBarGeometry::ItemCount(int folder) const {
    if (!items || !IsFolder(folder))
        return 0;
    return items->ItemCount(folder);
}

BarRect COutBarGeometry::InsideRect() const {
    BarRect r = client;
    if (folderCount > 0) {
        const int H = metrics.FolderHeaderHeight;
        r.top += H * (current + 1);
        r.bottom -= H * (folderCount - current - 1);
    }
    return r;
}

bool COutBarGeometry::HeaderRect(int i, BarRect* r) const {
    if (!IsFolder(i))
        return false;
    const int H = metrics.FolderHeaderHeight;
    // Headers up to the current one hang from the top, each reaching one pixel above its slot;
    // the others stand on the bottom edge.
    if (i <= current)
        *r = {client.left, client.top + H * i - 1, client.right, client.top + H * (i + 1) - 1};
    else
        *r = {client.left, client.bottom - H * (folderCount - i), client.right,
              client.bottom - H * (folderCount - i - 1)};
    return true;
}

QSize COutBarGeometry::MeasureItem(int folder, int item, BarItemPart part) const {
    if (!items || item < 0 || item >= ItemCount(folder))
        return QSize(0, 0);
    const QSize icon = part == PartLabel ? QSize(0, 0) : items->IconSize(folder, item, smallView);
    const QSize label =
        part == PartIcon ? QSize(0, 0) : items->LabelSize(folder, item, smallView, client.Width());
    if (part == PartIcon)
        return icon;
    if (part == PartLabel)
        return label;
    if (smallView)
        return QSize(icon.width() + metrics.smallIconGap + label.width(),
                     std::max(icon.height(), label.height()));
    return QSize(std::max(icon.width(), label.width()),
                 icon.height() + metrics.largeIconGap + label.height() + metrics.largeItemSpacing);
}

BarRect COutBarGeometry::PageBase() const {
    if (!slideLayout)
        return InsideRect();
    // While a slide composes its frames the page is laid out as if only one header stood above it.
    BarRect p = client;
    const int H = metrics.FolderHeaderHeight;
    p.top += slideHeaderOffset ? H + 1 : 0;
    if (folderCount > 0) {
        p.top += H;
        p.bottom -= H * (folderCount - 1);
    }
    return p;
}

int COutBarGeometry::ItemTop(int folder, int item, const BarRect& page) const {
    // y(k) is the page top plus the cells (and spacing) of the items before k; the items scrolled
    // out above the first visible one shift every cell up by their total height.
    auto heightBefore = [&](int k) {
        int sum = 0;
        for (int i = 0; i < k; ++i)
            sum += MeasureItem(folder, i, PartWhole).height() + Spacing();
        return sum;
    };
    return page.top + heightBefore(item) - heightBefore(firstVisible);
}

BarRect COutBarGeometry::ItemRect(int folder, int item) const {
    const BarRect page = PageBase();
    const QSize whole = MeasureItem(folder, item, PartWhole);
    BarRect r;
    r.left = page.left + metrics.itemLeftMargin;
    r.top = ItemTop(folder, item, page) + metrics.itemTopMargin;
    r.bottom = r.top + whole.height();
    r.right = page.left + whole.width();
    if (!smallView) {
        r.left = page.left;
        r.right = page.right;
    }
    return r;
}

BarRect COutBarGeometry::IconRect(int folder, int item) const {
    const BarRect page = InsideRect();
    const QSize icon = MeasureItem(folder, item, PartIcon);
    const int top = ItemRect(folder, item).top;
    BarRect r;
    if (smallView) {
        r.left = page.left + metrics.itemLeftMargin + 2;
        r.top = top;
        r.right = r.left + icon.width();
        r.bottom = top + icon.height();
    } else {
        r.left = page.left + (page.Width() - icon.width()) / 2;
        r.top = top;
        r.right = r.left + icon.width();
        r.bottom = top + icon.height() + 1;
    }
    return r;
}

BarRect COutBarGeometry::LabelRect(int folder, int item) const {
    const BarRect page = InsideRect();
    const QSize label = MeasureItem(folder, item, PartLabel);
    const QSize whole = MeasureItem(folder, item, PartWhole);
    const int top = ItemRect(folder, item).top;
    BarRect r;
    if (smallView) {
        r.left = page.left + metrics.itemLeftMargin + 2;
        r.top = top + 5;
        r.right = r.left + label.width();
        r.bottom = r.top + label.height();
    } else {
        r.left = page.left + (page.Width() - whole.width()) / 2;
        r.right = r.left + whole.width();
        r.bottom = top + whole.height() - 7;
        r.top = r.bottom - label.height();
    }
    return r;
}

int COutBarGeometry::LastVisibleItem() const {
    const int count = ItemCount(current);
    const int pageBottom = InsideRect().bottom;
    int last = -1;
    for (int i = firstVisible; i < count; ++i) {
        if (ItemRect(current, i).bottom > pageBottom)
            break;
        last = i;
    }
    return last;
}

BarHit COutBarGeometry::HitTest(QPoint point, int* index) const {
    int dummy = -1;
    int& idx = index ? *index : dummy;
    idx = -1;
    if (upVisible && upRect.Contains(point))
        return HitUpArrow;
    if (downVisible && downRect.Contains(point))
        return HitDownArrow;
    for (int i = 0; i < folderCount; ++i) {
        BarRect header;
        if (HeaderRect(i, &header) && header.Contains(point)) {
            idx = i;
            return HitFolder;
        }
    }
    const int count = ItemCount(current);
    if (folderCount == 0 || firstVisible >= count)
        return HitNothing;
    const int pageBottom = InsideRect().bottom;
    for (int j = firstVisible; j < count; ++j) {
        if (smallView) {
            const BarRect r = ItemRect(current, j);
            if (r.Contains(point)) {
                idx = j;
                return HitItem;
            }
            if (r.top > pageBottom)
                return HitNothing;
            continue;
        }
        const BarRect icon = IconRect(current, j);
        if (icon.Contains(point)) {
            idx = j;
            return HitItem;
        }
        if (icon.top > pageBottom)
            return HitNothing;
        // The gap between icon and label belongs to the item too.
        BarRect label = LabelRect(current, j);
        label.top -= metrics.largeIconGap;
        if (label.Contains(point)) {
            idx = j;
            return HitItem;
        }
        if (label.top > pageBottom)
            return HitNothing;
    }
    return HitNothing;
}

BarRect COutBarGeometry::UpButtonRect(int side) const {
    const BarRect page = InsideRect();
    const int right = page.right - 5;
    const int top = page.top + 5;
    return {right - side, top, right, top + side};
}

BarRect COutBarGeometry::DownButtonRect(int side) const {
    const BarRect page = InsideRect();
    const int right = page.right - 5;
    const int bottom = page.bottom - 5;
    return {right - side, bottom - side, right, bottom};
}

bool COutBarGeometry::DownButtonWanted() const {
    const int count = ItemCount(current);
    return count > 0 && LastVisibleItem() < count - 1;
}

bool COutBarGeometry::CanScrollDown() const {
    const int count = ItemCount(current);
    return count > 0 && ItemRect(current, count - 1).bottom > InsideRect().bottom;
}

BarRect COutBarGeometry::MarkRect(int a, BarMarkKind* kind) const {
    BarRect inner = InsideRect();
    inner.left += 2;
    inner.right -= 2;
    const int count = ItemCount(current);
    const bool afterLast = a >= count;
    const BarRect cell =
        count > 0 ? ItemRect(current, afterLast ? count - 1 : a) : BarRect{0, inner.top, 0, inner.top};
    const int y = afterLast ? cell.bottom + 6 : cell.top - 4;
    BarMarkKind k = MarkBetween;
    BarRect r;
    if (a == 0 && !afterLast) {
        k = MarkBeforeFirst;
        r = {inner.left, y + 2, inner.right, y + 7};
    } else if (afterLast) {
        k = MarkAfterLast;
        r = {inner.left, y, inner.right, y + 5};
    } else {
        r = {inner.left, y - 9, inner.right, y};
        if (smallView)
            r = r.Offset(0, 8);
    }
    if (kind)
        *kind = k;
    return r;
}

BarRect COutBarGeometry::MarkEraseRect(const BarRect& r, BarMarkKind kind) {
    switch (kind) {
    case MarkBeforeFirst:
        return {r.left, r.top, r.right, r.top + 5};
    case MarkAfterLast:
        return {r.left, r.top - 4, r.right, r.top + 1};
    case MarkBetween:
    default:
        return {r.left, r.top - 4, r.right, r.top + 5};
    }
}

BarSlidePlan PlanSlide(const COutBarGeometry& g, int from, int to) {
    BarSlidePlan plan;
    const int H = g.metrics.FolderHeaderHeight;
    plan.R = g.InsideRect();
    if (to > from)
        plan.R.bottom += H * (to - from - 1);
    g.HeaderRect(from, &plan.A);
    plan.step = plan.A.Height() + 1;
    plan.bitmapHeight = plan.R.Height() + 2 * H;
    const BarRect& R = plan.R;
    const BarRect& A = plan.A;
    const int s = plan.step;
    if (s <= 0 || from == to)
        return plan;
    if (to > from) {
        BarRect headerTo;
        g.HeaderRect(to, &headerTo);
        for (int y = headerTo.top - H * (to - from - 1); y > A.bottom - 1; y -= s) {
            BarSlideFrame frame;
            frame.y = y;
            frame.fromX = {s, A.bottom + 1, y - A.bottom - 1};
            frame.fromY = {0, y, R.bottom - y + s};
            plan.frames.push_back(frame);
        }
    } else {
        const int y0 = A.top - H * (from - to - 1);
        for (int y = y0; y < R.bottom - H * (from - to) + 1; y += s) {
            BarSlideFrame frame;
            frame.y = y;
            frame.fromY = {2 * s, y0, y - y0 - 1};
            frame.fromX = {0, y, R.bottom - y};
            plan.frames.push_back(frame);
        }
    }
    return plan;
}

BarRect FitSingleLineEdit(const BarRect& r, int measuredRight, const BarRect& bar) {
    BarRect fitted = r;
    fitted.right = std::min(measuredRight, bar.right - 1);
    return fitted;
}

BarRect FitMultiLineEdit(const BarRect& r, QSize measured, const BarRect& bar) {
    BarRect fitted = r;
    if (measured.width() > r.Width()) {
        fitted.right = std::min(r.left + measured.width(), bar.right);
    } else if (measured.height() > r.Height()) {
        fitted.bottom = r.bottom + measured.height() < bar.bottom ? r.top + measured.height() : bar.bottom;
    }
    return fitted;
}
