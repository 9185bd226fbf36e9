#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "TallyTable.h"
#include "TempRoot.h"

namespace kervale {
namespace {

using testing::readFile;

constexpr char kLog[] = "C:/VANTEX/VANTEX.LOG";
const std::string kBlock = std::string(512, ' ') + "\r\n";
const std::string kRecordLine =
    "|013| 0|ABC|0005|00|00|0000|0000|0000|       LABEL|05/03/2024 09:07:03|00||\r\n";

// A full header as the server writes it, with the given machine lines and tally block.
std::string header(int machineLines = 1, const std::string& block = kBlock) {
    std::string text =
        "Servidor de Log - QUENDAL versao 2.1\r\nInicio do Log:Tue Mar 05 09:07:03 2024\r\n\r\n"
        "INFORMACOES DA MAQUINA:\r\n";
    for (int i = 0; i < machineLines; ++i) text += "K" + std::to_string(i) + "=valor\r\n";
    text += "Configuracao do VANTEX:\r\nTIPO    = TODOS\r\nEVENTOS = 5 SEM EFEITO\r\n"
            "TAMANHO = 100KB\r\nLOCALIZA = C:/VANTEX\r\n\r\nPerif. Registrador\r\n";
    return text + block;
}

// The block with the given tally lines written over its spaces.
std::string blockWith(const std::string& lines) {
    std::string block = kBlock;
    block.replace(0, lines.size(), lines);
    return block;
}

struct Tally {
    std::string key;  // the three key bytes, NULs included
    std::uint32_t count;
    bool operator==(const Tally&) const = default;
};

class TallyTableTest : public ::testing::Test {
  protected:
    TallyTableTest() {
        state.area = area.get();
        std::snprintf(area->tallyHeading, sizeof area->tallyHeading, "Perif. Registrador");
    }

    // Writes the log, opens it positioned at its end and reads its tallies.
    Status load(const std::string& content) {
        testing::writeFile(path, content);
        EXPECT_TRUE(state.log.open(kLog, platform::OpenMode::existing));
        state.log.seekEnd();
        return readTallies(state);
    }

    std::vector<Tally> table() const {
        std::vector<Tally> out;
        for (const TallyEntry& e : area->tallies) {
            if (static_cast<unsigned char>(e.key[0]) == kTallyEndMark) break;
            out.push_back({std::string(e.key, 3), e.count});
        }
        return out;
    }

    std::string contentAfterClose() {
        state.log.close();
        return readFile(path);
    }

