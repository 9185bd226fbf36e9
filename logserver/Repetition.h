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

// Mode TODOS: writes the record, collapsing repetitions. May change the record.
Status logDirect(ServerState& state, LogRecord& record);

// Mode XEVENTOS, a fault: writes the waiting events, then the record, collapsing repetitions.
// May change the record.
Status handleFault(ServerState& state, LogRecord& record);

}  // namespace kervale
