// The commands that the test clients of every platform run alike; each client adds the ones that
// need its platform (loading the library, raw slot writes, ending the process).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "kervale.h"

namespace kervale::testing {

using GravaLogEntry = std::int32_t(KERVALE_CALL*)(const void*);

// Runs `command` when it is one of these, taking its arguments from `next`, and says so:
//   send LABEL            GravaLog with a message labelled LABEL; prints "sent LABEL <result>"
//   message TYPE LEVEL UNIT AMOUNT LABEL TEXT
//                         GravaLog with these fields (numbers in C notation, so 0x81 works;
//                         TEXT is text data, "-" for none); prints "sent LABEL <result>"
//   burst PREFIX N        N messages labelled PREFIX1 ... PREFIXN; prints "burst-start" and
//                         "burst-done"
//   threads T PREFIX N    T threads each sending N messages labelled PREFIX<t>-<i>
//   script                the message script (MessageScript.h); prints "script-done"
//   hold                  prints "holding" and waits for a line on standard input
//   lock-mutex            takes "MutexLog" directly and keeps it; prints "mutex-locked"
// False, having done nothing, for any other command.
bool runSharedCommand(const std::string& command, const std::function<std::string()>& next,
                      GravaLogEntry gravaLog);

// Writes a line to standard output and flushes it: the test reads it at once.
void say(const std::string& line);

}  // namespace kervale::testing
