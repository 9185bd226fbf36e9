// SharedArea: the server's state, in one block of memory shared by every process that has the
// library loaded, so that it survives a change of the hosting process. The layout is fixed:
// every instance of the library on the machine must agree on it byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "LogRecord.h"

namespace kervale {

inline constexpr std::size_t kAreaSize = 7164;
inline constexpr int kQueueSlots = 10;
inline constexpr int kTallyEntries = 17;  // 16 usable, the 17th only holds the end mark
inline constexpr int kTallyUsable = 16;
inline constexpr unsigned char kTallyEndMark = 0xFF;

// Area modes.
inline constexpr std::int16_t kModeUnconfigured = 0;
inline constexpr std::int16_t kModeAll = 1;       // TODOS: every record is written
inline constexpr std::int16_t kModeSelective = 2; // XEVENTOS: events only before a fault
inline constexpr std::int16_t kModeDisabled = 3;

struct TallyEntry {
    char key[3];           // unit of the records counted; 0xFF in key[0] marks the end
    std::uint8_t spare;    // never read
    std::uint32_t count;   // wraps modulo 2^32
};
static_assert(std::is_standard_layout_v<TallyEntry> && sizeof(TallyEntry) == 8);
static_assert(offsetof(TallyEntry, key) == 0 && offsetof(TallyEntry, count) == 4);

// A ring of records. Slot references are byte offsets from the start of the SharedArea, so they
// stay valid in whichever process maps the area later, at whatever address.
struct RecordQueue {
    std::int16_t count;        // records held
    std::int16_t head;         // slot of the oldest record, -1 when empty
    std::int16_t tail;         // slot of the newest record, -1 when empty
    std::int16_t capacity;     // usable slots, the event window
    std::uint32_t slotRef[kQueueSlots];
};
static_assert(std::is_standard_layout_v<RecordQueue> && sizeof(RecordQueue) == 48);
static_assert(offsetof(RecordQueue, count) == 0 && offsetof(RecordQueue, head) == 2 &&
              offsetof(RecordQueue, tail) == 4 && offsetof(RecordQueue, capacity) == 6 &&
              offsetof(RecordQueue, slotRef) == 8);

struct SharedArea {
    std::int16_t mode;                    //    0: see kMode*
    std::int16_t window;                  //    2: event window, 5 to 10 once configured
    std::uint32_t maxLogSize;             //    4: kilobytes while configuring, bytes after
    char configText[256];                 //    8: configuration summary, four lines
    char logDir[68];                      //  264: log directory, "/"-terminated once configured
    std::uint32_t logFile;                //  332: kept for the layout; the open log is per host
    char banner[50];                      //  336
    std::int16_t started;                 //  386: 1 once a message found a usable log
    LogRecord lastRecord;                 //  388: reference for repetition detection
    std::int16_t repeatCount;             //  698
    std::uint32_t lastLinePos;            //  700: where the last full line began
    TallyEntry tallies[kTallyEntries];    //  704
    char tallyHeading[20];                //  840
    std::uint32_t tallyPos;               //  860: where the tally block begins; 0 = unknown
    RecordQueue pendingQueue;             //  864: events held back (selective mode)
    RecordQueue flushedQueue;             //  912: events written before the last fault
    std::int16_t pendingScanLeft;         //  960
    std::int16_t flushedScanLeft;         //  962
    LogRecord pendingSlots[kQueueSlots];  //  964
    LogRecord flushedSlots[kQueueSlots];  // 4064
};

static_assert(std::is_standard_layout_v<SharedArea> && std::is_trivially_copyable_v<SharedArea>);
static_assert(sizeof(SharedArea) == kAreaSize);
static_assert(offsetof(SharedArea, mode) == 0);
static_assert(offsetof(SharedArea, window) == 2);
static_assert(offsetof(SharedArea, maxLogSize) == 4);
static_assert(offsetof(SharedArea, configText) == 8);
static_assert(offsetof(SharedArea, logDir) == 264);
static_assert(offsetof(SharedArea, logFile) == 332);
static_assert(offsetof(SharedArea, banner) == 336);
static_assert(offsetof(SharedArea, started) == 386);
static_assert(offsetof(SharedArea, lastRecord) == 388);
static_assert(offsetof(SharedArea, repeatCount) == 698);
static_assert(offsetof(SharedArea, lastLinePos) == 700);
static_assert(offsetof(SharedArea, tallies) == 704);
static_assert(offsetof(SharedArea, tallyHeading) == 840);
static_assert(offsetof(SharedArea, tallyPos) == 860);
static_assert(offsetof(SharedArea, pendingQueue) == 864);
static_assert(offsetof(SharedArea, flushedQueue) == 912);
static_assert(offsetof(SharedArea, pendingScanLeft) == 960);
static_assert(offsetof(SharedArea, flushedScanLeft) == 962);
static_assert(offsetof(SharedArea, pendingSlots) == 964);
static_assert(offsetof(SharedArea, flushedSlots) == 4064);

}  // namespace kervale
