// A fixed sequence of messages that passes every path of the pipeline that shows in the log:
// each record type and level, the three data kinds and none, wrapped and unwrapped text, runs
// that collapse, tallies of several units, rejected fields, and enough lines for one rotation at
// the smallest log size. Sent through the library of each platform under the same configuration,
// it must give the same log bytes, time texts aside. It holds no message that reads as the stop
// message: whether one stops the server or is logged depends on when the server meets it.
#pragma once

#include <vector>

#include "kervale.h"

namespace kervale::testing {

// The label of the script's last message, a fault, which every mode writes.
inline constexpr char kScriptEnd[] = "FIM";

std::vector<LogMessage> messageScript();

}  // namespace kervale::testing