    testing::TempRoot root;
    std::string path = root.file("C/VANTEX/VANTEX.LOG");
    std::unique_ptr<SharedArea> area = std::make_unique<SharedArea>();
    std::unique_ptr<ServerState> state_ = std::make_unique<ServerState>();
    ServerState& state = *state_;
};

TEST_F(TallyTableTest, AddsInPlaceAndKeepsThePosition) {
    const std::string before = header() + kRecordLine;
    ASSERT_EQ(load(before), kOk);
    EXPECT_EQ(area->tallyPos, before.size() - kRecordLine.size() - kBlock.size());
    EXPECT_TRUE(table().empty());

    EXPECT_EQ(addTally(state, "ABC", 5), kOk);
    EXPECT_EQ(addTally(state, "ABC", 7), kOk);
    EXPECT_EQ(addTally(state, "XYZ", 3), kOk);
    EXPECT_EQ(state.log.tell(), static_cast<std::int64_t>(before.size()));
    state.log.write("next\r\n", 6);  // record lines continue at the end

    EXPECT_EQ(contentAfterClose(),
              header(1, blockWith("ABC         12\r\nXYZ          3\r\n")) + kRecordLine + "next\r\n");
}

TEST_F(TallyTableTest, EveryUnitReadsBackAsWritten) {
    ASSERT_EQ(load(header()), kOk);
    const char* units[] = {"ABC", "AB", "A", "", "A B", "AB ", "9 9"};
    for (const char* unit : units) EXPECT_EQ(addTally(state, unit, 1), kOk) << unit;
    area->tallies[0].count = 0xFFFFFFFFu;
    EXPECT_EQ(addTally(state, "ABC", 2), kOk);  // wraps to 1
    const std::vector<Tally> expected = {
        {"ABC", 1},  {std::string("AB\0", 3), 1},   {std::string("A\0\0", 3), 1},
        {std::string(3, '\0'), 1}, {"A B", 1}, {"AB ", 1}, {"9 9", 1}};
    ASSERT_EQ(table(), expected);

    ASSERT_EQ(readTallies(state), kOk);
    EXPECT_EQ(table(), expected);
    // Units padded alike in the block are one unit: no second entry for them.
    const char* again[] = {"AB", " AB", "  A", "", "   "};
    for (const char* unit : again) EXPECT_EQ(addTally(state, unit, 1), kOk) << unit;
    ASSERT_EQ(readTallies(state), kOk);
    EXPECT_EQ(table().size(), expected.size());
    EXPECT_EQ(table()[1].count, 3u);
    EXPECT_EQ(table()[3].count, 3u);
}

TEST_F(TallyTableTest, SixteenUnitsFillTheTable) {
    ASSERT_EQ(load(header()), kOk);
    for (int i = 0; i < 16; ++i) {
        char unit[4];
        std::snprintf(unit, sizeof unit, "U%02d", i);
        EXPECT_EQ(addTally(state, unit, static_cast<std::uint16_t>(i + 1)), kOk);
    }
    state.log.close();
    const std::string full = readFile(path);
    EXPECT_EQ(full.find(std::string(256, ' ') + "\r\n"), full.size() - 258);

    ASSERT_EQ(load(full), kOk);
    EXPECT_EQ(table().size(), 16u);
    EXPECT_EQ(addTally(state, "NEW", 9), kNoTallyBlock);
    EXPECT_EQ(addTally(state, "\n", 9), kNoTallyBlock);  // could not stand in a tally line
    EXPECT_EQ(contentAfterClose(), full);
}

TEST_F(TallyTableTest, HostileOrForeignContents) {
    const std::string longLine = std::string(5000, 'x') + "\r\n";
    struct Case {
        const char* name;
        std::string content;
        Status result;
        std::vector<Tally> table;
    } cases[] = {
        {"heading after 25 machine lines", header(25, blockWith("ABC          5\r\n")), kOk,
         {{"ABC", 5}}},
        {"largest header", header(127, blockWith("ABC          5\r\n")), kOk, {{"ABC", 5}}},
        {"tallies of the original format",
         header(1, blockWith("ABC         12\r\nXYZ 4294967295\r\nBIG 99999999999\r\n")), kOk,
         {{"ABC", 12}, {"XYZ", 0xFFFFFFFFu}, {"BIG", 0xFFFFFFFFu}}},
        {"blank unit among others", header(1, blockWith("              4\r\nABC          1\r\n")),
         kOk, {{std::string(3, '\0'), 4}, {"ABC", 1}}},
        {"long line before the heading", longLine + header(), kOk, {}},
        {"binary bytes", std::string("\0\xff|\r\n", 5) + header(1, blockWith(std::string(
                                                                  "\0\xff\x01 7\r\nA\r\n", 11))),
         kOk, {}},
        {"empty file", "", kNoTallyBlock, {}},
        {"record line before the heading", kRecordLine + header(), kOk, {}},
        {"line with '|' first and fourth", "|ab|\r\n" + header(), kNoTallyBlock, {}},
        {"heading without a line end", "Perif. Registrador", kNoTallyBlock, {}},
        {"truncated block", header(1, std::string(300, ' ')), kNoTallyBlock, {}},
        {"block without its line end", header(1, std::string(514, ' ')), kNoTallyBlock, {}},
        {"record line right after the heading", header(1, kRecordLine + kRecordLine +
                                                              kRecordLine + kRecordLine +
                                                              kRecordLine + kRecordLine +
                                                              kRecordLine + kRecordLine),
         kNoTallyBlock, {}},
        {"long line in the block", header(1, "ABC 1" + std::string(600, '1') + "\r\n"),
         kNoTallyBlock, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        area->tallyPos = 1;  // a block of an earlier file
        EXPECT_EQ(load(c.content), c.result);
        EXPECT_EQ(table(), c.table);
        EXPECT_EQ(state.log.tell(), static_cast<std::int64_t>(c.content.size()));
        if (c.result != kOk) {
            EXPECT_EQ(area->tallyPos, 0u);
            EXPECT_EQ(addTally(state, "ABC", 5), kOk);
            EXPECT_EQ(writeTallies(state), kNoTallyBlock);
            EXPECT_EQ(contentAfterClose(), c.content);  // nothing written anywhere
        }
        state.log.close();
    }
}

}  // namespace
}  // namespace kervale
