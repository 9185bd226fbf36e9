// Decides whether and how a converted record reaches the log: collapsing runs of identical
// records, and in selective mode writing held events only before a fault.
#pragma once

#include "RecordQueue.h"
#include "ServerState.h"

namespace kervale {

inline constexpr int kRepeatThreshold = 10;

// kRecordsEqual when both queues hold the same number of records, equal pair by pair.
Status compareQueues(ServerState& state);

// Writes every pending event (oldest first) and moves it to flushedQueue. Gives the status of the
// last write, 0 when nothing was pending.
Status flushPending(ServerState& state);

// Both writers collapse the 11th and later repetitions of lastRecord onto the last full line.
// When repeatCount can count no further (32767), the repetition gets a full line of its own and
// the next ones collapse onto that line, counting from 1 again.

// Mode TODOS: writes the record, collapsing repetitions. May change the record.
Status logDirect(ServerState& state, LogRecord& record);

// Mode XEVENTOS, a fault: writes the waiting events, then the record, collapsing repetitions.
// May change the record.
Status handleFault(ServerState& state, LogRecord& record);

}  // namespace kervale
