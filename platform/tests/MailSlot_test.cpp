// The mail slot: one owner per name and root, whole messages in order, exact count and size,
// and no message silently lost when the server goes.
#include "MailSlot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "FaultInjection.h"
#include "ForkedChild.h"
#include "TempRoot.h"

namespace kervale::platform {
namespace {

constexpr char kName[] = "\\\\.\\mailslot\\Vantex";

TEST(MailSlotTest, OneOwnerWholeMessagesInOrderWithExactInfo) {
    testing::TempRoot root;
    MailSlotServer server;
    ASSERT_TRUE(server.create(kName));
    EXPECT_FALSE(MailSlotServer{}.create(kName));

    MailSlotClient client;
    ASSERT_TRUE(client.open(kName));
    const std::string big(5000, 'b');
    const std::string full(296, 'm');
    ASSERT_TRUE(client.write(full.data(), 296));
    ASSERT_TRUE(client.write("SEMREG", 6));
    ASSERT_TRUE(client.write("", 0));
    ASSERT_TRUE(sendToMailSlot(kName, big.data(), 5000));

    struct Expected {
        std::uint32_t count, size;
        std::int32_t read;
    };
    const Expected expected[] = {{4, 296, 296}, {3, 6, 6}, {2, 0, 0}, {1, 5000, 1600}};
    char buffer[1600];
    for (const Expected& e : expected) {
        std::uint32_t count = 99, size = 99;
        ASSERT_TRUE(server.info(count, size));
        EXPECT_EQ(count, e.count);
        EXPECT_EQ(size, e.size);
        EXPECT_EQ(server.read(buffer, sizeof buffer), e.read);
    }
    EXPECT_EQ(std::string(buffer, 1600), big.substr(0, 1600)) << "a long message is cut";
    std::uint32_t count = 99, size = 99;
    ASSERT_TRUE(server.info(count, size));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(server.read(buffer, sizeof buffer), -1);
}

TEST(MailSlotTest, SendersFollowAServerThatReadsLaterWithoutLoss) {
    testing::TempRoot root;
    MailSlotServer server;
    ASSERT_TRUE(server.create(kName));
    constexpr int kMessages = 2000;  // far more than the socket itself queues
    std::thread sender([] {
        MailSlotClient client;
        ASSERT_TRUE(client.open(kName));
        for (int i = 0; i < kMessages; ++i) ASSERT_TRUE(client.write(&i, sizeof i));
    });
    for (int expected = 0; expected < kMessages;) {
        server.waitForMessage(1000);
        int value = -1;
        while (expected < kMessages && server.read(&value, sizeof value) == sizeof value)
            ASSERT_EQ(value, expected++);
    }
    sender.join();
}

TEST(MailSlotTest, SealRefusesNewMessagesButKeepsTheWaitingOnes) {
    testing::TempRoot root;
    MailSlotServer server;
    ASSERT_TRUE(server.create(kName));
    MailSlotClient client;
    ASSERT_TRUE(client.open(kName));
    ASSERT_TRUE(client.write("one", 3));
    server.seal();
    EXPECT_FALSE(client.write("two", 3));
    char buffer[8];
    EXPECT_EQ(server.read(buffer, sizeof buffer), 3);
    EXPECT_EQ(server.read(buffer, sizeof buffer), -1);
    server.close();
    EXPECT_FALSE(client.write("three", 5));
    EXPECT_FALSE(client.open(kName));
    EXPECT_TRUE(server.create(kName)) << "closing releases the name";
}

TEST(MailSlotTest, ADeadServerReleasesTheName) {
    testing::TempRoot root;
    testing::ForkedChild child([](testing::ForkedChild& self) {
        MailSlotServer server;
        if (!server.create(kName)) return 1;
        self.signal();
        self.await();  // until killed
        return 0;
    });
    ASSERT_TRUE(child.await());
    MailSlotClient client;
    ASSERT_TRUE(client.open(kName));
    child.kill();
    child.wait();
    EXPECT_FALSE(client.write("x", 1));
    EXPECT_FALSE(sendToMailSlot(kName, "x", 1));
    MailSlotServer server;
    EXPECT_TRUE(server.create(kName));
}

TEST(MailSlotTest, SeparateRootsNeverMeetAndCreateFaultsAreHonoured) {
    testing::TempRoot first;
    MailSlotServer server;
    injectFault(Fault::mailSlotCreate);
    EXPECT_FALSE(server.create(kName));
    ASSERT_TRUE(server.create(kName));
    {
        testing::TempRoot second;
        EXPECT_FALSE(sendToMailSlot(kName, "x", 1));
        MailSlotServer other;
        EXPECT_TRUE(other.create(kName));
    }
    clearFaults();
}

TEST(MailSlotTest, MessagesOfAnotherUserAreDropped) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to send as another user";
    testing::TempRoot root;
    MailSlotServer server;
    ASSERT_TRUE(server.create(kName));
    testing::ForkedChild stranger([](testing::ForkedChild&) {
        if (::setresuid(65534, 65534, 65534) != 0) return 1;
        return sendToMailSlot(kName, "stranger", 8) ? 0 : 2;
    });
    ASSERT_EQ(stranger.wait(), 0);
    ASSERT_TRUE(sendToMailSlot(kName, "own", 3));
    server.waitForMessage(1000);
    std::uint32_t count = 0, size = 0;
    ASSERT_TRUE(server.info(count, size));
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(size, 3u);
}

}  // namespace
}  // namespace kervale::platform
