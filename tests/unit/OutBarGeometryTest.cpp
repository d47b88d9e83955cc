// Layout, hit-testing, scrolling, the drag mark, the folder slide frames and the label edit's
// resize rules of the navigation bar, computed without a window.

#include "outbar/OutBarGeometry.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

// Items with fixed icon and label sizes, as the bar would measure them.
class FixedItems : public IBarItemSource {
public:
    std::vector<int> counts;
    QSize icon{32, 32};
    QSize smallIcon{16, 16};
    QSize label{60, 13};
    QSize smallLabel{50, 13};

    int ItemCount(int folder) const override { return counts.at(size_t(folder)); }
    QSize IconSize(int, int, bool smallView) const override { return smallView ? smallIcon : icon; }
    QSize LabelSize(int, int, bool smallView, int) const override { return smallView ? smallLabel : label; }
};

// Four folders, folder 1 open, H = 30, on a 200 x 400 client area.
COutBarGeometry FourFolders(const FixedItems& items, int current = 1) {
    COutBarGeometry g;
    g.client = {0, 0, 200, 400};
    g.folderCount = 4;
    g.current = current;
    g.items = &items;
    return g;
}

BarRect Header(const COutBarGeometry& g, int i) {
    BarRect r;
    EXPECT_TRUE(g.HeaderRect(i, &r));
    return r;
}

} // namespace

TEST(OutBarGeometry, HeadersHangFromTheTopUpToTheCurrentFolderAndStandOnTheBottomAfterIt) {
    FixedItems items;
    items.counts = {0, 0, 0, 0};
    const COutBarGeometry g = FourFolders(items);
    EXPECT_EQ(Header(g, 0), (BarRect{0, -1, 200, 29}));
    EXPECT_EQ(Header(g, 1), (BarRect{0, 29, 200, 59}));
    EXPECT_EQ(Header(g, 2), (BarRect{0, 340, 200, 370}));
    EXPECT_EQ(Header(g, 3), (BarRect{0, 370, 200, 400}));
    EXPECT_EQ(g.InsideRect(), (BarRect{0, 60, 200, 340}));
    BarRect none;
    EXPECT_FALSE(g.HeaderRect(4, &none));
    EXPECT_FALSE(g.HeaderRect(-1, &none));
}

TEST(OutBarGeometry, BoundaryPixelsBelongToTheRightHeaderOrToNothing) {
    FixedItems items;
    items.counts = {0, 0, 0, 0};
    const COutBarGeometry g = FourFolders(items);
    int index = -1;
    EXPECT_EQ(g.HitTest({10, 29}, &index), HitFolder);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(g.HitTest({10, 28}, &index), HitFolder);
    EXPECT_EQ(index, 0);
    // y = 59 is below header 1 and above the page.
    EXPECT_EQ(g.HitTest({10, 59}, &index), HitNothing);
    EXPECT_FALSE(g.InsideRect().Contains({10, 59}));
    EXPECT_EQ(g.HitTest({10, 340}, &index), HitFolder);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(g.HitTest({199, 399}, &index), HitFolder);
    EXPECT_EQ(index, 3);
}

TEST(OutBarGeometry, WithoutFoldersThePageIsTheClientAreaAndNothingIsHit) {
    FixedItems items;
    COutBarGeometry g;
    g.client = {0, 0, 200, 400};
    g.folderCount = 0;
    g.current = 1;
    g.items = &items;
    EXPECT_EQ(g.InsideRect(), g.client);
    for (int y = -5; y < 410; y += 7) {
        int index = 7;
        EXPECT_EQ(g.HitTest({50, y}, &index), HitNothing) << y;
        EXPECT_EQ(index, -1);
    }
}

TEST(OutBarGeometry, LargeViewCellsSpanThePageWithIconAboveCentredLabel) {
    FixedItems items;
    items.counts = {0, 3, 0, 0};
    const COutBarGeometry g = FourFolders(items);
    // Whole item: 60 wide, 32 + 3 + 13 + 8 = 56 high; items 56 + 8 apart.
    EXPECT_EQ(g.MeasureItem(1, 0, PartWhole), QSize(60, 56));
    EXPECT_EQ(g.ItemRect(1, 0), (BarRect{0, 65, 200, 121}));
    EXPECT_EQ(g.ItemRect(1, 1), (BarRect{0, 129, 200, 185}));
    EXPECT_EQ(g.IconRect(1, 0), (BarRect{84, 65, 116, 98}));
    EXPECT_EQ(g.LabelRect(1, 0), (BarRect{70, 101, 130, 114}));
}

TEST(OutBarGeometry, LargeViewHitsIconLabelAndTheGapAboveTheLabelOnly) {
    FixedItems items;
    items.counts = {0, 3, 0, 0};
    const COutBarGeometry g = FourFolders(items);
    int index = -1;
    EXPECT_EQ(g.HitTest({100, 65}, &index), HitItem);
    EXPECT_EQ(index, 0);
    // The icon ends at 98; the three pixels above the label (98..100) still hit the item.
    EXPECT_EQ(g.HitTest({75, 98}, &index), HitItem);
    EXPECT_EQ(g.HitTest({75, 100}, &index), HitItem);
    EXPECT_EQ(g.HitTest({75, 97}, &index), HitNothing);
    EXPECT_EQ(g.HitTest({10, 70}, &index), HitNothing);
    EXPECT_EQ(g.HitTest({100, 130}, &index), HitItem);
    EXPECT_EQ(index, 1);
}

