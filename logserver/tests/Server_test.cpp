// The last steps that a detach takes for a server thread that the system has ended in the middle
// of a message (at process exit on Windows), on a host's state without a thread or a slot.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FileSystem.h"
#include "LibraryHandles.h"
#include "Pipeline.h"
#include "Server.h"
#include "TempRoot.h"
#include "TestMessage.h"

namespace kervale {
namespace {

using testing::labelledMessage;
using testing::logLabels;
using testing::readFile;
using Labels = std::vector<std::string>;

class FinishServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::writeFile(root.file("C/WINDOWS/QUENDAL.INI"), "[VANTEX]\r\nTIPO=TODOS\r\n");
        library->server.area = area.get();
        handleMessage(library->server, labelledMessage("FIRST"));
    }

    // The thread has taken `label` from the slot and begun to handle it.
    void cutShort(const std::string& label) {
        const LogMessage message = labelledMessage(label);
        std::memcpy(library->receiveBuffer, &message, sizeof message);
        library->areaBefore = *area;
        library->fileChangesBefore = platform::fileChanges();
        library->handling = true;
    }

    std::string log() const { return readFile(root.file("C/VANTEX/VANTEX.LOG")); }

    testing::TempRoot root;
    std::unique_ptr<SharedArea> area = std::make_unique<SharedArea>();
    std::unique_ptr<LibraryHandles> library = std::make_unique<LibraryHandles>();
};

TEST_F(FinishServerTest, AMessageCutShortBeforeTheDiskChangedIsHandledAgain) {
    cutShort("AGAIN");
    // What the thread had done of it: the area changed (as if a new area life began, which
    // would add a start block), bytes buffered but not stored.
    area->started = 0;
    ASSERT_TRUE(library->server.log.open("C:/VANTEX/VANTEX.LOG", platform::OpenMode::existing));
    library->server.log.seekEnd();
    library->server.log.write("|half", 5);

    finishServer(*library);
    const std::string text = log();
    EXPECT_EQ(logLabels(text), (Labels{"FIRST", "AGAIN"}));
    EXPECT_EQ(text.find("|half"), std::string::npos);
    EXPECT_EQ(text.find("Inicio do Log", text.find("Inicio do Log") + 1), std::string::npos)
        << "the area as it was before";
}

TEST_F(FinishServerTest, AMessageCutShortAfterItsFirstStoreKeepsOnlyItsWholeLines) {
    cutShort("STORED");
    ASSERT_TRUE(library->server.log.open("C:/VANTEX/VANTEX.LOG", platform::OpenMode::existing));
    library->server.log.seekEnd();
    library->server.log.write("|whole|\r\n", 9);
    library->server.log.write("|cut", 4);
    library->fileChangesBefore = platform::fileChanges() - 1;  // something reached the disk

    finishServer(*library);
    const std::string text = log();
    EXPECT_EQ(text.substr(text.size() - 9), "|whole|\r\n");
    EXPECT_EQ(logLabels(text), (Labels{"FIRST"})) << "not handled a second time";
}

TEST_F(FinishServerTest, NothingIsDoneAgainWhenTheThreadHadFinishedItsMessage) {
    cutShort("DONE");
    library->handling = false;
    finishServer(*library);
    EXPECT_EQ(logLabels(log()), (Labels{"FIRST"}));
}

}  // namespace
}  // namespace kervale
