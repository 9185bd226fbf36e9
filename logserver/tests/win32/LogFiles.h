// The log files of the machine as the Windows tests and their client read them: whole, while
// the server may write, rotate or remove them (a reader never keeps a rotation from happening).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kervale::testing {

// Bound of every wait for another process: generous, since a loaded machine runs Wine slowly.
inline constexpr std::uint32_t kPatience = 60000;

// The current log "C:\VANTEX\VANTEX.LOG", or the previous one with `previous`; "" when none.
std::string readLog(bool previous = false);

// Waits until every label in `expected` appears in the logs (previous, then current; bounded),
// and gives all their labels in log order.
std::vector<std::string> waitForLabels(const std::vector<std::string>& expected,
                                       std::uint32_t boundMs = kPatience);

}  // namespace kervale::testing
