#include "TestMessage.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace kervale::testing {

namespace {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

LogMessage labelledMessage(const std::string& label) {
    LogMessage m{};
    m.msgType = KERVALE_TYPE_13;
    m.level = KERVALE_LEVEL_EVENT0;
    std::memcpy(m.unit, "TST", 3);
    std::memcpy(m.label, label.data(), std::min(label.size(), sizeof m.label));
    return m;
}

// A record line begins with "|"; its tenth pipe-separated field is the label, right-aligned in
// 12 characters.
std::vector<std::string> logLabels(const std::string& log) {
    std::vector<std::string> labels;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] != '|') continue;
        std::vector<std::string> fields;
        std::istringstream parts(line.substr(1));
        std::string field;
        while (std::getline(parts, field, '|')) fields.push_back(field);
        if (fields.size() >= 10) labels.push_back(trim(fields[9]));
    }
    return labels;
}

}  // namespace kervale::testing
