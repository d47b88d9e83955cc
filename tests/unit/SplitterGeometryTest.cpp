#include "shell/SplitterGeometry.h"

#include <gtest/gtest.h>

namespace {

constexpr unsigned kBar = 6;

// The visible gap between a left pane window and the right pane.
int VerticalGap(const VerticalLayout& l) {
    return l.rightPane.left - (l.leftWindow.x() + l.leftWindow.width());
}

int HorizontalGap(const HorizontalLayout& l) {
    return l.bottomPane.top - l.topPane.bottom;
}

} // namespace

TEST(SplitterGeometry, FirstStartGivesTwiceTheMinimumsWithSixPixelGaps) {
    // The outer splitter of the main window: MinLeft 150 makes the navigation pane 300 pixels
    // wide, and its window reaches one pixel further, into the bar.
    const SplitRect outer{0, 0, 800, 540};
    const int vertPos = DefaultVertPos(150);
    EXPECT_EQ(vertPos, 300);
    const int x = VerticalCentre(outer, vertPos, kBar);
    const VerticalLayout v = LayoutVertical(outer, x, kBar, false);
    EXPECT_EQ(v.leftPane, (SplitRect{0, 0, 300, 540}));
    EXPECT_EQ(v.leftWindow, QRect(0, 0, 301, 540));
    EXPECT_EQ(v.rightPane, (SplitRect{307, 0, 800, 540}));
    EXPECT_EQ(VerticalGap(v), 6);
    EXPECT_EQ(VerticalPosFromCentre(outer, x, kBar), 300);

    // The inner splitter: MinBottom 60 makes the log 120 pixels high.
    const SplitRect inner{0, 0, 493, 540};
    const int horizPos = DefaultHorizPos(60);
    EXPECT_EQ(horizPos, 120);
    const int y = HorizontalCentre(inner, horizPos, kBar);
    const HorizontalLayout h = LayoutHorizontal(inner, y, kBar, false);
    EXPECT_EQ(h.bottomPane, (SplitRect{0, 420, 493, 540}));
    EXPECT_EQ(h.topPane, (SplitRect{0, 0, 493, 414}));
    EXPECT_EQ(HorizontalGap(h), 6);
    EXPECT_EQ(HorizontalPosFromCentre(inner, y, kBar), 120);
}

TEST(SplitterGeometry, HitRectanglesCoverExactlyTheGap) {
    const SplitRect c{0, 0, 800, 540};
    const VerticalLayout v = LayoutVertical(c, 303, kBar, false);
    const SplitRect vHit = VerticalHitRect(v.bar);
    EXPECT_FALSE(vHit.PtInRect(300, 10)); // last pixel of the left window
    EXPECT_TRUE(vHit.PtInRect(301, 10));
    EXPECT_TRUE(vHit.PtInRect(306, 10));
    EXPECT_FALSE(vHit.PtInRect(307, 10)); // first pixel of the right pane
    EXPECT_EQ(BarCentre(v.bar.left, v.bar.right), 303);

    const HorizontalLayout h = LayoutHorizontal(c, 417, kBar, false);
    const SplitRect hHit = HorizontalHitRect(h.bar);
    EXPECT_FALSE(hHit.PtInRect(5, h.topPane.bottom - 1));
    EXPECT_TRUE(hHit.PtInRect(5, h.topPane.bottom));
    EXPECT_TRUE(hHit.PtInRect(5, h.bottomPane.top - 1));
    EXPECT_FALSE(hHit.PtInRect(5, h.bottomPane.top));
}

TEST(SplitterGeometry, OddBarWidthDropsTheRemainderOfTheHalf) {
    const SplitRect c{0, 0, 400, 300};
    EXPECT_EQ(SplitterHalf(7), 3);
    const VerticalLayout v = LayoutVertical(c, VerticalCentre(c, 100, 7), 7, false);
    EXPECT_EQ(v.leftPane.Width(), 100);
    EXPECT_EQ(VerticalGap(v), 7);
    const HorizontalLayout h = LayoutHorizontal(c, HorizontalCentre(c, 50, 7), 7, false);
    EXPECT_EQ(h.bottomPane.Height(), 50);
    EXPECT_EQ(HorizontalGap(h), 7);
}

