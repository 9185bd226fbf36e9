// The fixed layouts are checked at compile time; these tests check the few rules that need code.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "BufferedFile.h"
#include "LogRecord.h"
#include "RecordQueue.h"
#include "SharedArea.h"
#include "TempRoot.h"

namespace kervale {
namespace {

LogRecord recordWith(const char* unit, const char* label, std::uint8_t level) {
    LogRecord r{};
    std::snprintf(r.unit, sizeof r.unit, "%s", unit);
    std::snprintf(r.label, sizeof r.label, "%s", label);
    r.level = level;
    return r;
}

TEST(LogRecordTest, CopyTerminatesTextFieldsAndNonBinaryData) {
    LogRecord source;
    std::memset(&source, 'x', sizeof source);
    source.dataLen = 3;
    source.data[0] = kKindText;
    LogRecord copy{};
    copyRecord(copy, source);
    EXPECT_EQ(copy.unit[3], '\0');
    EXPECT_EQ(copy.label[12], '\0');
    EXPECT_EQ(copy.stamp[19], '\0');
    EXPECT_EQ(copy.data[3], '\0');

    source.data[0] = kKindBinary;  // binary data is copied as it stands
    copyRecord(copy, source);
    EXPECT_EQ(copy.data[3], 'x');
}

TEST(LogRecordTest, EqualityIgnoresTypeStampRepeatsAndData) {
    LogRecord a = recordWith("AB", "LABEL", 0x81);
    LogRecord b = a;
    b.msgType = 14;
    b.repeats = 9;
    std::snprintf(b.stamp, sizeof b.stamp, "01/01/2020 00:00:00");
    b.dataLen = 4;
    b.unit[3] = 'Z';  // a byte after the unit's NUL does not count
    EXPECT_EQ(compareRecords(a, b), kRecordsEqual);

    const LogRecord differing[] = {recordWith("AB", "LABEL", 0x82), recordWith("AC", "LABEL", 0x81),
                                   recordWith("AB", "LABEM", 0x81)};
    for (const LogRecord& other : differing) EXPECT_EQ(compareRecords(a, other), kRecordsDiffer);
    LogRecord amount = a;
    amount.amount = 1;
    EXPECT_EQ(compareRecords(a, amount), kRecordsDiffer);
}

TEST(RecordQueueTest, RingWrapsAtCapacityAndKeepsTheNewest) {
    SharedArea area{};
    initQueues(area, 5);
    for (int i = 1; i <= 7; ++i) {
        LogRecord r{};
        r.amount = static_cast<std::uint16_t>(i);
        enqueueEvent(area, QueueId::pending, r);
    }
    EXPECT_EQ(area.pendingQueue.count, 5);
    std::int16_t position = 0;
    LogRecord out{};
    std::vector<int> seen;
    for (Status s = peekFirst(area, QueueId::pending, position, out); s == kOk;
         s = peekNext(area, QueueId::pending, position, out))
        seen.push_back(out.amount);
    EXPECT_EQ(seen, (std::vector<int>{3, 4, 5, 6, 7}));
    EXPECT_EQ(area.pendingSlots[5].amount, 0) << "slot 5 is never used with a window of 5";
    for (int expected = 3; expected <= 7; ++expected) {
        ASSERT_EQ(dequeue(area, QueueId::pending, &out), kOk);
        EXPECT_EQ(out.amount, expected);
    }
    EXPECT_EQ(dequeue(area, QueueId::pending, &out), kQueueEmpty);
    EXPECT_EQ(area.pendingQueue.head, -1);
    EXPECT_EQ(area.pendingQueue.tail, -1);
}

TEST(RecordQueueTest, SlotReferencesAreAreaOffsets) {
    SharedArea area{};
    initQueues(area, 10);
    EXPECT_EQ(area.pendingQueue.slotRef[0], 964u);
    EXPECT_EQ(area.flushedQueue.slotRef[9], 4064u + 9 * 310u);
    // A copy of the area at another address still finds its own slots.
    auto copy = std::make_unique<SharedArea>(area);
    LogRecord r{};
    r.amount = 42;
    enqueueEvent(*copy, QueueId::flushed, r);
    EXPECT_EQ(copy->flushedSlots[0].amount, 42);
    EXPECT_EQ(area.flushedSlots[0].amount, 0);
}

TEST(BufferedFileTest, BehavesLikeAStreamWithFewWrites) {
    testing::TempRoot root;
    BufferedFile f;
    ASSERT_FALSE(f.open("C:/LOG.TXT", platform::OpenMode::existing));
    ASSERT_TRUE(f.open("C:/LOG.TXT", platform::OpenMode::truncate));
    ASSERT_TRUE(f.print("first%s", kLineEnd));
    const std::int64_t second = f.tell();
    ASSERT_TRUE(f.print("second line%s", kLineEnd));
    ASSERT_TRUE(f.seek(0));
    char line[8];
    ASSERT_TRUE(f.readLine(line, sizeof line));
    EXPECT_STREQ(line, "first\r\n");
    ASSERT_TRUE(f.readLine(line, sizeof line));
    EXPECT_STREQ(line, "second ");  // a long line is read in parts
    ASSERT_TRUE(f.seek(second));
    ASSERT_TRUE(f.write("SECOND", 6));  // overwrite in place
    ASSERT_TRUE(f.seekEnd());
    ASSERT_TRUE(f.write("tail", 4));
    EXPECT_EQ(f.length(), 7 + 13 + 4);
    ASSERT_TRUE(f.close());
    EXPECT_EQ(testing::readFile(root.file("C/LOG.TXT")), "first\r\nSECOND line\r\ntail");
}

}  // namespace
}  // namespace kervale
