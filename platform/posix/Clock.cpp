#include "Clock.h"

#include <ctime>

namespace kervale::platform {

bool localTime(CivilTime& out) {
    const std::time_t now = std::time(nullptr);
    struct tm tm {};
    if (now == static_cast<std::time_t>(-1) || ::localtime_r(&now, &tm) == nullptr) return false;
    out = CivilTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                    tm.tm_min,         tm.tm_sec,     tm.tm_wday};
    return true;
}

}  // namespace kervale::platform
