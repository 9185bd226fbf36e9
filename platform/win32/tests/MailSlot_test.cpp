#include "MailSlot.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "Event.h"
#include "FaultInjection.h"
#include "Thread.h"
#include "Win32Test.h"

namespace kervale::platform {
namespace {

using testing::ChildProcess;
using testing::kProcessBound;
using testing::runChild;
using testing::uniqueName;

constexpr std::uint32_t kBuffer = 1600;  // the server's receive buffer
constexpr int kRefused = 1;
constexpr int kDied = 7;

std::string slotName() { return "\\\\.\\mailslot\\" + uniqueName("slot"); }

// `size` bytes that differ from message to message.
std::string message(std::uint32_t size, int seed) {
    std::string bytes(size, '\0');
    for (std::uint32_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((seed * 31 + static_cast<int>(i)) % 251);
    return bytes;
}

bool send(const std::string& name, const std::string& bytes) {
    return sendToMailSlot(name.c_str(), bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

struct Waiting {
    std::uint32_t count = 0;
    std::uint32_t nextSize = 0;
};

Waiting waitingIn(MailSlotServer& server) {
    Waiting waiting;
    EXPECT_TRUE(server.info(waiting.count, waiting.nextSize));
    return waiting;
}

std::string readOne(MailSlotServer& server) {
    char buffer[kBuffer];
    const std::int32_t n = server.read(buffer, sizeof buffer);
    return n < 0 ? std::string("<none>") : std::string(buffer, static_cast<std::size_t>(n));
}

// Child: sends `count` messages of 296 bytes whose text is "<tag> <i>", i = 0 up.
KERVALE_CHILD_ROLE(sendNumbered) {
    const int count = std::stoi(args.at(2));
    for (int i = 0; i < count; ++i) {
        char text[296] = {};
        std::snprintf(text, sizeof text, "%s %d", args.at(1).c_str(), i);
        if (!sendToMailSlot(args.at(0).c_str(), text, sizeof text)) return 10;
    }
    return 0;
}

// Child: sends one message of `size` bytes, message(size, 3).
KERVALE_CHILD_ROLE(sendSized) {
    return send(args.at(0), message(static_cast<std::uint32_t>(std::stoul(args.at(1))), 3)) ? 0 : 10;
}

// Child: tries to create the slot; with "die" it is killed while it owns it.
KERVALE_CHILD_ROLE(createSlot) {
    MailSlotServer server;
    if (!server.create(args.at(0).c_str())) return kRefused;
    if (args.at(1) == "die") ::TerminateProcess(::GetCurrentProcess(), kDied);
    return 0;
}

class MailSlotTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.create(name.c_str())); }

    const std::string name = slotName();
    MailSlotServer server;
};

TEST_F(MailSlotTest, CountNextSizeAndOrderAreExact) {
    const std::vector<std::uint32_t> sizes = {296, 0, 6, 1, kBuffer, 0};
    for (std::size_t i = 0; i < sizes.size(); ++i)
        ASSERT_TRUE(send(name, message(sizes[i], static_cast<int>(i))));

    for (std::size_t i = 0; i < sizes.size(); ++i) {
        SCOPED_TRACE(i);
        const Waiting waiting = waitingIn(server);
        EXPECT_EQ(waiting.count, sizes.size() - i);
        EXPECT_EQ(waiting.nextSize, sizes[i]);
        EXPECT_EQ(readOne(server), message(sizes[i], static_cast<int>(i)));
    }
    const Waiting none = waitingIn(server);
    EXPECT_EQ(none.count, 0u);
    EXPECT_EQ(none.nextSize, 0u);
    EXPECT_EQ(readOne(server), "<none>");
}

TEST_F(MailSlotTest, ALongerMessageIsCutToTheBufferAndConsumed) {
    for (const std::uint32_t size : {kBuffer + 1, 5000u, 100000u}) {
        SCOPED_TRACE(size);
        const std::string longer = message(size, 1);
        ASSERT_TRUE(send(name, longer));
        ASSERT_TRUE(send(name, message(296, 2)));
        const Waiting waiting = waitingIn(server);
        EXPECT_EQ(waiting.count, 2u);
        EXPECT_GT(waiting.nextSize, kBuffer);  // Wine hands over at most 64 KiB of a message

        std::vector<char> buffer(kBuffer + 64, '#');
        EXPECT_EQ(server.read(buffer.data(), kBuffer), static_cast<std::int32_t>(kBuffer));
        EXPECT_EQ(std::string(buffer.data(), kBuffer), longer.substr(0, kBuffer));
        EXPECT_EQ(std::string(buffer.data() + kBuffer, 64), std::string(64, '#'));
        EXPECT_EQ(waitingIn(server).count, 1u);
        EXPECT_EQ(readOne(server), message(296, 2));
    }
}

TEST_F(MailSlotTest, TheNameHasOneOwnerAtATime) {
    MailSlotServer second;
    EXPECT_FALSE(second.create(name.c_str()));
    EXPECT_EQ(runChild("createSlot", {name, "keep"}), kRefused);
    server.close();
    EXPECT_TRUE(second.create(name.c_str()));
}

TEST(MailSlotOwnerTest, AKilledServerReleasesTheName) {
    const std::string name = slotName();
    ASSERT_EQ(runChild("createSlot", {name, "die"}), kDied);
    MailSlotServer server;
    EXPECT_TRUE(server.create(name.c_str()));
}

TEST(MailSlotOwnerTest, AnInjectedFaultFailsOneCreation) {
    const std::string name = slotName();
    MailSlotServer server;
    injectFault(Fault::mailSlotCreate);
    EXPECT_FALSE(server.create(name.c_str()));
    EXPECT_TRUE(server.create(name.c_str()));
    clearFaults();
}

TEST(MailSlotClientTest, NothingIsSentWithoutAServer) {
    const std::string name = slotName();
    EXPECT_FALSE(send(name, "SEMREG"));
    MailSlotClient client;
    EXPECT_FALSE(client.open(name.c_str()));
    EXPECT_FALSE(client.write("SEMREG", 6));
}

TEST_F(MailSlotTest, AClientFailsOnceTheServerHasGoneAndReachesTheNextOne) {
    MailSlotClient client;
    ASSERT_TRUE(client.open(name.c_str()));
    ASSERT_TRUE(client.write("first", 5));
    server.close();
    EXPECT_FALSE(client.write("lost", 4));

    // The open client does not keep the name from a new server, which gets what is sent now.
    MailSlotServer next;
    ASSERT_TRUE(next.create(name.c_str()));
    ASSERT_TRUE(client.write("third", 5));
    EXPECT_EQ(waitingIn(next).count, 1u);
    EXPECT_EQ(readOne(next), "third");
}

TEST_F(MailSlotTest, AWriterHoldingTheSlotOpenDoesNotKeepOthersOut) {
    HANDLE held = ::CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(send(name, "other"));
    MailSlotClient client;
    EXPECT_TRUE(client.open(name.c_str()) && client.write("client", 6));
    ::CloseHandle(held);
    EXPECT_EQ(readOne(server), "other");
    EXPECT_EQ(readOne(server), "client");
}

// A sealed slot refuses every later writer at its sender, keeps what was sent before, and frees
// its name when it closes.
TEST_F(MailSlotTest, ASealedSlotRefusesLaterWritersAndKeepsWhatWaits) {
    ASSERT_TRUE(send(name, "before"));
    server.seal();
    EXPECT_FALSE(send(name, "after"));
    MailSlotClient client;
    EXPECT_FALSE(client.open(name.c_str()));
    EXPECT_EQ(runChild("sendSized", {name, "296"}), 10) << "another process is refused too";
    EXPECT_EQ(readOne(server), "before");
    EXPECT_EQ(waitingIn(server).count, 0u);
    server.close();
    MailSlotServer next;
    EXPECT_TRUE(next.create(name.c_str()));
}

// The seal waits for a writer that holds the slot open, and what that writer sends before it
// lets go is kept.
TEST_F(MailSlotTest, TheSealWaitsForAWriterThatHoldsTheSlot) {
    struct Writer {
        HANDLE slot;
        Event sealing;
    } writer{::CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
             Event()};
    ASSERT_NE(writer.slot, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(writer.sealing.createUnnamed());
    Thread late;
    ASSERT_TRUE(late.start(
        [](void* argument) {
            auto& w = *static_cast<Writer*>(argument);
            w.sealing.wait(kInfinite);
            DWORD written = 0;
            ::WriteFile(w.slot, "late", 4, &written, nullptr);
            ::CloseHandle(w.slot);
        },
        &writer));
    writer.sealing.set();
    server.seal();
    EXPECT_TRUE(late.waitFinished(kProcessBound));
    EXPECT_FALSE(send(name, "after"));
    EXPECT_EQ(readOne(server), "late");
    EXPECT_EQ(waitingIn(server).count, 0u);
}

// Two processes send at once while the server reads (Wine makes a writer wait while about ten
// messages are unread). Every message arrives, each sender's in its order.
TEST_F(MailSlotTest, SendersInSeveralProcessesAreAllDeliveredInTheirOrder) {
    constexpr int kEach = 200;
    ChildProcess a;
    ChildProcess b;
    ASSERT_TRUE(a.start("sendNumbered", {name, "A", std::to_string(kEach)}));
    ASSERT_TRUE(b.start("sendNumbered", {name, "B", std::to_string(kEach)}));

    std::map<char, int> nextOf = {{'A', 0}, {'B', 0}};
    int received = 0;
    const DWORD start = ::GetTickCount();
    while (received < 2 * kEach && ::GetTickCount() - start < kProcessBound) {
        server.waitForMessage(100);
        const std::string got = readOne(server);
        if (got == "<none>") continue;
        ++received;
        ASSERT_EQ(got.size(), 296u);
        const char sender = got[0];
        ASSERT_TRUE(nextOf.count(sender)) << got.c_str();
        EXPECT_EQ(std::atoi(got.c_str() + 2), nextOf[sender]++) << got.c_str();
    }
    EXPECT_EQ(received, 2 * kEach);
    EXPECT_EQ(a.wait(), 0);
    EXPECT_EQ(b.wait(), 0);
}

TEST_F(MailSlotTest, WaitingEndsWhenAMessageComesOrTheTimeRunsOut) {
    server.waitForMessage(20);
    EXPECT_EQ(waitingIn(server).count, 0u);

    ASSERT_TRUE(send(name, "waiting"));
    server.waitForMessage(kInfinite);
    EXPECT_EQ(readOne(server), "waiting");

    // A message sent by another process while the server waits without a time-out wakes it.
    for (const std::uint32_t size : {0u, 296u, 70000u}) {
        SCOPED_TRACE(size);
        ChildProcess sender;
        ASSERT_TRUE(sender.start("sendSized", {name, std::to_string(size)}));
        server.waitForMessage(kInfinite);
        const Waiting waiting = waitingIn(server);
        EXPECT_EQ(waiting.count, 1u);
        EXPECT_EQ(waiting.nextSize, std::min(size, 65536u));  // Wine's most of a message
        EXPECT_EQ(readOne(server), message(size, 3).substr(0, kBuffer));
        EXPECT_EQ(sender.wait(), 0);
    }
}

// Wine makes writers wait when much lies unread, and for ever once the server has gone; a write
// gives up after a bound instead, and a message given up is not delivered.
TEST_F(MailSlotTest, AWriteDoesNotWaitForEverForASlotNobodyReads) {
    const std::string full = message(296, 4);
    std::uint32_t delivered = 0;
    while (delivered < 2000 && send(name, full)) ++delivered;
    EXPECT_EQ(waitingIn(server).count, delivered);

    struct Late {
        std::string name;
        std::atomic<int> result{-1};
    } late{name};
    Thread writer;
    ASSERT_TRUE(writer.start(
        [](void* argument) {
            auto& l = *static_cast<Late*>(argument);
            l.result = send(l.name, message(296, 5)) ? 1 : 0;
        },
        &late));
    server.close();
    EXPECT_TRUE(writer.waitFinished(kProcessBound));
    EXPECT_FALSE(send(name, full));
}

}  // namespace
}  // namespace kervale::platform
