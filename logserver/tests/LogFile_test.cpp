#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "FaultInjection.h"
#include "LogFile.h"
#include "TallyTable.h"
#include "TempRoot.h"

namespace kervale {
namespace {

using testing::fileExists;
using testing::readFile;

constexpr char kTime[] = "Tue Mar 05 09:07:03 2024";
constexpr char kFallbackTime[] = "Sun Sep 01 00:00:00 1998";
constexpr char kDefaultConfig[] =
    "TIPO    = XEVENTOS\r\nEVENTOS = 5\r\nTAMANHO = 100KB\r\nLOCALIZA = C:/VANTEX\r\n";
const std::string kBlock = std::string(512, ' ') + "\r\n";

bool fixedTime(platform::CivilTime& t) {
    t = {2024, 3, 5, 9, 7, 3, 2};
    return true;
}
bool noTime(platform::CivilTime&) { return false; }

std::string startLines(const char* time) {
    return std::string("Servidor de Log - QUENDAL versao 2.1\r\nInicio do Log:") + time + "\r\n\r\n";
}

std::string fullHeader(const std::string& machine, const char* time = kTime,
                       const std::string& block = kBlock) {
    return startLines(time) + "INFORMACOES DA MAQUINA:\r\n" + machine +
           "Configuracao do VANTEX:\r\n" + kDefaultConfig + "\r\nPerif. Registrador\r\n" + block;
}

std::string startBlock(const char* time = kTime) {
    return startLines(time) + "Configuracao do VANTEX:\r\n" + kDefaultConfig + "\r\n";
}

class LogFileTest : public ::testing::Test {
  protected:
    LogFileTest() {
        state.area = area.get();
        state.localTime = &fixedTime;
    }
    ~LogFileTest() override { platform::clearFaults(); }

    void config(const std::string& content) { testing::writeFile(root.file(kIni), content); }

    // A configured area and a new log of exactly `size` bytes holding the tally ABC 5, closed.
    std::string logOfSize(std::size_t size) {
        configure(state);
        EXPECT_EQ(createLog(state), kOk);
        readTallies(state);
        addTally(state, "ABC", 5);
        const std::string line(78, 'x');
        while (static_cast<std::size_t>(state.log.length()) + 80 <= size)
            state.log.print("%s\r\n", line.c_str());
        const std::string rest(size - static_cast<std::size_t>(state.log.length()), 'y');
        state.log.write(rest.data(), rest.size());
        closeLog(state);
        return readFile(logPath);
    }

    // The steps of a message up to the rotation.
    Status openAndRotate() {
        EXPECT_EQ(openLog(state), kOk);
        readTallies(state);
        return rotateLog(state);
    }

