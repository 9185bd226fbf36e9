// LogRecord: a converted message as the server compares, queues, stores and prints it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace kervale {

// Status results of the server's operations: 0 is success, each operation names its others.
using Status = std::int16_t;
inline constexpr Status kOk = 0;

inline constexpr std::uint8_t kLevelRejection = 0x83;  // made only by conversion

// Data kinds in the first byte of a record's data.
inline constexpr char kKindBinary = 1;
inline constexpr char kKindText = 2;
inline constexpr char kKindTextNoWrap = 3;

// 310 bytes; lives in the shared area too (lastRecord, queue slots), so the layout is fixed.
struct LogRecord {
    std::uint16_t msgType;   //   0: the message's type; 0 in a rejection record
    std::uint8_t level;      //   2: as received, or 0x83 in a rejection record
    char unit[4];            //   3: 3 characters and a NUL (offset 6 always NUL)
    std::uint8_t zero1;      //   7: always 0
    std::uint16_t amount;    //   8
    std::uint8_t code1;      //  10
    std::uint8_t code2;      //  11
    std::uint16_t value1;    //  12
    std::uint16_t value2;    //  14
    std::uint16_t repeats;   //  16: 0 except on a collapse update
    char label[13];          //  18: 12 characters and a NUL (offset 30 always NUL)
    char stamp[20];          //  31: "dd/mm/yyyy hh:mm:ss" and a NUL (offset 50 always NUL)
    std::uint8_t dataLen;    //  51: length of the text in data, without its NUL
    char data[256];          //  52: kind byte, printable payload, NUL
    std::uint8_t zero2[2];   // 308: always 0
};

static_assert(std::is_standard_layout_v<LogRecord> && std::is_trivially_copyable_v<LogRecord>);
static_assert(sizeof(LogRecord) == 310);
static_assert(offsetof(LogRecord, msgType) == 0);
static_assert(offsetof(LogRecord, level) == 2);
static_assert(offsetof(LogRecord, unit) == 3);
static_assert(offsetof(LogRecord, zero1) == 7);
static_assert(offsetof(LogRecord, amount) == 8);
static_assert(offsetof(LogRecord, code1) == 10);
static_assert(offsetof(LogRecord, code2) == 11);
static_assert(offsetof(LogRecord, value1) == 12);
static_assert(offsetof(LogRecord, value2) == 14);
static_assert(offsetof(LogRecord, repeats) == 16);
static_assert(offsetof(LogRecord, label) == 18);
static_assert(offsetof(LogRecord, stamp) == 31);
static_assert(offsetof(LogRecord, dataLen) == 51);
static_assert(offsetof(LogRecord, data) == 52);
static_assert(offsetof(LogRecord, zero2) == 308);

inline constexpr Status kRecordsEqual = 2;
inline constexpr Status kRecordsDiffer = 1;

// Equal when level, value1, value2, unit, amount, code1, code2 and label agree (in that order);
// type, repeats, stamp and data are not compared. Gives kRecordsEqual or kRecordsDiffer.
Status compareRecords(const LogRecord& a, const LogRecord& b);

// Whole-record copy that re-terminates unit, label and stamp, and the data text unless it is
// binary data. Safe when destination and source are the same record.
void copyRecord(LogRecord& destination, const LogRecord& source);

}  // namespace kervale
