#include "Repetition.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LineWriter.h"
#include "RecordLog.h"

namespace kervale {
namespace {

using testing::labelOf;
using testing::makeRecord;
using testing::repeatsOf;
using testing::stampOf;

constexpr std::uint8_t kFault = 0x81;

class RepetitionTest : public testing::RecordLog {
  protected:
    void selective(std::int16_t window) {
        area->mode = kModeSelective;
        area->window = window;
        initQueues(*area, window);
    }

    // Routes a record as the pipeline does.
    Status route(LogRecord record) {
        if (area->mode == kModeAll) return logDirect(state, record);
        if (record.level <= 2) return enqueueEvent(*area, QueueId::pending, record);
        return handleFault(state, record);
    }
    Status event(const char* label) { return route(makeRecord(label, 0, "e")); }
    Status fault(const char* label = "F") { return route(makeRecord(label, kFault, "f")); }

    // "label:repeats" for each line of the log.
    std::vector<std::string> summary() {
        std::vector<std::string> out;
        for (const std::string& line : lines()) out.push_back(labelOf(line) + ":" + repeatsOf(line));
        return out;
    }
};

std::vector<std::string> repeated(const std::vector<std::string>& run, int times) {
    std::vector<std::string> out;
    for (int i = 0; i < times; ++i) out.insert(out.end(), run.begin(), run.end());
    return out;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(RepetitionTest, SelectiveModeWritesEventsBeforeFaultsAndCollapsesRepeatedRounds) {
    selective(5);
    for (const char* e : {"E1", "E2", "E3", "E4", "E5", "E6", "E7"}) event(e);
    EXPECT_EQ(content(), "") << "events wait for a fault";
    EXPECT_EQ(fault(), kOk);
    const std::vector<std::string> first = {"E3:0000", "E4:0000", "E5:0000", "E6:0000",
                                            "E7:0000", "F:0000"};
    EXPECT_EQ(summary(), first);
    EXPECT_EQ(area->repeatCount, 0);

    for (int round = 1; round <= 10; ++round) {
        event("E8");
        EXPECT_EQ(fault(), kOk);
        EXPECT_EQ(area->repeatCount, round);
    }
    const std::vector<std::string> written = first + repeated({"E8:0000", "F:0000"}, 10);
    EXPECT_EQ(summary(), written);
    // The events just written wait in flushedQueue in the form the writer left them.
    EXPECT_EQ(area->flushedQueue.count, 1);
    EXPECT_STREQ(slotRecord(*area, QueueId::flushed, area->flushedQueue.head).data, "e");

    // From the eleventh round on, the same event before the same fault: the event is dropped and
    // the fault's line counts the round.
    event("E8");
    EXPECT_EQ(fault(), kOk);
    std::vector<std::string> collapsed = written;
    collapsed.back() = "F:0001";
    EXPECT_EQ(summary(), collapsed);
    EXPECT_EQ(area->pendingQueue.count, 0);

    testing::fixedTimeValue.minute = 8;
    testing::fixedTimeValue.second = 0;
    event("E8");
    EXPECT_EQ(fault(), kOk);
    collapsed.back() = "F:0002";
    EXPECT_EQ(summary(), collapsed);
    EXPECT_EQ(stampOf(lines().back()), testing::kLaterStamp);

    // Another event before the fault: both are written and the count starts again.
    event("E9");
    EXPECT_EQ(fault(), kOk);
    EXPECT_EQ(summary(), (collapsed + std::vector<std::string>{"E9:0000", "F:0000"}));
    EXPECT_EQ(area->repeatCount, 0);
}

TEST_F(RepetitionTest, EventsNoFaultFollowsAreNeverWritten) {
    selective(5);
    for (int i = 0; i < 25; ++i) event("E");
    EXPECT_EQ(content(), "");
    EXPECT_EQ(area->pendingQueue.count, 5);
}

TEST_F(RepetitionTest, RunsCollapseAfterTenRepetitions) {
    struct Case {
        const char* name;
        std::int16_t mode;
        std::vector<const char*> records;  // all faults, so both modes write them
        std::vector<std::string> expected;
    };
    const std::vector<const char*> fourteenA(14, "A");
    std::vector<const char*> aBa(11, "A");
    aBa.push_back("B");
    aBa.push_back("A");
    const Case cases[] = {
        {"all: the same record 14 times", kModeAll, fourteenA,
         repeated({"A:0000"}, 10) + std::vector<std::string>{"A:0003"}},
        {"all: A 11 times, B, A", kModeAll, aBa,
         repeated({"A:0000"}, 11) + std::vector<std::string>{"B:0000", "A:0000"}},
        {"selective: the same fault 12 times", kModeSelective,
         std::vector<const char*>(12, "A"),
         repeated({"A:0000"}, 10) + std::vector<std::string>{"A:0001"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        replaceLog("");
        *area = SharedArea{};
        area->mode = c.mode;
        if (c.mode == kModeSelective) selective(5);
        for (const char* label : c.records) EXPECT_EQ(fault(label), kOk);
        EXPECT_EQ(summary(), c.expected);
    }
}

// When the 16-bit count is full, the record gets a new full line and the count goes on there.
TEST_F(RepetitionTest, RepeatCountNeverOverflows) {
    for (const std::int16_t mode : {kModeAll, kModeSelective}) {
        SCOPED_TRACE(mode);
        replaceLog("");
        *area = SharedArea{};
        area->mode = mode;
        if (mode == kModeSelective) selective(5);
        fault();
        area->repeatCount = 32766;
        EXPECT_EQ(fault(), kOk);
        EXPECT_EQ(summary(), (std::vector<std::string>{"F:7FF5"}));
        EXPECT_EQ(area->repeatCount, 32767);

        EXPECT_EQ(fault(), kOk);
        EXPECT_EQ(summary(), (std::vector<std::string>{"F:7FF5", "F:0000"}));
        EXPECT_EQ(area->repeatCount, kRepeatThreshold);
        EXPECT_EQ(fault(), kOk);
        EXPECT_EQ(fault(), kOk);
        EXPECT_EQ(summary(), (std::vector<std::string>{"F:7FF5", "F:0002"}));
    }
}

TEST_F(RepetitionTest, CompareQueues) {
    selective(5);
    const auto fill = [this](QueueId queue, std::vector<LogRecord> records) {
        while (dequeue(*area, queue, nullptr) == kOk) {
        }
        for (const LogRecord& r : records) enqueueEvent(*area, queue, r);
    };
    LogRecord otherStampAndData = makeRecord("E2", 0, "other data");
    std::snprintf(otherStampAndData.stamp, sizeof otherStampAndData.stamp, "01/01/2000 00:00:00");

    struct Case {
        const char* name;
        std::vector<LogRecord> pending, flushed;
        Status expected;
    };
    const Case cases[] = {
        {"both empty", {}, {}, kRecordsEqual},
        {"pending empty", {}, {makeRecord("E1")}, kRecordsDiffer},
        {"flushed empty", {makeRecord("E1")}, {}, kRecordsDiffer},
        {"different counts", {makeRecord("E1"), makeRecord("E2")}, {makeRecord("E1")},
         kRecordsDiffer},
        {"only stamp and data differ", {makeRecord("E1"), makeRecord("E2", 0, "data")},
         {makeRecord("E1"), otherStampAndData}, kRecordsEqual},
        {"last pair differs", {makeRecord("E1"), makeRecord("E2")},
         {makeRecord("E1"), makeRecord("E3")}, kRecordsDiffer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fill(QueueId::pending, c.pending);
        fill(QueueId::flushed, c.flushed);
        EXPECT_EQ(compareQueues(state), c.expected);
    }

    // Rings that wrap at different slots still compare oldest with oldest.
    std::vector<LogRecord> five;
    for (const char* label : {"E1", "E2", "E3", "E4", "E5"}) five.push_back(makeRecord(label));
    fill(QueueId::pending, five);
    fill(QueueId::flushed, {makeRecord("X"), makeRecord("X"), makeRecord("X"), makeRecord("X")});
    for (const LogRecord& r : five) enqueueEvent(*area, QueueId::flushed, r);
    ASSERT_EQ(area->flushedQueue.head, 4);
    EXPECT_EQ(compareQueues(state), kRecordsEqual);
    EXPECT_EQ(area->pendingQueue.count, 5) << "a comparison removes nothing";
}

TEST_F(RepetitionTest, FailedWrites) {
    // Selective: a failed flush keeps the fault itself from being written; every event moves.
    selective(5);
    event("E1");
    event("E2");
    area->repeatCount = 4;
    state.log.close();
    LogRecord f = makeRecord("F", kFault, "f");
    EXPECT_EQ(handleFault(state, f), kWriteFailed);
    EXPECT_EQ(area->pendingQueue.count, 0);
    EXPECT_EQ(area->flushedQueue.count, 2);
    EXPECT_EQ(f.dataLen, 2) << "the fault was not handed to the writer";
    EXPECT_STREQ(area->lastRecord.label, "F");
    EXPECT_EQ(area->repeatCount, 4);
    EXPECT_EQ(flushPending(state), kOk) << "nothing pending";

    // All: the new record is the reference all the same; the count stays.
    area->mode = kModeAll;
    LogRecord b = makeRecord("B", kFault);
    EXPECT_EQ(logDirect(state, b), kWriteFailed);
    EXPECT_STREQ(area->lastRecord.label, "B");
    EXPECT_EQ(area->repeatCount, 4);
}

}  // namespace
}  // namespace kervale
