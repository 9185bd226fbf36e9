#include "Pipeline.h"

#include <cstring>

#include "FileSystem.h"
#include "TimeStamp.h"

namespace kervale {

// Interim body until the full pipeline lands: appends one line in the record line's form to
// "C:/VANTEX/VANTEX.LOG" for every message, with no configuration, tallies or rotation.
void handleMessage(ServerState& state, const LogMessage& message) {
    constexpr char kLogPath[] = "C:/VANTEX/VANTEX.LOG";
    platform::createDirectory("C:/VANTEX");
    BufferedFile& log = state.log;
    if (!log.open(kLogPath, platform::OpenMode::existing) &&
        !log.open(kLogPath, platform::OpenMode::truncate))
        return;
    char unit[4] = {};
    std::memcpy(unit, message.unit, sizeof message.unit);
    char label[13] = {};
    std::memcpy(label, message.label, sizeof message.label);
    char stamp[20];
    makeStamp(state, stamp);
    log.seekEnd();
    log.print("|%03u|%2X|%3s|%04X|%02X|%02X|%04X|%04X|%04X|%12s|%s|%02X|%s|%s",
              static_cast<unsigned>(message.msgType), static_cast<unsigned>(message.level), unit,
              static_cast<unsigned>(message.amount & 0xFFFF), static_cast<unsigned>(message.code1),
              static_cast<unsigned>(message.code2), static_cast<unsigned>(message.value1 & 0xFFFF),
              static_cast<unsigned>(message.value2 & 0xFFFF), 0u, label, stamp, 0u, "", kLineEnd);
    log.close();
}

}  // namespace kervale
