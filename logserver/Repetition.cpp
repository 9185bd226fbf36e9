#include "Repetition.h"

#include <limits>

#include "LineWriter.h"

namespace kervale {

namespace {

constexpr std::int16_t kMaxRepeatCount = std::numeric_limits<std::int16_t>::max();

// The 16-bit count cannot take another repetition. Wrapping would print a negative count as a
// huge `repeats`, and saturating would hide repetitions, so the record gets a full line of its own
// instead, and the count restarts at the threshold: the next repetition collapses onto this new
// line with repeats 1. Each line then counts exactly the repetitions it stands for.
Status restartCount(ServerState& state, LogRecord& record) {
    record.repeats = 0;
    const Status status = writeLine(state, record, kFullLine);
    if (status == kOk) state.area->repeatCount = kRepeatThreshold;
    return status;
}

Status collapse(ServerState& state, LogRecord& record) {
    record.repeats = static_cast<std::uint16_t>(state.area->repeatCount - kRepeatThreshold);
    return writeLine(state, record, kCollapseUpdate);
}

// A full line that starts a new count.
Status writeCounted(ServerState& state, LogRecord& record) {
    const Status status = writeLine(state, record, kFullLine);
    if (status == kOk) state.area->repeatCount = 0;
    return status;
}

}  // namespace

Status compareQueues(ServerState& state) {
    SharedArea& area = *state.area;
    const std::int16_t pending = area.pendingQueue.count;
    const std::int16_t flushed = area.flushedQueue.count;
    if (pending == 0) return flushed == 0 ? kRecordsEqual : kRecordsDiffer;
    if (pending != flushed) return kRecordsDiffer;

    // One scan of each queue side by side, oldest with oldest.
    std::int16_t pendingAt = -1, flushedAt = -1;
    const Status firstPending = peekFirst(area, QueueId::pending, pendingAt, state.pendingScratch);
    const Status firstFlushed = peekFirst(area, QueueId::flushed, flushedAt, state.flushedScratch);
    if (firstPending == kQueueEmpty || firstFlushed == kQueueEmpty) return kRecordsDiffer;
    while (compareRecords(state.pendingScratch, state.flushedScratch) == kRecordsEqual) {
        const Status nextPending = peekNext(area, QueueId::pending, pendingAt, state.pendingScratch);
        const Status nextFlushed = peekNext(area, QueueId::flushed, flushedAt, state.flushedScratch);
        if (nextPending == kScanOver || nextFlushed == kScanOver) return kRecordsEqual;
    }
    return kRecordsDiffer;
}

Status flushPending(ServerState& state) {
    SharedArea& area = *state.area;
    while (dequeue(area, QueueId::flushed, nullptr) != kQueueEmpty) {
    }
    Status status = kOk;
    // Every event is written and moved, also after a failed write.
    while (dequeue(area, QueueId::pending, &state.pendingScratch) == kOk) {
        status = writeLine(state, state.pendingScratch, kFullLine);
        enqueueEvent(area, QueueId::flushed, state.pendingScratch);
    }
    return status;
}

Status logDirect(ServerState& state, LogRecord& record) {
    SharedArea& area = *state.area;
    if (compareRecords(record, area.lastRecord) == kRecordsEqual) {
        if (area.repeatCount >= kMaxRepeatCount) return restartCount(state, record);
        ++area.repeatCount;
        if (area.repeatCount > kRepeatThreshold) return collapse(state, record);
        return writeLine(state, record, kFullLine);
    }
    copyRecord(area.lastRecord, record);
    return writeCounted(state, record);
}

Status handleFault(ServerState& state, LogRecord& record) {
    SharedArea& area = *state.area;
    if (compareRecords(record, area.lastRecord) == kRecordsEqual) {
        const bool countFull = area.repeatCount >= kMaxRepeatCount;
        if (!countFull) ++area.repeatCount;
        if (area.repeatCount > kRepeatThreshold) {
            // The same fault after the same events as last time: the events are dropped.
            if (compareQueues(state) == kRecordsEqual) {
                clearPending(area);
                return countFull ? restartCount(state, record) : collapse(state, record);
            }
            const Status flushed = flushPending(state);
            if (flushed != kOk) return flushed;
            return writeCounted(state, record);
        }
        const Status flushed = flushPending(state);
        if (flushed != kOk) return flushed;
        return writeLine(state, record, kFullLine);
    }
    copyRecord(area.lastRecord, record);
    const Status flushed = flushPending(state);
    if (flushed != kOk) return flushed;
    return writeCounted(state, record);
}

}  // namespace kervale