TEST(OutBarGeometry, SmallViewCellsStartAtTheMarginAndAreHitAsAWhole) {
    FixedItems items;
    items.counts = {0, 3, 0, 0};
    COutBarGeometry g = FourFolders(items);
    g.smallView = true;
    // 16 + 4 + 50 = 70 wide, 16 high, items 16 + 10 apart.
    EXPECT_EQ(g.ItemRect(1, 0), (BarRect{5, 65, 70, 81}));
    EXPECT_EQ(g.ItemRect(1, 1), (BarRect{5, 91, 70, 107}));
    EXPECT_EQ(g.IconRect(1, 0), (BarRect{7, 65, 23, 81}));
    EXPECT_EQ(g.LabelRect(1, 0), (BarRect{7, 70, 57, 83}));
    int index = -1;
    EXPECT_EQ(g.HitTest({60, 95}, &index), HitItem);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(g.HitTest({4, 66}, &index), HitNothing);
    EXPECT_EQ(g.HitTest({70, 66}, &index), HitNothing);
}

TEST(OutBarGeometry, ScrollingShiftsCellsUpAndDecidesTheButtonsAndSteps) {
    FixedItems items;
    items.counts = {0, 6, 0, 0};
    COutBarGeometry g = FourFolders(items);
    // Cells 64 apart from 65: items 0..3 end within the page bottom 340, item 4 ends at 377.
    EXPECT_EQ(g.LastVisibleItem(), 3);
    EXPECT_FALSE(g.UpButtonWanted());
    EXPECT_TRUE(g.DownButtonWanted());
    EXPECT_TRUE(g.CanScrollDown());
    EXPECT_FALSE(g.CanScrollUp());

    g.firstVisible = 2;
    EXPECT_EQ(g.ItemRect(1, 2).top, 65);
    EXPECT_EQ(g.ItemRect(1, 0).top, 65 - 128);
    EXPECT_EQ(g.LastVisibleItem(), 5);
    EXPECT_TRUE(g.UpButtonWanted());
    EXPECT_FALSE(g.DownButtonWanted());
    EXPECT_FALSE(g.CanScrollDown()); // the last item is fully visible
    EXPECT_TRUE(g.CanScrollUp());

    g.firstVisible = 6;
    EXPECT_EQ(g.LastVisibleItem(), -1);
    int index = -1;
    EXPECT_EQ(g.HitTest({100, 70}, &index), HitNothing);
}

TEST(OutBarGeometry, ScrollButtonsSitFivePixelsInsideThePageAndAreHitOnlyWhenShown) {
    FixedItems items;
    items.counts = {0, 6, 0, 0};
    COutBarGeometry g = FourFolders(items);
    g.upRect = g.UpButtonRect(16);
    g.downRect = g.DownButtonRect(16);
    EXPECT_EQ(g.upRect, (BarRect{179, 65, 195, 81}));
    EXPECT_EQ(g.downRect, (BarRect{179, 319, 195, 335}));
    int index = -1;
    // Where the up button would be, but it is not shown while nothing is scrolled out.
    EXPECT_NE(g.HitTest({185, 70}, &index), HitUpArrow);
    g.upVisible = true;
    g.downVisible = true;
    EXPECT_EQ(g.HitTest({185, 70}, &index), HitUpArrow);
    EXPECT_EQ(g.HitTest({185, 330}, &index), HitDownArrow);
}

TEST(OutBarGeometry, InsertionMarkLiesBeforeTheFirstBetweenItemsAndAfterTheLast) {
    FixedItems items;
    items.counts = {0, 3, 0, 0};
    COutBarGeometry g = FourFolders(items);
    BarMarkKind kind = MarkBetween;
    // Cells at 65, 129, 193 (bottom 249); I = page narrowed by 2 at both sides.
    EXPECT_EQ(g.MarkRect(0, &kind), (BarRect{2, 63, 198, 68}));
    EXPECT_EQ(kind, MarkBeforeFirst);
    EXPECT_EQ(g.MarkRect(1, &kind), (BarRect{2, 116, 198, 125}));
    EXPECT_EQ(kind, MarkBetween);
    EXPECT_EQ(g.MarkRect(3, &kind), (BarRect{2, 255, 198, 260}));
    EXPECT_EQ(kind, MarkAfterLast);
    g.smallView = true;
    EXPECT_EQ(g.MarkRect(1, &kind).top, 91 - 4 - 9 + 8);

    EXPECT_EQ(COutBarGeometry::MarkEraseRect({2, 63, 198, 68}, MarkBeforeFirst), (BarRect{2, 63, 198, 68}));
    EXPECT_EQ(COutBarGeometry::MarkEraseRect({2, 116, 198, 125}, MarkBetween), (BarRect{2, 112, 198, 121}));
    EXPECT_EQ(COutBarGeometry::MarkEraseRect({2, 255, 198, 260}, MarkAfterLast), (BarRect{2, 251, 198, 256}));
}

