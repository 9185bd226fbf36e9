#include "Pipeline.h"

#include "Conversion.h"
#include "LogFile.h"
#include "RecordQueue.h"
#include "Repetition.h"
#include "TallyTable.h"

namespace kervale {

namespace {

bool isEventLevel(std::uint8_t level) { return level <= 2; }

bool isFaultLevel(std::uint8_t level) {
    return level == 0x81 || level == 0x82 || level == kLevelRejection;
}

// Opens the current log, or creates it, for this message. False when the message must be
// dropped: logging is disabled, or no log is open (a rotation that could not create the fresh
// log leaves none, and nothing may be written then; the next message creates the log).
bool prepareLog(ServerState& state) {
    SharedArea& area = *state.area;
    if (openLog(state) == kOk) {
        readTallies(state);
        rotateLog(state);
        if (area.started == 0 && state.log.isOpen()) {
            writeHeader(state, kStartBlock);
            area.started = 1;
        }
    } else if (createLog(state) == kOk) {
        readTallies(state);
        area.started = 1;
    } else {
        area.mode = kModeDisabled;
    }
    return area.mode != kModeDisabled && state.log.isOpen();
}

void route(ServerState& state, LogRecord& record) {
    const bool selective = state.area->mode == kModeSelective;
    if (isEventLevel(record.level)) {
        if (selective)
            enqueueEvent(*state.area, QueueId::pending, record);
        else
            logDirect(state, record);
    } else if (isFaultLevel(record.level)) {
        if (selective)
            handleFault(state, record);
        else
            logDirect(state, record);
    }
}

}  // namespace

void handleMessage(ServerState& state, const LogMessage& message) {
    if (state.area == nullptr) return;
    if (state.area->started == 0) configure(state);

    if (prepareLog(state)) {
        LogRecord record;
        convertMessage(state, record, message);
        if (record.amount != 0) addTally(state, record.unit, record.amount);
        route(state, record);
    }
    closeLog(state);
}

}  // namespace kervale
