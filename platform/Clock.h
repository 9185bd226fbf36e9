// Local time, as the log's time stamps and headers need it.
#pragma once

namespace kervale::platform {

struct CivilTime {
    int year;     // four digits
    int month;    // 1 to 12
    int day;      // 1 to 31
    int hour;     // 0 to 23
    int minute;
    int second;
    int weekday;  // 0 = Sunday
};

// The current local time. False when it cannot be had.
bool localTime(CivilTime& out);

}  // namespace kervale::platform