    static constexpr char kIni[] = "C/WINDOWS/QUENDAL.INI";
    testing::TempRoot root;
    std::string logPath = root.file("C/VANTEX/VANTEX.LOG");
    std::string previousPath = root.file("C/VANTEX/VANTEX.ANT");
    std::unique_ptr<SharedArea> area = std::make_unique<SharedArea>();
    std::unique_ptr<ServerState> state_ = std::make_unique<ServerState>();
    ServerState& state = *state_;
};

TEST_F(LogFileTest, NewLogWithoutConfigurationOrDirectory) {
    configure(state);
    EXPECT_TRUE(std::filesystem::is_directory(root.file("C/VANTEX")));
    EXPECT_STREQ(area->logDir, "C:/VANTEX/");
    EXPECT_EQ(area->pendingQueue.capacity, 5);
    EXPECT_EQ(area->flushedQueue.capacity, 5);

    EXPECT_EQ(openLog(state), kCannotOpen);
    EXPECT_FALSE(fileExists(logPath));
    ASSERT_EQ(createLog(state), kOk);
    EXPECT_EQ(area->tallyPos, fullHeader("NAO EXISTE:\r\n").size() - kBlock.size());
    EXPECT_EQ(state.log.tell(), state.log.length());
    EXPECT_EQ(closeLog(state), kOk);
    EXPECT_EQ(readFile(logPath), fullHeader("NAO EXISTE:\r\n"));
}

TEST_F(LogFileTest, MachineSectionAndStartTime) {
    const std::string longValue(70, 'v');
    struct Case {
        const char* name;
        std::string ini;  // empty: no file
        std::string machine;
        bool timeKnown;
    } cases[] = {
        {"keys in file order", "[MAQUINA]\r\nA=1\r\nB=\r\n[VANTEX]\r\n", "A=1\r\nB=\r\n", true},
        {"value cut to 63", "[MAQUINA]\nLONGO=" + longValue + "\n",
         "LONGO=" + longValue.substr(0, 63) + "\r\n", true},
        {"empty section", "[MAQUINA]\n[VANTEX]\n", "NAO EXISTE:\r\n", true},
        {"no section", "[VANTEX]\nTIPO=XEVENTOS\n", "NAO EXISTE:\r\n", true},
        {"no local time", "", "NAO EXISTE:\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(root.file(kIni));
        if (!c.ini.empty()) config(c.ini);
        state.localTime = c.timeKnown ? &fixedTime : &noTime;
        configure(state);
        ASSERT_EQ(createLog(state), kOk);
        closeLog(state);
        EXPECT_EQ(readFile(logPath), fullHeader(c.machine, c.timeKnown ? kTime : kFallbackTime));
    }
}

TEST_F(LogFileTest, StartBlockGoesAtTheEndOfAnExistingLog) {
    configure(state);
    ASSERT_EQ(createLog(state), kOk);
    state.log.print("line\r\n");
    closeLog(state);
    const std::string before = readFile(logPath);

    ASSERT_EQ(openLog(state), kOk);
    EXPECT_EQ(state.log.tell(), static_cast<std::int64_t>(before.size()));
    writeHeader(state, kStartBlock);
    closeLog(state);
    EXPECT_EQ(readFile(logPath), before + startBlock());
}

TEST_F(LogFileTest, RotatesOnlyPastTheLimitAndCarriesTheTallies) {
    for (std::size_t size : {std::size_t{102400}, std::size_t{102401}}) {
        SCOPED_TRACE(size);
        testing::writeFile(previousPath, "older previous log");
        const std::string old = logOfSize(size);
        ASSERT_EQ(old.size(), size);

        EXPECT_EQ(openAndRotate(), kOk);
        EXPECT_EQ(state.log.tell(), state.log.length());
        closeLog(state);
        if (size == 102400) {
            EXPECT_EQ(readFile(logPath), old);
            EXPECT_EQ(readFile(previousPath), "older previous log");
        } else {
            EXPECT_EQ(readFile(previousPath), old);
            std::string block = kBlock;
            block.replace(0, 16, "ABC          5\r\n");
            EXPECT_EQ(readFile(logPath), fullHeader("NAO EXISTE:\r\n", kTime, block));
        }
    }
}

TEST_F(LogFileTest, FailedRenameKeepsAppendingToTheCurrentLog) {
    const std::string old = logOfSize(102401);
    platform::injectFault(platform::Fault::fileRename);
    EXPECT_EQ(openAndRotate(), kOk);
    ASSERT_TRUE(state.log.isOpen());
    EXPECT_EQ(state.log.tell(), static_cast<std::int64_t>(old.size()));
    EXPECT_EQ(addTally(state, "ABC", 1), kOk);
    state.log.print("message\r\n");
    closeLog(state);
    std::string kept = old;
    kept.replace(area->tallyPos, 16, "ABC          6\r\n");
    kept += "message\r\n";
    EXPECT_EQ(readFile(logPath), kept);

    // The next message rotates.
    EXPECT_EQ(openAndRotate(), kOk);
    closeLog(state);
    EXPECT_EQ(readFile(previousPath), kept);
    EXPECT_EQ(readFile(logPath).substr(area->tallyPos, 16), "ABC          6\r\n");
}

TEST_F(LogFileTest, FailedCreationLeavesNothingOpenAndNothingWritten) {
    const std::string old = logOfSize(102401);
    platform::injectFault(platform::Fault::fileOpen, 1, 1);  // the open succeeds, the create not
    EXPECT_EQ(openAndRotate(), kCannotCreate);
    EXPECT_FALSE(state.log.isOpen());
    writeHeader(state, kStartBlock);
    EXPECT_EQ(addTally(state, "ABC", 1), kOk);
    reserveTallyBlock(state);
    EXPECT_EQ(closeLog(state), kOk);
    EXPECT_FALSE(fileExists(logPath));
    EXPECT_EQ(readFile(previousPath), old);

    EXPECT_EQ(openLog(state), kCannotOpen);  // the next message creates a new log
    EXPECT_EQ(createLog(state), kOk);
    closeLog(state);
    EXPECT_EQ(readFile(logPath), fullHeader("NAO EXISTE:\r\n"));
}

TEST_F(LogFileTest, DrivesAndDirectories) {
    // A drive that does not exist: nothing is created, logging cannot start.
    config("[VANTEX]\nDRIVER=q\nTIPO=TODOS\n");
    configure(state);
    EXPECT_STREQ(area->logDir, "q:/VANTEX/");
    EXPECT_EQ(area->pendingQueue.capacity, 0);  // no queues in mode TODOS
    EXPECT_EQ(openLog(state), kCannotOpen);
    EXPECT_EQ(createLog(state), kCannotCreate);
    EXPECT_FALSE(fileExists(root.file("Q")));
    EXPECT_FALSE(fileExists(root.file("q")));

    // An existing drive gets its directory.
    std::filesystem::create_directory(root.file("D"));
    config("[VANTEX]\nDRIVER=d\n");
    configure(state);
    ASSERT_EQ(createLog(state), kOk);
    closeLog(state);
    EXPECT_TRUE(fileExists(root.file("D/VANTEX/VANTEX.LOG")));

    // An empty drive name leaves the log in the root of drive C.
    config("[VANTEX]\nDRIVER=\n");
    configure(state);
    EXPECT_STREQ(area->logDir, "/");
    ASSERT_EQ(createLog(state), kOk);
    closeLog(state);
    EXPECT_TRUE(fileExists(root.file("C/VANTEX.LOG")));
}

}  // namespace
}  // namespace kervale
