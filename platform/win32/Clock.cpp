#include "Clock.h"

#include "win32/Win32Api.h"

namespace kervale::platform {

bool localTime(CivilTime& out) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    out = CivilTime{now.wYear, now.wMonth,  now.wDay,      now.wHour,
                    now.wMinute, now.wSecond, now.wDayOfWeek};
    return true;
}

}  // namespace kervale::platform
