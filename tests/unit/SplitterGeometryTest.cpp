#include "shell/SplitterGeometry.h"

#include <gtest/gtest.h>

namespace {
constexpr unsigned kBar = 6;
const SplitRect kClient{0, 0, 800, 540};
} // namespace

TEST(SplitterGeometry, FirstStartGivesTwiceTheMinimumsWithSixPixelGapsThatTheHitRectanglesCover) {
    // Outer splitter, MinLeft 150: the left pane is 300 wide, its window 301 (one pixel under
    // the bar), then the 6-pixel gap and the right pane.
    const int x = VerticalCentre(kClient, DefaultVertPos(150), kBar);
    const VerticalLayout v = LayoutVertical(kClient, x, kBar, false);
    EXPECT_EQ(v.leftPane, (SplitRect{0, 0, 300, 540}));
    EXPECT_EQ(v.leftWindow, QRect(0, 0, 301, 540));
    EXPECT_EQ(v.rightPane, (SplitRect{307, 0, 800, 540}));
    EXPECT_EQ(VerticalPosFromCentre(kClient, x, kBar), 300);
    const SplitRect vHit = VerticalHitRect(v.bar);
    EXPECT_EQ(vHit.left, 301);
    EXPECT_EQ(vHit.right, 307);

    // Inner splitter, MinBottom 60: the bottom pane is 120 high, 6 pixels below the top pane.
    const int y = HorizontalCentre(kClient, DefaultHorizPos(60), kBar);
    const HorizontalLayout h = LayoutHorizontal(kClient, y, kBar, false);
    EXPECT_EQ(h.bottomPane, (SplitRect{0, 420, 800, 540}));
    EXPECT_EQ(h.topPane, (SplitRect{0, 0, 800, 414}));
    EXPECT_EQ(HorizontalHitRect(h.bar), (SplitRect{0, 414, 800, 420}));
    EXPECT_EQ(HorizontalPosFromCentre(kClient, y, kBar), 120);
}

TEST(SplitterGeometry, OddBarWidthAndBorderStyleShiftOnlyTheBar) {
    const VerticalLayout odd = LayoutVertical(kClient, VerticalCentre(kClient, 100, 7), 7, false);
    EXPECT_EQ(odd.leftPane.Width(), 100);
    EXPECT_EQ(odd.rightPane.left - (odd.leftWindow.x() + odd.leftWindow.width()), 7);

    const VerticalLayout plain = LayoutVertical(kClient, 303, kBar, false);
    const VerticalLayout framed = LayoutVertical(kClient, 303, kBar, true);
    EXPECT_EQ(framed.bar, (SplitRect{301, 0, 306, 540}));
    EXPECT_EQ(VerticalHitRect(framed.bar).left, 302);
    EXPECT_EQ(framed.leftWindow, plain.leftWindow);
    EXPECT_EQ(framed.rightPane, plain.rightPane);
    const HorizontalLayout hFramed = LayoutHorizontal(kClient, 417, kBar, true);
    EXPECT_EQ(hFramed.bar, (SplitRect{0, 415, 800, 420}));
    EXPECT_EQ(hFramed.bottomPane, LayoutHorizontal(kClient, 417, kBar, false).bottomPane);
}

TEST(SplitterGeometry, ClampingAppliesTheFarLimitFirstSoTheNearLimitWinsWhenTooSmall) {
    EXPECT_EQ(ClampVertical(kClient, 400, 150, 60), 400);
    EXPECT_EQ(ClampVertical(kClient, 790, 150, 60), 740);
    EXPECT_EQ(ClampVertical(kClient, 20, 150, 60), 150);
    EXPECT_EQ(ClampHorizontal(kClient, 530, 150, 60), 480);
    EXPECT_EQ(ClampHorizontal(kClient, 10, 150, 60), 150);
    const SplitRect small{0, 0, 180, 170};
    EXPECT_EQ(ClampVertical(small, 175, 150, 60), 150);
    EXPECT_EQ(ClampHorizontal(small, 160, 150, 60), 150);
    // A stored 40 below MinLeft 150 lays out as stored; clamped, the pane is 147 wide.
    EXPECT_EQ(LayoutVertical(kClient, VerticalCentre(kClient, 40, kBar), kBar, false).leftPane.Width(), 40);
    const int clamped = ClampVertical(kClient, VerticalCentre(kClient, 40, kBar), 150, 0);
    EXPECT_EQ(LayoutVertical(kClient, clamped, kBar, false).leftPane.Width(), 147);
}

TEST(SplitterGeometry, TrackerBandCoversTheGapInParentCoordinatesAndFollowsTheDrag) {
    // The splitter at (10, 20) in a parent whose top-left is (100, 200) on screen.
    const QPoint parentOrigin(100, 200);
    const SplitRect tracker{110, 220, 910, 760};
    const VerticalLayout v = LayoutVertical(kClient, 303, kBar, false);
    EXPECT_EQ(VerticalTrackerBand(tracker, parentOrigin, v.bar, kClient, kBar), QRect(311, 20, 6, 540));
    EXPECT_EQ(VerticalTrackerBand(tracker.Offset(-50, 0), parentOrigin, v.bar, kClient, kBar),
              QRect(261, 20, 6, 540));
    const HorizontalLayout h = LayoutHorizontal(kClient, 417, kBar, false);
    EXPECT_EQ(HorizontalTrackerBand(tracker.Offset(0, 30), parentOrigin, h.bar, kBar),
              QRect(10, 464, 800, 6));
    EXPECT_EQ(BarCentre(-5, 0), -2); // truncated toward zero
}
