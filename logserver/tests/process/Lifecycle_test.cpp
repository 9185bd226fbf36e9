// The client entry and the server's life, in real processes sharing a private machine root.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ProcessSupport.h"
#include "TempRoot.h"

namespace kervale::testing {
namespace {

using Labels = std::vector<std::string>;

class LifecycleTest : public ::testing::Test {
  protected:
    TempRoot root;
};

bool contains(const Labels& labels, const std::string& label) {
    return std::find(labels.begin(), labels.end(), label) != labels.end();
}

// Labels of `all` in the order they appear, keeping only those of `wanted`.
Labels inOrder(const Labels& all, const Labels& wanted) {
    Labels kept;
    for (const std::string& l : all)
        if (contains(wanted, l)) kept.push_back(l);
    return kept;
}

Labels numbered(const std::string& prefix, int n) {
    Labels labels;
    for (int k = 1; k <= n; ++k) labels.push_back(prefix + std::to_string(k));
    return labels;
}

TEST_F(LifecycleTest, FirstCallStartsTheServerInItsProcessAndItsMessageArrives) {
    Client first({"send", "FIRST", "hold", "send", "SECOND", "hold"});
    EXPECT_EQ(first.expect("sent FIRST"), "sent FIRST 1");
    ASSERT_EQ(first.expect("holding"), "holding");
    EXPECT_EQ(serverHost(), first.pid());
    Client later({"send", "LATER"});
    EXPECT_EQ(later.wait(), 0);
    first.proceed();
    ASSERT_EQ(first.expect("holding"), "holding");
    EXPECT_EQ(inOrder(waitForLabels({"FIRST", "LATER", "SECOND"}), {"FIRST", "LATER", "SECOND"}),
              (Labels{"FIRST", "LATER", "SECOND"}));
    EXPECT_EQ(serverHost(), first.pid()) << "later calls start nothing";
    first.proceed();
    EXPECT_EQ(first.wait(), 0);
    EXPECT_EQ(serverHost(), -1);
}

TEST_F(LifecycleTest, ProcessesRacingWithNoServerStartExactlyOne) {
    constexpr int kClients = 4;
    std::vector<std::unique_ptr<Client>> clients;
    for (int k = 0; k < kClients; ++k)
        clients.push_back(std::make_unique<Client>(
            Labels{"hold", "send", "RACE" + std::to_string(k), "hold"}));
    for (auto& c : clients) ASSERT_EQ(c->expect("holding"), "holding");
    for (auto& c : clients) c->proceed();  // all call at once
    for (auto& c : clients) ASSERT_EQ(c->expect("holding"), "holding");
    const Labels expected{"RACE0", "RACE1", "RACE2", "RACE3"};
    const Labels labels = waitForLabels(expected);
    for (const std::string& l : expected) EXPECT_TRUE(contains(labels, l)) << l;
    int hosts = 0;
    for (auto& c : clients) {
        if (c->pid() == serverHost()) ++hosts;
        if (threadCount(c->pid()) > 1) {
            EXPECT_EQ(c->pid(), serverHost()) << "a second server thread";
        }
    }
    EXPECT_EQ(hosts, 1);
}

TEST_F(LifecycleTest, AfterTheHostLeavesTheNextCallHostsWithTheSameArea) {
    Client host({"send", "H1", "area-set", "4711", "unload", "hold"});
    ASSERT_EQ(host.expect("holding"), "holding");
    Client other({"send", "O1", "hold", "send", "O2", "area-get", "hold"});
    ASSERT_EQ(other.expect("holding"), "holding");
    // The host unloaded the library, yet its server keeps serving until the process goes.
    EXPECT_EQ(serverHost(), host.pid());
    waitForLabels({"H1", "O1"});
    host.proceed();
    EXPECT_EQ(host.wait(), 0);
    EXPECT_EQ(serverHost(), -1);

    other.proceed();
    EXPECT_EQ(other.expect("area"), "area 4711");
    ASSERT_EQ(other.expect("holding"), "holding");
    EXPECT_EQ(serverHost(), other.pid());
    EXPECT_EQ(inOrder(waitForLabels({"O2"}), {"H1", "O1", "O2"}), (Labels{"H1", "O1", "O2"}));
}

TEST_F(LifecycleTest, AHostThatExitsHandlesEveryWaitingMessageAndNoneIsLostMeanwhile) {
    Client host({"send", "W0", "hold"});
    ASSERT_EQ(host.expect("holding"), "holding");
    Client sender({"burst", "W", "3000"});
    ASSERT_EQ(sender.expect("burst-start"), "burst-start");
    host.proceed();  // the host stops its server while the burst goes on
    EXPECT_EQ(host.wait(), 0);
    EXPECT_EQ(sender.wait(), 0);
    Labels expected = numbered("W", 3000);
    const Labels labels = waitForLabels(expected);
    EXPECT_EQ(inOrder(labels, expected), expected);
}

TEST_F(LifecycleTest, AKilledHostIsReplacedByTheNextCall) {
    Client host({"send", "K1", "hold"});
    ASSERT_EQ(host.expect("holding"), "holding");
    // Attached before the kill, so "EventServLog" outlives the host and stays set.
    Client next({"hold", "send", "K2", "hold"});
    ASSERT_EQ(next.expect("holding"), "holding");
    waitForLabels({"K1"});
    host.signal(SIGKILL);
    host.wait();
    next.proceed();
    ASSERT_EQ(next.expect("holding"), "holding");
    EXPECT_EQ(serverHost(), next.pid());
    Client third({"send", "K3"});
    EXPECT_EQ(third.wait(), 0);
    EXPECT_EQ(inOrder(waitForLabels({"K2", "K3"}), {"K1", "K2", "K3"}), (Labels{"K1", "K2", "K3"}));
}

TEST_F(LifecycleTest, AMutexAbandonedByAKilledOwnerIsNotKept) {
    Client owner({"lock-mutex", "hold"});
    ASSERT_EQ(owner.expect("holding"), "holding");
    owner.signal(SIGKILL);
    owner.wait();
    Client first({"send", "M1"});
    EXPECT_EQ(first.wait(), 0);
    Client second({"send", "M2"});  // would block for ever if the first call kept the mutex
    EXPECT_EQ(second.wait(), 0);
    EXPECT_EQ(inOrder(waitForLabels({"M1", "M2"}), {"M1", "M2"}), (Labels{"M1", "M2"}));
}

TEST_F(LifecycleTest, StopMessagesEndTheLoopButReachThePipelineInTheDrain) {
    Client host({"send", "S0", "hold"});
    ASSERT_EQ(host.expect("holding"), "holding");
    waitForLabels({"S0"});
    host.signal(SIGSTOP);  // everything below waits in the slot and is read in one pass
    Client writer({"raw", "msg", "S1", "raw", "semreg", "-", "raw", "msg", "S2", "raw",
                   "semregmsg", "-", "raw", "msg", "S3"});
    EXPECT_EQ(writer.wait(), 0);
    host.signal(SIGCONT);
    const Labels labels = waitForLabels({"S3"});
    const auto s1 = std::find(labels.begin(), labels.end(), "S1");
    ASSERT_NE(s1, labels.end());
    // The first stop message is taken as such; the one met in the drain is handled.
    EXPECT_EQ(Labels(s1, labels.end()), (Labels{"S1", "S2", "", "S3"}));

    // The server has ended; the next call starts another, and the old host's exit leaves it be.
    Client next({"send", "S4", "hold"});
    ASSERT_EQ(next.expect("holding"), "holding");
    EXPECT_EQ(serverHost(), next.pid());
    host.proceed();
    EXPECT_EQ(host.wait(), 0);
    Client last({"send", "S5"});
    EXPECT_EQ(last.wait(), 0);
    waitForLabels({"S4", "S5"});
    EXPECT_EQ(serverHost(), next.pid());
}

TEST_F(LifecycleTest, EmptyAndOversizeDatagramsAreConsumedWithoutHarm) {
    Client host({"send", "Z0", "hold"});
    ASSERT_EQ(host.expect("holding"), "holding");
    Client writer({"raw", "empty", "-", "raw", "big", "Z1", "raw", "empty", "-", "raw", "msg", "Z2"});
    EXPECT_EQ(writer.wait(), 0);
    EXPECT_EQ(inOrder(waitForLabels({"Z2"}), {"Z0", "Z1", "Z2"}), (Labels{"Z0", "Z1", "Z2"}));
    Client after({"send", "Z3"});
    EXPECT_EQ(after.wait(), 0);
    waitForLabels({"Z3"});
    EXPECT_EQ(serverHost(), host.pid());
}

TEST_F(LifecycleTest, ADetachOfAProcessThatNeverHostedSendsNothing) {
    Client host({"send", "D0", "hold"});
    ASSERT_EQ(host.expect("holding"), "holding");
    waitForLabels({"D0"});
    host.signal(SIGSTOP);  // a stop message sent now would wait for it in the slot
    Client guest({"send", "D1", "unload", "load", "unload"});
    EXPECT_EQ(guest.wait(), 0);
    host.signal(SIGCONT);
    Client after({"send", "D2"});
    EXPECT_EQ(after.wait(), 0);
    EXPECT_EQ(inOrder(waitForLabels({"D1", "D2"}), {"D0", "D1", "D2"}), (Labels{"D0", "D1", "D2"}));
    EXPECT_EQ(serverHost(), host.pid());
}

TEST_F(LifecycleTest, ThreadsOfOneProcessShareTheSlotWithoutLoss) {
    Client many({"threads", "4", "T", "300"});
    EXPECT_EQ(many.expect("threads-done"), "threads-done");
    EXPECT_EQ(many.wait(), 0);
    Labels expected;
    for (int t = 0; t < 4; ++t)
        for (int i = 1; i <= 300; ++i) expected.push_back("T" + std::to_string(t) + "-" + std::to_string(i));
    const Labels labels = waitForLabels(expected);
    for (int t = 0; t < 4; ++t) {  // each thread's messages arrive in its order
        Labels own(expected.begin() + t * 300, expected.begin() + (t + 1) * 300);
        EXPECT_EQ(inOrder(labels, own), own);
    }
}

TEST_F(LifecycleTest, TheAreaStartsZeroInANewLife) {
    {
        Client writer({"area-set", "99", "area-get"});
        EXPECT_EQ(writer.expect("area"), "area 99");
        EXPECT_EQ(writer.wait(), 0);
    }
    Client reader({"area-get", "area-set", "98", "hold"});
    EXPECT_EQ(reader.expect("area"), "area 0") << "after every process has gone";
    ASSERT_EQ(reader.expect("holding"), "holding");
    reader.signal(SIGKILL);
    reader.wait();
    Client after({"area-get"});
    EXPECT_EQ(after.expect("area"), "area 0") << "after the last holder was killed";
}

// Server starts that fail: the call comes back (its message is lost), leaves "MutexLog" free and
// the event reset, and the next call starts a server.
TEST_F(LifecycleTest, AFailedServerStartNeverBlocks) {
    for (const std::string fault : {"threadStart", "mailSlotCreate", "mapView"}) {
        SCOPED_TRACE(fault);
        TempRoot own;
        Client failing({"--library", faultyLibrary(), "send", "LOST", "hold", "send", "F1", "hold"},
                       {"KERVALE_TEST_FAULTS=" + fault + ":1"});
        EXPECT_EQ(failing.expect("sent LOST"), "sent LOST 1");
        ASSERT_EQ(failing.expect("holding"), "holding");
        EXPECT_EQ(serverHost(), -1);
        Client other({"send", "F2"});
        EXPECT_EQ(other.wait(), 0);
        failing.proceed();
        ASSERT_EQ(failing.expect("holding"), "holding");
        const Labels labels = waitForLabels({"F1", "F2"});
        EXPECT_EQ(inOrder(labels, {"LOST", "F1", "F2"}), (Labels{"F2", "F1"}));
    }
}

TEST_F(LifecycleTest, GravaLogReturnsOneWhenNoServerCanBeReached) {
    Client failing({"--library", faultyLibrary(), "send", "N1", "send", "N2"},
                   {"KERVALE_TEST_FAULTS=threadStart:1000"});
    EXPECT_EQ(failing.expect("sent N1"), "sent N1 1");
    EXPECT_EQ(failing.expect("sent N2"), "sent N2 1");
    EXPECT_EQ(failing.wait(), 0);
    EXPECT_EQ(serverHost(), -1);
}

}  // namespace
}  // namespace kervale::testing
