#include "shell/WindowPlacement.h"

#include <gtest/gtest.h>

#include <climits>

TEST(WindowPlacement, StoredTextRoundTripsAllTenFields) {
    WindowPlacement p;
    p.flags = 2;
    p.showCmd = 3;
    p.minX = -32000;
    p.minY = -32000;
    p.maxX = -1;
    p.maxY = -1;
    p.left = 10;
    p.top = 20;
    p.right = 850;
    p.bottom = 560;
    const QString text = FormatWindowPlacement(p);
    EXPECT_EQ(text, "2,3,-32000,-32000,-1,-1,10,20,850,560");
    const std::optional<WindowPlacement> parsed = ParseWindowPlacement(text);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, p);
    EXPECT_EQ(parsed->length, WINDOWPLACEMENT_LENGTH);
}

TEST(WindowPlacement, OnlyExactlyTenFieldsAreAccepted) {
    EXPECT_FALSE(ParseWindowPlacement(""));
    EXPECT_FALSE(ParseWindowPlacement("0,1,-1,-1,-1,-1,10,20,850"));  // nine fields
    EXPECT_FALSE(ParseWindowPlacement("0,1,-1,-1,-1,-1,10,20,850,")); // tenth missing
    EXPECT_FALSE(ParseWindowPlacement("0,1,-1,-1,-1,-1,10,20,x,560"));
    EXPECT_FALSE(ParseWindowPlacement("0;1;-1;-1;-1;-1;10;20;850;560"));
    EXPECT_FALSE(ParseWindowPlacement("0, 1,-1,-1,-1,-1,10,20,850 ,560")); // blank before a comma
    // Blanks before a number and text after the tenth field are what a scanf-style read allows.
    const auto lenient = ParseWindowPlacement(" 0, 1,-1,-1,-1,-1,10,20,850,560 trailing");
    ASSERT_TRUE(lenient);
    EXPECT_EQ(lenient->bottom, 560);
    EXPECT_EQ(lenient->showCmd, 1u);
}

TEST(WindowPlacement, NumbersThatDoNotFitTheirFieldsAreRefused) {
    EXPECT_FALSE(ParseWindowPlacement("0,1,-1,-1,-1,-1,10,20,2147483648,560"));
    EXPECT_FALSE(ParseWindowPlacement("0,1,-1,-1,-1,-1,10,20,99999999999999999999,560"));
    EXPECT_FALSE(ParseWindowPlacement("-1,1,-1,-1,-1,-1,10,20,850,560"));
    EXPECT_TRUE(ParseWindowPlacement("4294967295,1,-1,-1,-1,-1,-2147483648,20,2147483647,560"));
}

TEST(WindowPlacement, ClosingWhileMinimisedStoresAVisibleWindow) {
    const QRect normal(10, 20, 840, 540);

    const WindowPlacement plain = CurrentPlacement(normal, false, false);
    EXPECT_EQ(plain.showCmd, SW_SHOWNORMAL);
    EXPECT_EQ(PlacementToSave(plain, false), plain);
    EXPECT_EQ(plain.right, 850);
    EXPECT_EQ(plain.bottom, 560);
    EXPECT_EQ(plain.NormalRect(), normal);

    const WindowPlacement maximised = CurrentPlacement(normal, false, true);
    EXPECT_EQ(PlacementToSave(maximised, false).showCmd, SW_SHOWMAXIMIZED);

    const WindowPlacement minimised = CurrentPlacement(normal, true, false);
    EXPECT_EQ(minimised.showCmd, SW_SHOWMINIMIZED);
    EXPECT_EQ(PlacementToSave(minimised, true).showCmd, SW_SHOW);

    const WindowPlacement minimisedFromMaximised = CurrentPlacement(normal, true, true);
    EXPECT_EQ(minimisedFromMaximised.flags, WPF_RESTORETOMAXIMIZED);
    const WindowPlacement saved = PlacementToSave(minimisedFromMaximised, true);
    EXPECT_EQ(saved.showCmd, SW_SHOWMAXIMIZED);
    EXPECT_EQ(saved.NormalRect(), normal);
}

TEST(WindowPlacement, ARestoredWindowStaysWhollyOnTheScreenItOverlapsMostWithinSaneSizes) {
    const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    const QSize minimum(400, 300);
    const auto restored = [&](int left, int top, int right, int bottom) {
        WindowPlacement p;
        p.left = left, p.top = top, p.right = right, p.bottom = bottom;
        return RestoredNormalRect(p, screens, minimum);
    };
    EXPECT_EQ(restored(120, 90, 1020, 730), QRect(120, 90, 900, 640));     // fits: unchanged
    EXPECT_EQ(restored(2000, 100, 2800, 700), QRect(2000, 100, 800, 600)); // on the second screen
    EXPECT_EQ(restored(1800, 0, 2600, 600), QRect(1920, 0, 800, 600));     // mostly on the second
    EXPECT_EQ(restored(0, 0, 16777215, 16777215), QRect(0, 0, 1920, 1080));
    EXPECT_EQ(restored(100, 100, 30100, 30100), QRect(0, 0, 1920, 1080));
    EXPECT_EQ(restored(-5000, -5000, -4160, -4480), QRect(0, 0, 840, 520)); // off every screen
    EXPECT_EQ(restored(90000, 90000, 90840, 90520), QRect(1080, 560, 840, 520));
    EXPECT_EQ(restored(10, 10, 11, 11), QRect(10, 10, 400, 300));
    EXPECT_EQ(restored(1900, 1070, 1901, 1071), QRect(1520, 780, 400, 300));
    // The extremes of the stored fields, whose width or height no int can hold.
    EXPECT_EQ(restored(INT_MIN, INT_MIN, INT_MAX, INT_MAX), QRect(0, 0, 1920, 1080));
    EXPECT_EQ(restored(INT_MAX - 1, INT_MAX - 1, INT_MAX, INT_MAX), QRect(1520, 780, 400, 300));
    EXPECT_EQ(restored(INT_MIN, INT_MIN, INT_MIN + 1, INT_MIN + 1), QRect(0, 0, 400, 300));
    // A screen smaller than the minimum size is filled.
    WindowPlacement p;
    p.right = 10, p.bottom = 10;
    EXPECT_EQ(RestoredNormalRect(p, {QRect(0, 0, 320, 200)}, minimum), QRect(0, 0, 320, 200));
}
