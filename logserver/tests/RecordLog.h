// Test fixture of the record path: a shared area in ordinary memory, the server state, and the
// log "C:/VANTEX/VANTEX.LOG" under a private temporary root, with a fixed local time.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "FileSystem.h"
#include "LogRecord.h"
#include "ServerState.h"
#include "SharedArea.h"
#include "TempRoot.h"

namespace kervale::testing {

inline constexpr char kLogPath[] = "C:/VANTEX/VANTEX.LOG";
inline constexpr char kStamp[] = "05/03/2024 09:07:03";  // what fixedTime gives
inline constexpr char kLaterStamp[] = "05/03/2024 09:08:00";

inline platform::CivilTime fixedTimeValue{2024, 3, 5, 9, 7, 3, 2};
inline bool fixedTime(platform::CivilTime& out) {
    out = fixedTimeValue;
    return true;
}

class RecordLog : public ::testing::Test {
  protected:
    void SetUp() override {
        fixedTimeValue = {2024, 3, 5, 9, 7, 3, 2};
        state.area = area.get();
        state.localTime = &fixedTime;
        ASSERT_TRUE(platform::createDirectory("C:/VANTEX"));
        ASSERT_TRUE(state.log.open(kLogPath, platform::OpenMode::truncate));
    }

    // What the log holds so far; the log stays open at its end, as between two messages.
    std::string content() {
        state.log.close();
        std::string text = readFile(root.file("C/VANTEX/VANTEX.LOG"));
        EXPECT_TRUE(state.log.open(kLogPath, platform::OpenMode::existing));
        state.log.seekEnd();
        return text;
    }

    // The physical lines of the log, without their line ends; every line must end with CR LF.
    std::vector<std::string> lines() {
        const std::string text = content();
        std::vector<std::string> out;
        std::size_t from = 0;
        while (from < text.size()) {
            const std::size_t end = text.find("\r\n", from);
            if (end == std::string::npos) {
                ADD_FAILURE() << "line without a line end: " << text.substr(from);
                out.push_back(text.substr(from));
                break;
            }
            out.push_back(text.substr(from, end - from));
            from = end + 2;
        }
        return out;
    }

    // Replaces the log with the given content, open at its end.
    void replaceLog(const std::string& text) {
        state.log.close();
        writeFile(root.file("C/VANTEX/VANTEX.LOG"), text);
        ASSERT_TRUE(state.log.open(kLogPath, platform::OpenMode::existing));
        state.log.seekEnd();
    }

    TempRoot root;
    std::unique_ptr<SharedArea> area = std::make_unique<SharedArea>();
    ServerState state;
};

// A converted record: the kind byte and the printable data as conversion leaves them.
inline LogRecord makeRecord(const char* label, std::uint8_t level = 0, const char* text = "",
                            char kind = kKindText) {
    LogRecord r{};
    r.msgType = 13;
    r.level = level;
    std::snprintf(r.unit, sizeof r.unit, "%s", "ABC");
    std::snprintf(r.label, sizeof r.label, "%s", label);
    std::snprintf(r.stamp, sizeof r.stamp, "%s", kStamp);
    if (*text != '\0' || kind != kKindText) {
        r.data[0] = kind;
        std::snprintf(r.data + 1, sizeof r.data - 1, "%s", text);
        r.dataLen = static_cast<std::uint8_t>(1 + std::strlen(text));
    }
    return r;
}

// Fields of a full line's prefix, by column.
inline std::string labelOf(const std::string& line) {
    const std::string field = line.substr(38, 12);
    const std::size_t first = field.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : field.substr(first);
}
inline std::string repeatsOf(const std::string& line) { return line.substr(33, 4); }
inline std::string stampOf(const std::string& line) { return line.substr(51, 19); }

}  // namespace kervale::testing
