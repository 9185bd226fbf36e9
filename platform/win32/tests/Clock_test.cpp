#include "Clock.h"

#include <gtest/gtest.h>

#include <ctime>

namespace kervale::platform {
namespace {

// Day of the week (0 = Sunday) of a date in the Gregorian calendar.
int weekdayOf(int year, int month, int day) {
    static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3) --year;
    return (year + year / 4 - year / 100 + year / 400 + offsets[month - 1] + day) % 7;
}

TEST(ClockTest, LocalTimeAgreesWithTheRuntime) {
    CivilTime before{};
    CivilTime now{};
    ASSERT_TRUE(localTime(before));
    const std::time_t runtime = std::time(nullptr);
    ASSERT_TRUE(localTime(now));
    const std::tm* local = std::localtime(&runtime);
    ASSERT_NE(local, nullptr);

    EXPECT_EQ(now.weekday, weekdayOf(now.year, now.month, now.day));
    if (before.minute == now.minute) {  // not across a minute's end
        EXPECT_EQ(now.year, local->tm_year + 1900);
        EXPECT_EQ(now.month, local->tm_mon + 1);
        EXPECT_EQ(now.day, local->tm_mday);
        EXPECT_EQ(now.hour, local->tm_hour);
        EXPECT_EQ(now.minute, local->tm_min);
    }
}

}  // namespace
}  // namespace kervale::platform
