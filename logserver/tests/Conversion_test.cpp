#include "Conversion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "RecordQueue.h"
#include "RecordLog.h"
#include "Repetition.h"

namespace kervale {
namespace {

using testing::kStamp;
using testing::labelOf;
using testing::makeRecord;
using testing::stampOf;

LogMessage goodMessage() {
    LogMessage m{};
    m.msgType = 13;
    m.level = 0x81;
    std::memcpy(m.unit, "ABC", 3);
    m.amount = 5;
    m.code1 = 0x1A;
    m.code2 = 0x2B;
    m.value1 = 0x1234;
    m.value2 = 0xFFFF;
    std::memcpy(m.label, "LABEL", 5);
    m.dataLen = 6;
    m.data[0] = kKindText;
    std::memcpy(m.data + 1, "hello", 5);
    return m;
}

std::string dataOf(const LogRecord& r) { return std::string(r.data, r.dataLen); }

class ConversionTest : public testing::RecordLog {
  protected:
    void SetUp() override {
        RecordLog::SetUp();
        area->mode = kModeAll;
    }

    // Converts in mode TODOS, where the raw copy of a defective message becomes lastRecord.
    LogRecord convert(const LogMessage& message) {
        area->lastRecord = LogRecord{};
        area->repeatCount = 0;
        LogRecord record;
        std::memset(&record, 0x5A, sizeof record);
        convertMessage(state, record, message);
        return record;
    }
    const LogRecord& raw() const { return area->lastRecord; }

