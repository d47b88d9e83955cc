#include "station/StationNaming.h"

#include <gtest/gtest.h>

TEST(StationNaming, OnlyAnUnnamedStationBesideOtherReadersIsNamedAfterItsReader) {
    // One reader: exactly as before, the host's name.
    EXPECT_EQ(StationNameForReader("bench", "bench", 1, "1-2"), "bench");
    // Several readers: each unnamed station takes its reader's id, so two never share a name.
    EXPECT_EQ(StationNameForReader("bench", "bench", 2, "1-2"), "bench:1-2");
    EXPECT_NE(StationNameForReader("bench", "bench", 3, "1-3"), StationNameForReader("bench", "bench", 3, "1-4"));
    // A configured name is kept, and so is the name of a station whose reader is unknown.
    EXPECT_EQ(StationNameForReader("line 4", "bench", 2, "1-2"), "line 4");
    EXPECT_EQ(StationNameForReader("bench", "bench", 2, ""), "bench");
}
