#include "LineWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordLog.h"

namespace kervale {
namespace {

using testing::kLaterStamp;
using testing::kStamp;
using testing::makeRecord;
using testing::repeatsOf;

constexpr std::uint32_t kNoPosition = 0xFFFFFFFF;

class LineWriterTest : public testing::RecordLog {};

LogRecord rejection(const char* codes) {
    LogRecord r{};
    r.level = kLevelRejection;
    std::snprintf(r.stamp, sizeof r.stamp, "%s", kStamp);
    std::snprintf(r.data, sizeof r.data, "%s", codes);
    r.dataLen = static_cast<std::uint8_t>(std::strlen(codes));
    return r;
}

std::vector<std::size_t> lengthsOf(const std::vector<std::string>& lines) {
    std::vector<std::size_t> out;
    for (const std::string& line : lines) out.push_back(line.size());
    return out;
}

TEST_F(LineWriterTest, FullLineFormatAndStrippedRecord) {
    LogRecord r = makeRecord("LABEL", 0, "hello");
    r.amount = 5;
    r.code1 = 0x1A;
    r.code2 = 0x0B;
    r.value1 = 0x1234;
    r.value2 = 0xFFFF;
    EXPECT_EQ(writeLine(state, r, kFullLine), kOk);
    EXPECT_STREQ(r.data, "hello") << "the caller's record keeps the stripped form";
    EXPECT_EQ(r.dataLen, 5);
    EXPECT_EQ(area->lastLinePos, 0u);

    LogRecord second = makeRecord("X", 0x82);
    EXPECT_EQ(writeLine(state, second, kFullLine), kOk);
    EXPECT_EQ(area->lastLinePos, 82u) << "80 characters and CR LF before it";
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "|013| 0|ABC|0005|1A|0B|1234|FFFF|0000|       LABEL|05/03/2024 "
                           "09:07:03|05|hello|",
                           "|013|82|ABC|0000|00|00|0000|0000|0000|           X|05/03/2024 "
                           "09:07:03|00||"}));
}

TEST_F(LineWriterTest, LinesWrapAtEightyColumnsUnlessUnwrapped) {
    struct Case {
        const char* name;
        LogRecord record;
        std::vector<std::size_t> pieces;
        const char* lastPiece;  // null: not checked
    };
    const Case cases[] = {
        {"5 data characters", makeRecord("A", 0, "12345"), {80}, nullptr},
        {"6 data characters", makeRecord("A", 0, "123456"), {80, 1}, "|"},
        {"160 characters", makeRecord("A", 0, std::string(85, 't').c_str()), {80, 80}, nullptr},
        {"wrapped text of 200", makeRecord("A", 0, std::string(200, 't').c_str()),
         {80, 80, 80, 35}, nullptr},
        {"unwrapped text of 200",
         makeRecord("A", 0, std::string(200, 'u').c_str(), kKindTextNoWrap), {275}, nullptr},
        {"longest text", makeRecord("A", 0, std::string(254, 't').c_str()), {80, 80, 80, 80, 9},
         nullptr},
        {"no data", makeRecord("A"), {75}, nullptr},
        {"binary 01 AB", makeRecord("A", 0, "01AB", kKindBinary), {79}, nullptr},
        {"rejection of a type", rejection(" 01"), {77}, nullptr},
        {"rejection with five codes", rejection(" 02 04 07 08 0C"), {80, 9}, "07 08 0C|"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        replaceLog("");
        LogRecord r = c.record;
        EXPECT_EQ(writeLine(state, r, kFullLine), kOk);
        const std::vector<std::string> written = lines();
        EXPECT_EQ(lengthsOf(written), c.pieces);
        if (c.lastPiece != nullptr && !written.empty()) {
            EXPECT_EQ(written.back(), c.lastPiece);
        }
    }

    replaceLog("");
    LogRecord none = makeRecord("A");
    writeLine(state, none, kFullLine);
    LogRecord binary = makeRecord("A", 0, "01AB", kKindBinary);
    writeLine(state, binary, kFullLine);
    LogRecord refused = rejection(" 01");
    writeLine(state, refused, kFullLine);
    const std::vector<std::string> written = lines();
    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(written[0].substr(70), "|00||");
    EXPECT_EQ(written[1].substr(70), "|04|01AB|");
    EXPECT_EQ(written[2], "|000|83|   |0000|00|00|0000|0000|0000|            |05/03/2024 09:07:03|02|01|");
}

TEST_F(LineWriterTest, CollapseUpdateRewritesTheFirstSeventyCharactersInPlace) {
    LogRecord first = makeRecord("A", 0x81, "data");
    writeLine(state, first, kFullLine);
    LogRecord second = makeRecord("A", 0x81, "data");
    writeLine(state, second, kFullLine);
    const std::string before = content();
    const std::uint32_t lastLine = area->lastLinePos;
    ASSERT_EQ(lastLine, before.size() / 2);

    testing::fixedTimeValue.minute = 8;
    testing::fixedTimeValue.second = 0;
    LogRecord update = makeRecord("A", 0x81, "other data");
    update.msgType = 14;
    update.repeats = 3;
    EXPECT_EQ(writeLine(state, update, kCollapseUpdate), kOk);
    EXPECT_EQ(area->lastLinePos, lastLine);

    const std::string after = content();
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.substr(0, lastLine), before.substr(0, lastLine));
    EXPECT_EQ(after.substr(lastLine, 70),
              std::string("|014|81|ABC|0000|00|00|0000|0000|0003|           A|") + kLaterStamp);
    EXPECT_EQ(after.substr(lastLine + 70), before.substr(lastLine + 70));

    // A full line in the same message starts at the end, after the collapsed line's line end.
    LogRecord next = rejection(" 02");
    EXPECT_EQ(writeLine(state, next, kFullLine), kOk);
    EXPECT_EQ(area->lastLinePos, after.size());
    const std::vector<std::string> written = lines();
    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(written[1].substr(70), "|04|data|");
    EXPECT_EQ(written[2].substr(0, 5), "|000|");
}