    void expectRejection(const LogRecord& r, const char* codes) {
        EXPECT_EQ(r.msgType, 0);
        EXPECT_EQ(r.level, kLevelRejection);
        EXPECT_STREQ(r.unit, "");
        EXPECT_STREQ(r.label, "");
        EXPECT_EQ(r.amount + r.code1 + r.code2 + r.value1 + r.value2 + r.repeats, 0);
        EXPECT_STREQ(r.stamp, kStamp);
        EXPECT_EQ(dataOf(r), codes);
        EXPECT_EQ(r.data[r.dataLen], '\0');
    }
};

TEST_F(ConversionTest, AcceptedMessageIsCopiedAndStamped) {
    const LogRecord r = convert(goodMessage());
    EXPECT_EQ(r.msgType, 13);
    EXPECT_EQ(r.level, 0x81);
    EXPECT_STREQ(r.unit, "ABC");
    EXPECT_EQ(r.amount, 5);
    EXPECT_EQ(r.code1, 0x1A);
    EXPECT_EQ(r.code2, 0x2B);
    EXPECT_EQ(r.value1, 0x1234);
    EXPECT_EQ(r.value2, 0xFFFF);
    EXPECT_EQ(r.repeats, 0);
    EXPECT_STREQ(r.label, "LABEL");
    EXPECT_STREQ(r.stamp, kStamp);
    EXPECT_EQ(dataOf(r), "\x02hello");
    EXPECT_EQ(r.data[6], '\0');
    EXPECT_EQ(content(), "") << "an accepted message is written by the caller";

    // Full text fields stay terminated.
    LogMessage full = goodMessage();
    std::memcpy(full.unit, "XYZ", 3);
    std::memcpy(full.label, "ABCDEFGHIJKL", 12);
    const LogRecord f = convert(full);
    EXPECT_STREQ(f.unit, "XYZ");
    EXPECT_STREQ(f.label, "ABCDEFGHIJKL");

    state.localTime = [](platform::CivilTime&) { return false; };
    EXPECT_STREQ(convert(goodMessage()).stamp, "01/09/1998 00:00:00");
}

TEST_F(ConversionTest, RefusedTypeGivesTheRejectionAlone) {
    for (const std::uint32_t type : {0u, 17u, 18u, 19u, 22u, 0x1000Du, 0xFFFFFFFFu}) {
        SCOPED_TRACE(type);
        LogMessage m = goodMessage();
        m.msgType = type;
        m.level = 5;           // other defects are not looked at
        m.amount = 0x10000;
        const LogRecord r = convert(m);
        expectRejection(r, " 01");
        EXPECT_EQ(raw().level, 0) << "no raw copy";
    }
    EXPECT_EQ(content(), "");
}

TEST_F(ConversionTest, FieldDefectsInTheirOrderAndTheRawCopy) {
    for (const std::uint8_t level : {std::uint8_t{3}, std::uint8_t{0x80}, kLevelRejection}) {
        SCOPED_TRACE(level);
        LogMessage m = goodMessage();
        m.level = level;
        expectRejection(convert(m), " 02");
        EXPECT_EQ(raw().level, level) << "the raw copy keeps the level as received";
        EXPECT_EQ(raw().msgType, 13);
        EXPECT_STREQ(raw().unit, "ABC");
        EXPECT_STREQ(raw().label, "LABEL");
        EXPECT_EQ(raw().value1, 0x1234);
        EXPECT_EQ(dataOf(raw()), "\x02hello");
    }

    LogMessage all = goodMessage();
    all.level = 5;
    all.amount = 0x12345;
    all.value1 = 0x10000;
    all.value2 = 0x10000;
    all.dataLen = 200;
    all.data[0] = kKindBinary;
    expectRejection(convert(all), " 02 04 07 08 0C");
    EXPECT_EQ(raw().amount, 0x2345);
    EXPECT_EQ(raw().value1, 0);
    EXPECT_EQ(raw().dataLen, 255) << "the first 127 payload bytes";

    struct AmountCase {
        std::uint32_t amount;
        const char* codes;  // empty: accepted
        std::uint16_t shown;
    };
    for (const AmountCase& c : {AmountCase{0xFFFF, "", 0xFFFF}, AmountCase{0x10000, " 04", 0},
                                AmountCase{0x10005, " 04", 5}}) {
        SCOPED_TRACE(c.amount);
        LogMessage m = goodMessage();
        m.amount = c.amount;
        const LogRecord r = convert(m);
        if (*c.codes == '\0') {
            EXPECT_EQ(r.amount, c.shown);
        } else {
            expectRejection(r, c.codes);
            EXPECT_EQ(raw().amount, c.shown);
        }
    }
}

TEST_F(ConversionTest, DataKindsAndLengths) {
    std::string binary128(1, kKindBinary);
    std::string hex128(1, kKindBinary);
    for (int i = 1; i < 129; ++i) {
        binary128 += static_cast<char>(i);
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", i);
        if (i < 128) hex128 += digits;
    }
    const std::string text255 = std::string(1, kKindText) + std::string(254, 't');

    struct Case {
        const char* name;
        std::string data;     // the message's data bytes
        int dataLen;          // the message's dataLen
        const char* codes;    // empty: accepted
        std::string printed;  // the record's data when accepted, else the raw copy's
    };
    const Case cases[] = {
        {"binary of 128", binary128.substr(0, 128), 128, "", hex128},
        {"binary of 129", binary128, 129, " 0C", hex128},
        {"binary with a zero byte", std::string("\x01\x00\xAB", 3), 3, "", "\x01" "00AB"},
        {"binary kind alone", "\x01", 1, "", "\x01"},
        {"text of 255", text255, 255, "", text255},
        {"text cut at a NUL", std::string("\x02" "ab\0cd", 6), 6, "", "\x02" "ab"},
        {"unwrapped text", "\x03" "abc", 4, "", "\x03" "abc"},
        {"no data, kind 0", std::string(1, '\0'), 0, "", ""},
        {"no data, kind 9", "\x09", 0, "", ""},
        {"kind 0 with data", std::string("\0abcd", 5), 5, " 0D", ""},
        {"kind 4 with data", "\x04" "abcd", 5, " 0D", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogMessage m = goodMessage();
        std::memset(m.data, 0, sizeof m.data);
        std::memcpy(m.data, c.data.data(), c.data.size());
        m.dataLen = static_cast<std::uint8_t>(c.dataLen);
        const LogRecord r = convert(m);
        if (*c.codes == '\0') {
            EXPECT_EQ(r.level, 0x81);
            EXPECT_EQ(dataOf(r), c.printed);
            EXPECT_EQ(r.data[r.dataLen], '\0');
        } else {
            expectRejection(r, c.codes);
            EXPECT_EQ(dataOf(raw()), c.printed);
        }
    }
}

TEST_F(ConversionTest, FormatDataStaysWithinItsBuffer) {
    std::uint8_t source[255];
    std::memset(source, 0xFF, sizeof source);
    source[0] = kKindBinary;
    char out[256];
    formatData(out, source, 255);  // more binary bytes than fit: cut at whole bytes
    EXPECT_EQ(std::strlen(out), 255u);
    EXPECT_EQ(out[254], 'F');

    source[0] = kKindText;
    formatData(out, source, 255);
    EXPECT_EQ(std::strlen(out), 255u);
    formatData(out, source, 0);
    EXPECT_STREQ(out, "");
    source[0] = 7;
    formatData(out, source, 10);
    EXPECT_STREQ(out, "") << "an unknown kind gives no text, not even the kind";
}

// Conversion with the writers of both modes, as the pipeline runs it.
TEST_F(ConversionTest, RawCopyIsWrittenBeforeTheRejectionWithTheSameStamp) {
    // A clock that moves on at every reading: one stamp serves both records.
    state.localTime = [](platform::CivilTime& t) {
        static int second = 0;
        t = {2024, 3, 5, 9, 7, second++ % 60, 2};
        return true;
    };
    LogMessage m = goodMessage();
    m.level = 5;
    LogRecord record;
    convertMessage(state, record, m);
    logDirect(state, record);
    const std::vector<std::string> written = lines();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0].substr(0, 12), "|013| 5|ABC|");
    EXPECT_EQ(written[0].substr(70), "|05|hello|");
    EXPECT_EQ(written[1].substr(0, 12), "|000|83|   |");
    EXPECT_EQ(written[1].substr(70), "|02|02|");
    EXPECT_EQ(stampOf(written[0]), stampOf(written[1]));
    EXPECT_EQ(std::string(record.stamp), stampOf(written[1]));
}

TEST_F(ConversionTest, SelectiveModeSendsTheRawCopyOfAnEventDownTheFaultPath) {
    area->mode = kModeSelective;
    initQueues(*area, 5);
    for (const char* label : {"E1", "E2"})
        enqueueEvent(*area, QueueId::pending, makeRecord(label, 0, "e"));
    LogMessage m = goodMessage();
    m.level = 0;
    m.value2 = 0x10000;
    LogRecord record;
    convertMessage(state, record, m);
    EXPECT_EQ(area->pendingQueue.count, 0);
    handleFault(state, record);

    std::vector<std::string> labels;
    for (const std::string& line : lines()) labels.push_back(labelOf(line));
    EXPECT_EQ(labels, (std::vector<std::string>{"E1", "E2", "LABEL", ""}));
}

}  // namespace
}  // namespace kervale
