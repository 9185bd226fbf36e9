#include "TimeStamp.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kervale {

namespace {

// 1 September 1998, 00:00:00, weekday 0: what the log shows when the time cannot be had.
constexpr platform::CivilTime kFallback{1998, 9, 1, 0, 0, 0, 0};

platform::CivilTime now(const ServerState& state) {
    platform::CivilTime t{};
    if (state.localTime == nullptr || !state.localTime(t)) return kFallback;
    return t;
}

// Formats into a roomy buffer and keeps the fixed width, so that odd values never overflow.
template <std::size_t N>
void fixedWidth(char (&out)[N], const char* text) {
    std::memset(out, 0, N);
    std::memcpy(out, text, std::min(std::strlen(text), N - 1));
}

}  // namespace

void makeStamp(const ServerState& state, char (&stamp)[20]) {
    const platform::CivilTime t = now(state);
    char text[64];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", t.day, t.month, t.year,
                  t.hour, t.minute, t.second);
    fixedWidth(stamp, text);
}

void makeTimeText(const ServerState& state, char (&out)[25]) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const platform::CivilTime t = now(state);
    const char* day = t.weekday >= 0 && t.weekday < 7 ? kDays[t.weekday] : "???";
    const char* month = t.month >= 1 && t.month <= 12 ? kMonths[t.month - 1] : "???";
    char text[96];
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %04d", day, month, t.day, t.hour,
                  t.minute, t.second, t.year);
    fixedWidth(out, text);
}

}  // namespace kervale
