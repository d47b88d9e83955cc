#include "shell/Clock.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

TEST(Clock, FormatsLocalTimeAsHoursMinutesSeconds) {
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(FormatClock(0), "00:00:00");
    EXPECT_EQ(FormatClock(13 * 3600 + 4 * 60 + 5), "13:04:05");
    setenv("TZ", "UTC-2", 1); // two hours east of UTC
    tzset();
    EXPECT_EQ(FormatClock(23 * 3600), "01:00:00");
}
