#include "LogRecord.h"

#include <cstring>

namespace kervale {

namespace {

// Text fields compare as C strings within their arrays; the bound keeps a missing NUL harmless.
template <std::size_t N>
bool sameText(const char (&a)[N], const char (&b)[N]) {
    return std::strncmp(a, b, N) == 0;
}

}  // namespace

Status compareRecords(const LogRecord& a, const LogRecord& b) {
    const bool equal = a.level == b.level && a.value1 == b.value1 && a.value2 == b.value2 &&
                       sameText(a.unit, b.unit) && a.amount == b.amount && a.code1 == b.code1 &&
                       a.code2 == b.code2 && sameText(a.label, b.label);
    return equal ? kRecordsEqual : kRecordsDiffer;
}

void copyRecord(LogRecord& destination, const LogRecord& source) {
    if (&destination != &source) std::memcpy(&destination, &source, sizeof(LogRecord));
    destination.unit[3] = '\0';
    destination.label[12] = '\0';
    destination.stamp[19] = '\0';
    if (destination.data[0] != kKindBinary) destination.data[destination.dataLen] = '\0';
}

}  // namespace kervale
