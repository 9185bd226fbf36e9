// The labelled messages that the test clients send, and how the tests find them in a log. Shared
// by the clients and tests of every platform.
#pragma once

#include <string>
#include <vector>

#include "kervale.h"

namespace kervale::testing {

// An event (type 13, level 0, unit "TST") labelled `label`; a 12-character label fills the field
// with no NUL, a longer one is cut.
LogMessage labelledMessage(const std::string& label);

// Labels of the record lines of a log, in log order ("" for a record without one). This is the
// only place that knows how a record line shows its label.
std::vector<std::string> logLabels(const std::string& log);

}  // namespace kervale::testing