TEST(SplitterGeometry, BorderStyleMovesTheBarsFirstEdgeOnePixelIn) {
    const SplitRect c{0, 0, 800, 540};
    const VerticalLayout plain = LayoutVertical(c, 303, kBar, false);
    const VerticalLayout framed = LayoutVertical(c, 303, kBar, true);
    EXPECT_EQ(framed.bar, (SplitRect{plain.bar.left + 1, 0, plain.bar.right, 540}));
    EXPECT_EQ(VerticalHitRect(framed.bar).left, 302);
    EXPECT_EQ(framed.leftWindow, plain.leftWindow);
    EXPECT_EQ(framed.rightPane, plain.rightPane);

    const HorizontalLayout hPlain = LayoutHorizontal(c, 417, kBar, false);
    const HorizontalLayout hFramed = LayoutHorizontal(c, 417, kBar, true);
    EXPECT_EQ(hFramed.bar, (SplitRect{0, hPlain.bar.top + 1, 800, hPlain.bar.bottom}));
    EXPECT_EQ(HorizontalHitRect(hFramed.bar), hFramed.bar);
    EXPECT_EQ(hFramed.topPane, hPlain.topPane);
    EXPECT_EQ(hFramed.bottomPane, hPlain.bottomPane);
}

TEST(SplitterGeometry, ClampingKeepsTheBarWithinTheMinimumsAndTheNearLimitWins) {
    const SplitRect c{0, 0, 800, 540};
    EXPECT_EQ(ClampVertical(c, 400, 150, 60), 400);
    EXPECT_EQ(ClampVertical(c, 790, 150, 60), 740);
    EXPECT_EQ(ClampVertical(c, 20, 150, 60), 150);
    EXPECT_EQ(ClampHorizontal(c, 300, 150, 60), 300);
    EXPECT_EQ(ClampHorizontal(c, 530, 150, 60), 480);
    EXPECT_EQ(ClampHorizontal(c, 10, 150, 60), 150);

    // An area narrower than both minimums together: the bar centre sits at MinLeft (MinTop).
    const SplitRect small{0, 0, 180, 170};
    EXPECT_EQ(ClampVertical(small, 100, 150, 60), 150);
    EXPECT_EQ(ClampVertical(small, 175, 150, 60), 150);
    EXPECT_EQ(ClampHorizontal(small, 160, 150, 60), 150);
}

TEST(SplitterGeometry, StoredPositionBreakingTheMinimumsIsLaidOutUnchangedUntilClamped) {
    // A left pane of 40 pixels although MinLeft is 150: the start lays it out as stored...
    const SplitRect c{0, 0, 800, 540};
    const VerticalLayout start = LayoutVertical(c, VerticalCentre(c, 40, kBar), kBar, false);
    EXPECT_EQ(start.leftPane.Width(), 40);
    // ...and a size change holds the centre at MinLeft.
    const int clamped = ClampVertical(c, VerticalCentre(c, 40, kBar), 150, 0);
    EXPECT_EQ(clamped, 150);
    EXPECT_EQ(LayoutVertical(c, clamped, kBar, false).leftPane.Width(), 147);
}

TEST(SplitterGeometry, TrackerBandCoversTheGapInTheParentAndFollowsTheDrag) {
    // The splitter sits at (10, 20) inside a parent whose top-left is (100, 200) on screen.
    const QPoint parentOrigin(100, 200);
    const SplitRect tracker{110, 220, 910, 760};
    const SplitRect client{0, 0, 800, 540};
    const VerticalLayout v = LayoutVertical(client, 303, kBar, false);
    EXPECT_EQ(VerticalTrackerBand(tracker, parentOrigin, v.bar, client, kBar), QRect(10 + 301, 20, 6, 540));
    EXPECT_EQ(VerticalTrackerBand(tracker.Offset(-50, 0), parentOrigin, v.bar, client, kBar),
              QRect(10 + 251, 20, 6, 540));

    const HorizontalLayout h = LayoutHorizontal(client, 417, kBar, false);
    EXPECT_EQ(HorizontalTrackerBand(tracker, parentOrigin, h.bar, kBar), QRect(10, 20 + 414, 800, 6));
    EXPECT_EQ(HorizontalTrackerBand(tracker.Offset(0, 30), parentOrigin, h.bar, kBar),
              QRect(10, 20 + 444, 800, 6));
}

TEST(SplitterGeometry, ProfileSectionsCarryTheSplitterNumber) {
    EXPECT_EQ(VertSection(40000), QStringLiteral("splt\\init_v40000"));
    EXPECT_EQ(HorizSection(40001), QStringLiteral("splt\\init_h40001"));
    EXPECT_STREQ(kVertEntry, "VertSplitPos");
    EXPECT_STREQ(kHorizEntry, "HorizSplitPos");
}

TEST(SplitterGeometry, BarCentreTruncatesTowardZero) {
    EXPECT_EQ(BarCentre(300, 307), 303);
    EXPECT_EQ(BarCentre(-5, 0), -2);
}