// The update goes only over the line of an equal record; anything else gets a full line.
TEST_F(LineWriterTest, CollapseUpdateOnAnUnfitPositionWritesAFullLine) {
    const auto lineOf = [this](LogRecord record) {
        replaceLog("");
        writeLine(state, record, kFullLine);
        return content();
    };
    const std::string lineA = lineOf(makeRecord("A", 0x81, "data"));
    const std::string lineB = lineOf(makeRecord("B", 0x81, "data"));
    // A record whose unwrapped text repeats the start of A's line: a look-alike inside a line.
    const std::string lineX = lineOf(makeRecord("X", 0, lineA.substr(0, 75).c_str(), kKindTextNoWrap));
    const std::string header = "Servidor de Log\r\nPerif. Registrador\r\n" + std::string(512, ' ') + "\r\n";
    const auto block = static_cast<std::uint32_t>(header.size() - 514);
    const auto end = static_cast<std::uint32_t>(header.size());

    struct Case {
        const char* name;
        std::string log;
        std::size_t lastLinePos;
        std::size_t tallyPos;
    };
    const Case cases[] = {
        {"position unknown", header + lineA, kNoPosition, block},
        {"at the end (a new log)", header, end, block},
        {"beyond the end (a rotated log)", header, end + 1000, block},
        {"an equal line inside the header", lineA + header, 0, block + lineA.size()},
        {"a header line, block unknown", header + lineA, 0, 0},
        {"not at a line start", header + lineX, end + 74, block},
        {"line of another record", header + lineB, end, block},
        {"line ending early", header + lineA.substr(0, 60) + "\r\n" + lineA, end, block},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        replaceLog(c.log);
        area->lastLinePos = static_cast<std::uint32_t>(c.lastLinePos);
        area->tallyPos = static_cast<std::uint32_t>(c.tallyPos);
        LogRecord r = makeRecord("A", 0x81, "data");
        r.repeats = 2;
        EXPECT_EQ(writeLine(state, r, kCollapseUpdate), kOk);
        std::string expected = c.log + lineA;
        expected.replace(c.log.size() + 33, 4, "0002");
        EXPECT_EQ(content(), expected);
        EXPECT_EQ(area->lastLinePos, c.log.size());

        // Later updates go to the new line.
        LogRecord again = makeRecord("A", 0x81, "data");
        again.repeats = 3;
        EXPECT_EQ(writeLine(state, again, kCollapseUpdate), kOk);
        expected.replace(c.log.size() + 33, 4, "0003");
        EXPECT_EQ(content(), expected);
    }
}

TEST_F(LineWriterTest, DamagedRecordStaysWithinItsBuffers) {
    LogRecord damaged;
    std::memset(&damaged, 'x', sizeof damaged);
    damaged.msgType = 65535;
    damaged.dataLen = 255;
    damaged.data[0] = kKindText;
    LogRecord copy = damaged;
    EXPECT_EQ(writeLine(state, copy, kFullLine), kOk);
    EXPECT_EQ(copy.dataLen, 254);
    const std::vector<std::string> written = lines();
    EXPECT_EQ(lengthsOf(written), (std::vector<std::size_t>{80, 80, 80, 80, 11}));
    EXPECT_EQ(written[0].substr(0, 12), "|65535|78|xx");

    // Its prefix does not have the fixed width: no update in place.
    copy = damaged;
    EXPECT_EQ(writeLine(state, copy, kCollapseUpdate), kOk);
    EXPECT_EQ(lines().size(), 10u);

    // No data, and data that holds no NUL: an empty data field.
    replaceLog("");
    copy = damaged;
    copy.msgType = 13;
    copy.dataLen = 0;
    EXPECT_EQ(writeLine(state, copy, kFullLine), kOk);
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "|013|78|xxx|7878|78|78|7878|7878|7878|xxxxxxxxxxxx|xxxxxxxxxxxxxxxxxxx|00||"}));
}

TEST_F(LineWriterTest, UnknownFormAndFailedWrites) {
    LogRecord r = makeRecord("A", 0, "abc");
    EXPECT_EQ(writeLine(state, r, 3), kWriteFailed);
    EXPECT_STREQ(r.data, "abc") << "the kind byte is removed all the same";
    EXPECT_EQ(content(), "");

    state.log.close();
    LogRecord lost = makeRecord("A", 0, "abc");
    EXPECT_EQ(writeLine(state, lost, kFullLine), kWriteFailed);
    EXPECT_EQ(area->lastLinePos, kNoPosition);

    // With the position unknown, an update becomes a full line, not a prefix at the end.
    ASSERT_TRUE(state.log.open(testing::kLogPath, platform::OpenMode::existing));
    LogRecord update = makeRecord("A", 0, "abc");
    update.repeats = 1;
    EXPECT_EQ(writeLine(state, update, kCollapseUpdate), kOk);
    const std::vector<std::string> written = lines();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(repeatsOf(written[0]), "0001");
    EXPECT_EQ(area->lastLinePos, 0u);
}

}  // namespace
}  // namespace kervale
