// One message at a time through handleMessage, in process: the cases that need a fault or a
// file system trick to arise (the real processes are exercised by the process tests).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "FaultInjection.h"
#include "Pipeline.h"
#include "ServerState.h"
#include "SharedArea.h"
#include "TempRoot.h"

namespace kervale::testing {
namespace {

class PipelineUnitTest : public ::testing::Test {
  protected:
    void SetUp() override {
        state.area = area.get();
        writeFile(root.file("C/WINDOWS/QUENDAL.INI"), "[VANTEX]\r\nTIPO=TODOS\r\n");
    }
    void TearDown() override { platform::clearFaults(); }

    void send(const char* label) {
        LogMessage m{};
        m.msgType = 13;
        std::memcpy(m.unit, "ABC", 3);
        m.amount = 1;
        std::memcpy(m.label, label, std::strlen(label));
        handleMessage(state, m);
        EXPECT_FALSE(state.log.isOpen()) << "no file stays open between messages";
    }
    std::string log() const { return readFile(root.file("C/VANTEX/VANTEX.LOG")); }

    TempRoot root;
    std::unique_ptr<SharedArea> area = std::make_unique<SharedArea>();
    ServerState state;
};

TEST_F(PipelineUnitTest, LoggingDisabledAfterAStartStaysDisabledForTheAreaLife) {
    send("FIRST");
    ASSERT_NE(log().find("FIRST"), std::string::npos);
    const std::string before = log();

    // The log can be neither opened nor created: its folder has become a file.
    std::filesystem::rename(root.file("C/VANTEX"), root.file("C/ASIDE"));
    writeFile(root.file("C/VANTEX"), "not a folder");
    send("LOST");
    EXPECT_EQ(area->mode, kModeDisabled);

    // Even with the log back, the rest of this area's life is dropped.
    std::filesystem::remove(root.file("C/VANTEX"));
    std::filesystem::rename(root.file("C/ASIDE"), root.file("C/VANTEX"));
    send("DROPPED");
    EXPECT_EQ(area->mode, kModeDisabled);
    EXPECT_EQ(log(), before);
}

TEST_F(PipelineUnitTest, ARotationThatCannotCreateTheNewLogDropsItsMessageAndTheNextOneCreates) {
    send("FIRST");
    std::string full = log();
    full += std::string(102400 + 1 - full.size(), 'x');  // over the 100 KB limit
    writeFile(root.file("C/VANTEX/VANTEX.LOG"), full);

    platform::injectFault(platform::Fault::fileOpen, 1, 1);  // the open succeeds, the create fails
    send("DROPPED");
    EXPECT_EQ(readFile(root.file("C/VANTEX/VANTEX.ANT")), full) << "the old log is kept whole";
    EXPECT_FALSE(fileExists(root.file("C/VANTEX/VANTEX.LOG")));
    EXPECT_NE(area->mode, kModeDisabled);

    send("NEXT");
    const std::string text = log();
    EXPECT_EQ(text.rfind("Servidor de Log - QUENDAL versao 2.1\r\n", 0), 0u) << "a full header";
    EXPECT_NE(text.find("NEXT"), std::string::npos);
    EXPECT_EQ(text.find("DROPPED"), std::string::npos);
}

}  // namespace
}  // namespace kervale::testing
