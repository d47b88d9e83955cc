#pragma once

// Splitter geometry that needs no window: where the panes and the bar go for a bar centre,
// where the bar can be grabbed, how the stored positions map to bar centres and back, the
// limits a bar centre is held within, and where the drag tracker is drawn.
//
// Rectangles here are window-system rectangles: right and bottom are exclusive edges, so the
// width is right - left. The splitter's client rectangle has its left and top at 0.

#include "platform/WinRect.h"

#include <QRect>
#include <QString>

using SplitRect = WinRect;

// Orientation bits of SetPanes; all other bits of the value are ignored.
inline constexpr unsigned SplitVertical = 0x1;
inline constexpr unsigned SplitHorizontal = 0x2;

// Half the bar thickness, remainder dropped: the bar centre sits this far from its edges.
int SplitterHalf(unsigned nBarWidth);

// A left/right split for a bar centre x.
struct VerticalLayout {
    SplitRect bar;       // the vertical bar rectangle
    SplitRect leftPane;  // the left pane rectangle
    QRect leftWindow;    // where the left pane's window goes: one pixel wider than its rectangle
    SplitRect rightPane; // the right pane rectangle, also where its window goes
};

// A top/bottom split for a bar centre y.
struct HorizontalLayout {
    SplitRect bar;        // the horizontal bar rectangle
    SplitRect topPane;    // the top pane rectangle and window
    SplitRect bottomPane; // the bottom pane rectangle and window
};

// The panes leave a gap of nBarWidth pixels for the bar. A splitter with the border style has
// its bar's left (vertical) or top (horizontal) edge one pixel further in.
VerticalLayout LayoutVertical(const SplitRect& client, int x, unsigned nBarWidth, bool bBorder);
HorizontalLayout LayoutHorizontal(const SplitRect& client, int y, unsigned nBarWidth, bool bBorder);

// Where a press starts a drag: the vertical bar shifted one pixel right, so that it covers the
// gap between the panes exactly; the horizontal bar as it is.
SplitRect VerticalHitRect(const SplitRect& bar);
SplitRect HorizontalHitRect(const SplitRect& bar);

// Stored position (width of the left pane, height of the bottom pane) to bar centre.
int VerticalCentre(const SplitRect& client, int nVertPos, unsigned nBarWidth);
int HorizontalCentre(const SplitRect& client, int nHorizPos, unsigned nBarWidth);

// Bar centre to stored position, as a layout at that centre leaves the pane rectangles.
int VerticalPosFromCentre(const SplitRect& client, int x, unsigned nBarWidth);
int HorizontalPosFromCentre(const SplitRect& client, int y, unsigned nBarWidth);

// Limits for the bar centre. The far limit is applied first, then the near one, so that in an
// area too small for both minimums the bar sits at the near minimum (left, top).
int ClampVertical(const SplitRect& client, int x, int nMinLeft, int nMinRight);
int ClampHorizontal(const SplitRect& client, int y, int nMinTop, int nMinBottom);

// Whether an extent (the client width or height) has room for both minimums. Only then does a
// drag choose the position; in a smaller area the limits alone put the bar where it goes.
bool HoldsBothMinimums(int nExtent, int nMinNear, int nMinFar);

// The centre a drag starts from: the middle of the bar, truncated toward zero.
int BarCentre(int nFrom, int nTo);

// Profile sections and entries of the stored positions, and the positions used when the
// profile has none (twice the minimum of the pane the position measures).
QString VertSection(int nProfileId);
QString HorizSection(int nProfileId);
inline constexpr char kVertEntry[] = "VertSplitPos";
inline constexpr char kHorizEntry[] = "HorizSplitPos";
int DefaultVertPos(int nMinLeft);
int DefaultHorizPos(int nMinBottom);

// The band of inverted pixels that shows a drag, in the coordinates of the parent window the
// tracker is drawn on. `tracker` is the splitter's window rectangle at the drag start, moved by
// the drag, and `parentOrigin` the parent window's top-left corner, both in screen coordinates.
QRect VerticalTrackerBand(const SplitRect& tracker, QPoint parentOrigin, const SplitRect& bar,
                          const SplitRect& client, unsigned nBarWidth);
QRect HorizontalTrackerBand(const SplitRect& tracker, QPoint parentOrigin, const SplitRect& bar,
                            unsigned nBarWidth);
