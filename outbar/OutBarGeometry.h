#pragma once
// Layout of the navigation bar: where folder headers, the page of the current folder, items,
// icons, labels, scroll buttons and the drag insertion mark lie, how a client point is
// classified, and where the frames of a folder slide are copied. Everything here is plain
// arithmetic over a snapshot of the bar's state, so it can be computed without a window.

#include "platform/WinRect.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <vector>

// The bar lays itself out in window-system rectangles.
using BarRect = WinRect;

// Hit codes of HitTest.
enum BarHit { HitNothing = -1, HitFolder = 0, HitItem = 1, HitUpArrow = 2, HitDownArrow = 3 };

// The part of an item that MeasureItem measures.
enum BarItemPart { PartIcon, PartLabel, PartWhole };

// Kinds of the drag insertion mark.
enum BarMarkKind { MarkBetween = 0, MarkBeforeFirst = 1, MarkAfterLast = 2 };

struct BarMetrics {
    int FolderHeaderHeight = 30;
    int smallIconGap = 4;
    int largeIconGap = 3;
    int smallItemSpacing = 10;
    int largeItemSpacing = 8;
    int itemLeftMargin = 5;
    int itemTopMargin = 5;
};

// What the layout needs to know of the folders' items: their number and the measured sizes of
// their icons and labels (both 0 x 0 when an item has no image, no image list or no label).
class IBarItemSource {
public:
    virtual ~IBarItemSource() = default;
    virtual int ItemCount(int folder) const = 0;
    virtual QSize IconSize(int folder, int item, bool smallView) const = 0;
    // A small-view label is measured as one line; a large-view label wrapped to wrapWidth.
    virtual QSize LabelSize(int folder, int item, bool smallView, int wrapWidth) const = 0;
};

class COutBarGeometry {
public:
    BarRect client;
    int folderCount = 0;
    int current = 1;
    int firstVisible = 0;
    bool smallView = false;
    bool slideLayout = false;
    bool slideHeaderOffset = false;
    BarMetrics metrics;
    const IBarItemSource* items = nullptr;
    // Scroll buttons as the last paint left them; HitTest uses only these.
    bool upVisible = false;
    bool downVisible = false;
    BarRect upRect;
    BarRect downRect;

    int ItemCount(int folder) const;
    bool IsFolder(int folder) const { return folder >= 0 && folder < folderCount; }

    BarRect InsideRect() const;
    // False (and r untouched) when i is not a folder index.
    bool HeaderRect(int i, BarRect* r) const;
    QSize MeasureItem(int folder, int item, BarItemPart part) const;
    BarRect PageBase() const;
    BarRect ItemRect(int folder, int item) const;
    BarRect IconRect(int folder, int item) const;
    BarRect LabelRect(int folder, int item) const;
    // Last item of the current folder whose cell ends within the page, or -1 when none.
    int LastVisibleItem() const;
    BarHit HitTest(QPoint point, int* index) const;

    BarRect UpButtonRect(int side) const;
    BarRect DownButtonRect(int side) const;
    bool UpButtonWanted() const { return firstVisible > 0; }
    bool DownButtonWanted() const;
    bool CanScrollUp() const { return firstVisible > 0; }
    bool CanScrollDown() const;

    // Rectangle of the insertion mark before item a (a at or beyond the count: after the last).
    BarRect MarkRect(int a, BarMarkKind* kind) const;
    // The part of the window that must be repainted to remove a mark drawn in r.
    static BarRect MarkEraseRect(const BarRect& r, BarMarkKind kind);

private:
    int Spacing() const { return smallView ? metrics.smallItemSpacing : metrics.largeItemSpacing; }
    int ItemTop(int folder, int item, const BarRect& page) const;
};

// One frame of a folder slide: two copies from the prepared bitmaps X and Y to the window.
struct BarSlideCopy {
    int sourceY = 0;
    int destY = 0;
    int height = 0;
};
struct BarSlideFrame {
    int y = 0;
    BarSlideCopy fromX;
    BarSlideCopy fromY;
};
struct BarSlidePlan {
    BarRect R;
    BarRect A;
    int step = 0;
    int bitmapHeight = 0;
    std::vector<BarSlideFrame> frames;
};

// Frames of the slide from folder `from` (the current one in g) to folder `to`.
BarSlidePlan PlanSlide(const COutBarGeometry& g, int from, int to);

// Resize rules of the in-place label edit. r is the edit's rectangle, bar the bar's client
// rectangle. A single-line edit follows its text to the right, stopping one pixel short of the
// bar's right edge; a multi-line edit only grows, wider first, else taller, within the bar.
BarRect FitSingleLineEdit(const BarRect& r, int measuredRight, const BarRect& bar);
BarRect FitMultiLineEdit(const BarRect& r, QSize measured, const BarRect& bar);