TEST(OutBarGeometry, SlideToALowerFolderMovesTheBlockUpInTenFrames) {
    FixedItems items;
    items.counts = {0, 0, 0, 0};
    const COutBarGeometry g = FourFolders(items, 0);
    const BarSlidePlan plan = PlanSlide(g, 0, 2);
    EXPECT_EQ(plan.R, (BarRect{0, 30, 200, 340}));
    EXPECT_EQ(plan.A, (BarRect{0, -1, 200, 29}));
    EXPECT_EQ(plan.step, 31);
    EXPECT_EQ(plan.bitmapHeight, 310 + 60);
    std::vector<int> ys;
    for (const BarSlideFrame& f : plan.frames)
        ys.push_back(f.y);
    EXPECT_EQ(ys, (std::vector<int>{310, 279, 248, 217, 186, 155, 124, 93, 62, 31}));
    // First frame: the old page fills the band above y, the travelling block starts at y.
    EXPECT_EQ(plan.frames[0].fromX.sourceY, 31);
    EXPECT_EQ(plan.frames[0].fromX.destY, 30);
    EXPECT_EQ(plan.frames[0].fromX.height, 310 - 30);
    EXPECT_EQ(plan.frames[0].fromY.destY, 310);
    EXPECT_EQ(plan.frames[0].fromY.height, 340 - 310 + 31);
}

TEST(OutBarGeometry, SlideToAHigherFolderMovesTheBlockDownInTenFrames) {
    FixedItems items;
    items.counts = {0, 0, 0, 0};
    const COutBarGeometry g = FourFolders(items, 2);
    const BarSlidePlan plan = PlanSlide(g, 2, 0);
    EXPECT_EQ(plan.R, (BarRect{0, 90, 200, 370}));
    EXPECT_EQ(plan.A, (BarRect{0, 59, 200, 89}));
    std::vector<int> ys;
    for (const BarSlideFrame& f : plan.frames)
        ys.push_back(f.y);
    EXPECT_EQ(ys, (std::vector<int>{29, 60, 91, 122, 153, 184, 215, 246, 277, 308}));
    EXPECT_EQ(plan.frames[1].fromY.sourceY, 62);
    EXPECT_EQ(plan.frames[1].fromY.destY, 29);
    EXPECT_EQ(plan.frames[1].fromY.height, 60 - 29 - 1);
    EXPECT_EQ(plan.frames[1].fromX.destY, 60);
    EXPECT_EQ(plan.frames[1].fromX.height, 370 - 60);
    EXPECT_TRUE(PlanSlide(g, 2, 2).frames.empty());
}

TEST(OutBarGeometry, SlideLayoutPlacesThePageUnderOneHeader) {
    FixedItems items;
    items.counts = {2, 2, 2, 2};
    COutBarGeometry g = FourFolders(items, 2);
    g.slideLayout = true;
    EXPECT_EQ(g.PageBase(), (BarRect{0, 30, 200, 310}));
    EXPECT_EQ(g.ItemRect(0, 0).top, 35);
    g.slideHeaderOffset = true;
    EXPECT_EQ(g.PageBase(), (BarRect{0, 61, 200, 310}));
    // Icon and label rectangles keep the real page even during a slide.
    EXPECT_EQ(g.IconRect(2, 0).left, 84);
}

TEST(OutBarGeometry, SingleLineEditFollowsItsTextButStopsShortOfTheBarEdge) {
    const BarRect bar{0, 0, 200, 400};
    const BarRect edit{30, 70, 90, 85};
    EXPECT_EQ(FitSingleLineEdit(edit, 120, bar), (BarRect{30, 70, 120, 85}));
    EXPECT_EQ(FitSingleLineEdit(edit, 50, bar), (BarRect{30, 70, 50, 85})); // shrinks again
    EXPECT_EQ(FitSingleLineEdit(edit, 400, bar), (BarRect{30, 70, 199, 85}));
}

TEST(OutBarGeometry, MultiLineEditOnlyGrowsWiderFirstThenTallerWithinTheBar) {
    const BarRect bar{0, 0, 200, 400};
    const BarRect edit{5, 100, 195, 120};
    EXPECT_EQ(FitMultiLineEdit(edit, {100, 13}, bar), edit);
    EXPECT_EQ(FitMultiLineEdit(edit, {250, 13}, bar), (BarRect{5, 100, 200, 120}));
    EXPECT_EQ(FitMultiLineEdit(edit, {150, 26}, bar), (BarRect{5, 100, 195, 126}));
    const BarRect low{5, 380, 195, 390};
    EXPECT_EQ(FitMultiLineEdit(low, {150, 26}, bar), (BarRect{5, 380, 195, 400}));
}
