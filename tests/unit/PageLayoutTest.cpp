#include "pages/PageLayout.h"

#include <gtest/gtest.h>

TEST(PageLayout, GroupIsCentredInTheClientArea) {
    // An already centred group stays.
    EXPECT_EQ(CenteringOffset(QRect(0, 0, 100, 60), QRect(20, 10, 60, 40)), QPoint(0, 0));
    // Box centre (63 + 412) / 2 = 237, client centre 600 / 2 = 300: the group moves right by 63.
    EXPECT_EQ(CenteringOffset(QRect(0, 0, 600, 400), QRect(63, 115, 349, 108)), QPoint(63, 31));
    // A client smaller than the group moves it to negative coordinates, still centred.
    EXPECT_EQ(CenteringOffset(QRect(0, 0, 10, 10), QRect(0, 0, 31, 21)), QPoint(-10, -5));
}

TEST(PageLayout, HalvesAreTruncatedTowardsZero) {
    // Box sums 0 + 3 = 3 -> 1; client sum 0 + 6 = 6 -> 3: offset 2.
    EXPECT_EQ(CenteringOffset(QRect(0, 0, 6, 6), QRect(0, 0, 3, 3)), QPoint(2, 2));
    // Negative sums truncate towards zero, not downwards: (-5 + 0) / 2 = -2.
    EXPECT_EQ(CenteringOffset(QRect(0, 0, 0, 0), QRect(-5, -5, 5, 5)), QPoint(2, 2));
}

TEST(PageLayout, MassProductionRowSitsHalfAFrameBelowTheCentre) {
    const QRect client(0, 0, 800, 500);
    const QRect frame(10, 11, 588, 58);
    const QRect vendor(103, 178, 60, 39);
    const QRect write(342, 178, 120, 39);
    const MassProductionLayout layout = LayOutMassProduction(client, frame, vendor, write);
    // Row span 103..462, centre 282 -> 400; vertical span 178..217, centre 197 -> 250 + 29.
    EXPECT_EQ(layout.rowOffset, QPoint(118, 82));
    EXPECT_EQ(layout.frame, QRect(0, 0, 800, 58));
    EXPECT_EQ(layout.optionOffset, QPoint(-10, -11));
}

TEST(PageLayout, MassProductionLayoutIsStableOnceApplied) {
    const QRect client(0, 0, 640, 360);
    QRect frame(10, 11, 588, 58);
    QRect vendor(103, 178, 60, 39);
    QRect write(342, 178, 120, 39);
    const MassProductionLayout first = LayOutMassProduction(client, frame, vendor, write);
    const MassProductionLayout second = LayOutMassProduction(
        client, first.frame, vendor.translated(first.rowOffset), write.translated(first.rowOffset));
    EXPECT_EQ(second.rowOffset, QPoint(0, 0));
    EXPECT_EQ(second.frame, first.frame);
    EXPECT_EQ(second.optionOffset, QPoint(0, 0));
}
