// The two record rings of the shared area: pendingQueue (events held back in selective mode) and
// flushedQueue (the events written just before the last fault). Records are held by value; every
// store and every read copies a whole record with copyRecord.
#pragma once

#include <cstdint>

#include "LogRecord.h"
#include "SharedArea.h"

namespace kervale {

enum class QueueId : int { pending = 0, flushed = 1 };

inline constexpr Status kQueueEmpty = 2;  // dequeue, peekFirst
inline constexpr Status kScanOver = 3;    // peekNext

// Sets up both queues, empty, with the given capacity (the event window, 5 to 10; other values
// are held to 1..10 so that a ring never leaves its ten slots).
void initQueues(SharedArea& area, std::int16_t capacity);

// Stores a copy of the record as the newest, dropping the oldest when the queue is full. Gives 0.
Status enqueueEvent(SharedArea& area, QueueId queue, const LogRecord& record);

// Removes the oldest record, copying it into destination unless that is null.
// Gives 0, or kQueueEmpty with nothing changed.
Status dequeue(SharedArea& area, QueueId queue, LogRecord* destination);

// Empties pendingQueue.
void clearPending(SharedArea& area);

// A scan reads a queue oldest to newest without removing anything: one peekFirst, then peekNext
// with the same position until it gives kScanOver. The count of records still to deliver is kept
// in the area, so one scan of each queue can run at a time.
Status peekFirst(SharedArea& area, QueueId queue, std::int16_t& position, LogRecord& destination);
Status peekNext(SharedArea& area, QueueId queue, std::int16_t& position, LogRecord& destination);

RecordQueue& queueOf(SharedArea& area, QueueId queue);

// The record stored in slot i of a queue, found through its slot reference.
LogRecord& slotRecord(SharedArea& area, QueueId queue, int slot);

}  // namespace kervale
