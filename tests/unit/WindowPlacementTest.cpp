#include "shell/WindowPlacement.h"

#include <gtest/gtest.h>

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
