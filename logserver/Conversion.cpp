#include "Conversion.h"

#include <algorithm>
#include <cstring>

#include "Repetition.h"
#include "SharedArea.h"
#include "TimeStamp.h"

namespace kervale {

namespace {

constexpr std::uint32_t kAcceptedTypes[] = {13, 14, 15, 16, 20, 21};
constexpr std::uint8_t kAcceptedLevels[] = {0, 1, 2, 0x81, 0x82};

constexpr std::uint32_t kMaxAmount = 0xFFFF;
constexpr std::uint32_t kMaxValue = 0xFFFF;
constexpr int kMaxBinaryLength = 128;  // 1 + 2 x 127 hex digits = 255 characters

// Defect codes: the position of the refused field in the record's field order.
constexpr char kDefectType[] = " 01";
constexpr char kDefectLevel[] = " 02";
constexpr char kDefectAmount[] = " 04";
constexpr char kDefectValue1[] = " 07";
constexpr char kDefectValue2[] = " 08";
constexpr char kDefectDataLen[] = " 0C";
constexpr char kDefectData[] = " 0D";

// At most five codes are ever raised (02 04 07 08 0C): 15 characters.
struct DefectList {
    char text[40] = {};
    std::size_t length = 0;

    void add(const char (&code)[4]) {
        if (length + 3 >= sizeof text) return;
        std::memcpy(text + length, code, 3);
        length += 3;
        text[length] = '\0';
    }
    bool empty() const { return length == 0; }
};

template <typename T, std::size_t N>
bool contains(const T (&list)[N], T value) {
    return std::find(std::begin(list), std::end(list), value) != std::end(list);
}

std::uint16_t low16(std::uint32_t value) { return static_cast<std::uint16_t>(value & 0xFFFF); }

// Sets the record's data to the printable form of `length` bytes of `source`.
void setPrintableData(LogRecord& record, const std::uint8_t* source, int length) {
    formatData(record.data, source, length);
    record.dataLen = static_cast<std::uint8_t>(std::strlen(record.data));
}

// The message's fields as received, for the log to show what arrived before it shows why it
// was refused.
void makeRawCopy(LogRecord& raw, const LogMessage& message, const LogRecord& checked) {
    std::memset(&raw, 0, sizeof raw);
    raw.msgType = low16(message.msgType);
    raw.level = message.level;
    std::memcpy(raw.unit, message.unit, sizeof message.unit);
    raw.amount = low16(message.amount);
    raw.code1 = message.code1;
    raw.code2 = message.code2;
    raw.value1 = low16(message.value1);
    raw.value2 = low16(message.value2);
    std::memcpy(raw.label, message.label, sizeof message.label);
    std::memcpy(raw.stamp, checked.stamp, sizeof raw.stamp);
    setPrintableData(raw, message.data, checked.dataLen);
}

// Keeps the stamp and repeats; everything else gives way to the defect list.
void makeRejection(LogRecord& record, const DefectList& defects) {
    LogRecord rejection{};
    std::memcpy(rejection.stamp, record.stamp, sizeof rejection.stamp);
    rejection.repeats = record.repeats;
    rejection.level = kLevelRejection;
    std::memcpy(rejection.data, defects.text, defects.length + 1);
    rejection.dataLen = static_cast<std::uint8_t>(defects.length);
    record = rejection;
}

}  // namespace

void formatData(char (&destination)[256], const std::uint8_t* source, int length) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    destination[0] = '\0';
    if (length <= 0 || source == nullptr) return;
    length = std::min(length, 255);

    const char kind = static_cast<char>(source[0]);
    std::size_t out = 0;
    destination[out++] = kind;
    if (kind == kKindBinary) {
        // Two digits per byte; the bound keeps a longer payload than 127 bytes inside the buffer.
        for (int i = 1; i < length && out + 2 < sizeof destination; ++i) {
            destination[out++] = kHex[source[i] >> 4];
            destination[out++] = kHex[source[i] & 0x0F];
        }
    } else if (kind == kKindText || kind == kKindTextNoWrap) {
        for (int i = 1; i < length && source[i] != 0; ++i)
            destination[out++] = static_cast<char>(source[i]);
    } else {
        out = 0;
    }
    destination[out] = '\0';
}

void convertMessage(ServerState& state, LogRecord& record, const LogMessage& message) {
    std::memset(&record, 0, sizeof record);
    makeStamp(state, record.stamp);
    record.repeats = 0;

    if (!contains(kAcceptedTypes, message.msgType)) {
        DefectList refused;
        refused.add(kDefectType);
        makeRejection(record, refused);
        return;
    }
    record.msgType = low16(message.msgType);

    DefectList defects;
    if (contains(kAcceptedLevels, message.level))
        record.level = message.level;
    else
        defects.add(kDefectLevel);
    std::memcpy(record.unit, message.unit, sizeof message.unit);
    if (message.amount <= kMaxAmount)
        record.amount = low16(message.amount);
    else
        defects.add(kDefectAmount);
    record.code1 = message.code1;
    record.code2 = message.code2;
    if (message.value1 <= kMaxValue)
        record.value1 = low16(message.value1);
    else
        defects.add(kDefectValue1);
    if (message.value2 <= kMaxValue)
        record.value2 = low16(message.value2);
    else
        defects.add(kDefectValue2);
    std::memcpy(record.label, message.label, sizeof message.label);

    record.dataLen = message.dataLen;
    if (record.dataLen != 0) {
        const char kind = static_cast<char>(message.data[0]);
        if (kind == kKindBinary && record.dataLen > kMaxBinaryLength) {
            defects.add(kDefectDataLen);
            record.dataLen = kMaxBinaryLength;
        } else if (kind != kKindBinary && kind != kKindText && kind != kKindTextNoWrap) {
            defects.add(kDefectData);
        }
    }

    // The data is printed from the message, within the length just fixed.
    if (defects.empty()) {
        setPrintableData(record, message.data, record.dataLen);
        return;
    }

    // The raw copy has storage of its own: writing it runs the queue operations, which use the
    // server's scratch records.
    LogRecord raw;
    makeRawCopy(raw, message, record);
    makeRejection(record, defects);
    if (state.area->mode == kModeAll)
        logDirect(state, raw);
    else if (state.area->mode == kModeSelective)
        handleFault(state, raw);
}

}  // namespace kervale
