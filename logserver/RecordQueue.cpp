#include "RecordQueue.h"

#include <cstddef>
#include <initializer_list>

namespace kervale {

namespace {

constexpr std::size_t kSlotBytes = sizeof(LogRecord);

std::int16_t& scanLeftOf(SharedArea& area, QueueId queue) {
    return queue == QueueId::pending ? area.pendingScanLeft : area.flushedScanLeft;
}

LogRecord* ownSlots(SharedArea& area, QueueId queue) {
    return queue == QueueId::pending ? area.pendingSlots : area.flushedSlots;
}

std::size_t ownSlotsOffset(QueueId queue) {
    return queue == QueueId::pending ? offsetof(SharedArea, pendingSlots)
                                     : offsetof(SharedArea, flushedSlots);
}

// The ring never uses more than its ten slots, whatever the area holds.
std::int16_t usable(const RecordQueue& q) {
    if (q.capacity < 1) return 1;
    if (q.capacity > kQueueSlots) return kQueueSlots;
    return q.capacity;
}

std::int16_t next(const RecordQueue& q, std::int16_t i) {
    if (i < 0 || i >= usable(q) - 1) return 0;
    return static_cast<std::int16_t>(i + 1);
}

bool validSlot(const RecordQueue& q, std::int16_t i) { return i >= 0 && i < usable(q); }

}  // namespace

RecordQueue& queueOf(SharedArea& area, QueueId queue) {
    return queue == QueueId::pending ? area.pendingQueue : area.flushedQueue;
}

LogRecord& slotRecord(SharedArea& area, QueueId queue, int slot) {
    const std::uint32_t ref = queueOf(area, queue).slotRef[slot];
    const std::size_t first = ownSlotsOffset(queue);
    // A reference that does not name one of this queue's own slots is not followed.
    if (ref >= first && ref < first + kQueueSlots * kSlotBytes && (ref - first) % kSlotBytes == 0)
        return ownSlots(area, queue)[(ref - first) / kSlotBytes];
    return ownSlots(area, queue)[slot];
}

void initQueues(SharedArea& area, std::int16_t capacity) {
    for (QueueId id : {QueueId::pending, QueueId::flushed}) {
        RecordQueue& q = queueOf(area, id);
        q.count = 0;
        q.head = -1;
        q.tail = -1;
        q.capacity = capacity;
        q.capacity = usable(q);
        for (int i = 0; i < kQueueSlots; ++i)
            q.slotRef[i] = static_cast<std::uint32_t>(ownSlotsOffset(id) + i * kSlotBytes);
    }
}

Status enqueueEvent(SharedArea& area, QueueId queue, const LogRecord& record) {
    RecordQueue& q = queueOf(area, queue);
    if (q.count >= usable(q)) dequeue(area, queue, nullptr);
    q.tail = next(q, q.tail);
    copyRecord(slotRecord(area, queue, q.tail), record);
    ++q.count;
    if (q.head == -1) q.head = 0;
    return kOk;
}

Status dequeue(SharedArea& area, QueueId queue, LogRecord* destination) {
    RecordQueue& q = queueOf(area, queue);
    if (q.head == -1) return kQueueEmpty;
    if (!validSlot(q, q.head)) q.head = 0;
    if (destination != nullptr) copyRecord(*destination, slotRecord(area, queue, q.head));
    --q.count;
    if (q.count <= 0) {
        q.count = 0;
        q.head = -1;
        q.tail = -1;
    } else {
        q.head = next(q, q.head);
    }
    return kOk;
}

void clearPending(SharedArea& area) {
    while (dequeue(area, QueueId::pending, nullptr) != kQueueEmpty) {
    }
}

Status peekFirst(SharedArea& area, QueueId queue, std::int16_t& position, LogRecord& destination) {
    RecordQueue& q = queueOf(area, queue);
    std::int16_t left = q.count;
    if (q.head == -1) {
        scanLeftOf(area, queue) = left;
        return kQueueEmpty;
    }
    if (!validSlot(q, q.head)) q.head = 0;
    copyRecord(destination, slotRecord(area, queue, q.head));
    --left;
    position = left <= 0 ? std::int16_t{-1} : next(q, q.head);
    scanLeftOf(area, queue) = left;
    return kOk;
}

Status peekNext(SharedArea& area, QueueId queue, std::int16_t& position, LogRecord& destination) {
    RecordQueue& q = queueOf(area, queue);
    std::int16_t left = scanLeftOf(area, queue);
    if (position == -1) return kScanOver;
    if (!validSlot(q, position)) position = 0;
    copyRecord(destination, slotRecord(area, queue, position));
    --left;
    position = left <= 0 ? std::int16_t{-1} : next(q, position);
    scanLeftOf(area, queue) = left;
    return kOk;
}

}  // namespace kervale
