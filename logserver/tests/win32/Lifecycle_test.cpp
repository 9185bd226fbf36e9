// The log server in real Windows processes (run under Wine): kervale.dll loaded by test clients
// that share the machine's objects and its log.
//
// A host that exits while its server is busy may lose the one message being handled (see
// finishServer), so the tests that count every message let a host exit only once its messages
// are in the log ("await"), or with its server thread suspended between two messages, as Windows
// ends threads; one test lets a host exit in the middle of the traffic, and checks what holds then.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "ClientProcess.h"
#include "TestMessage.h"

namespace kervale::testing {
namespace {

using Labels = std::vector<std::string>;

// Every record is written, and a few thousand messages stay in one log.
constexpr char kAllRecords[] = "[VANTEX]\r\nTIPO=TODOS\r\nTAMANHO=1000\r\n";

class LifecycleTest : public ::testing::Test {
  protected:
    Machine machine{kAllRecords};
};

std::ptrdiff_t countOf(const Labels& labels, const std::string& label) {
    return std::count(labels.begin(), labels.end(), label);
}

// Labels of `all` in the order they appear, keeping only those of `wanted`.
Labels inOrder(const Labels& all, const Labels& wanted) {
    Labels kept;
    for (const std::string& l : all)
        if (std::find(wanted.begin(), wanted.end(), l) != wanted.end()) kept.push_back(l);
    return kept;
}

Labels numbered(const std::string& prefix, int last, int first = 1) {
    Labels labels;
    for (int k = first; k <= last; ++k) labels.push_back(prefix + std::to_string(k));
    return labels;
}

Labels joined(Labels a, const Labels& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Once every process has gone: each label of `expected` is in the logs exactly once, in order.
void expectEachOnceInOrder(const Labels& expected) {
    ASSERT_TRUE(waitUntilNoServer());
    const Labels labels = logLabels(readLog(true) + readLog());
    for (const std::string& l : expected) EXPECT_EQ(countOf(labels, l), 1) << l;
    EXPECT_EQ(inOrder(labels, expected), expected);
}

// The thread that a client started between two looks at its threads.
std::uint32_t newThread(const std::set<std::uint32_t>& before,
                        const std::set<std::uint32_t>& after) {
    std::vector<std::uint32_t> added;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(added));
    return added.size() == 1 ? added[0] : 0;
}

TEST_F(LifecycleTest, TheFirstCallStartsTheServerInItsProcessAndLaterCallsOnlySend) {
    Client first({"hold", "send", "FIRST", "hold", "send", "SECOND", "await", "SECOND", "hold"});
    ASSERT_EQ(first.expect("holding"), "holding");
    const auto threadsBefore = threadIds(first.pid());
    EXPECT_FALSE(serverRunning());
    first.proceed();
    EXPECT_EQ(first.expect("sent FIRST"), "sent FIRST 1");
    ASSERT_EQ(first.expect("holding"), "holding");
    EXPECT_TRUE(serverRunning());
    const auto threadsHosting = threadIds(first.pid());
    EXPECT_NE(newThread(threadsBefore, threadsHosting), 0u) << "one thread more: the server";

    Client later({"send", "LATER"});
    EXPECT_EQ(later.wait(), 0);
    EXPECT_TRUE(serverRunning()) << "a process that only sent leaves the server be";
    first.proceed();
    ASSERT_EQ(first.expect("holding"), "holding");
    EXPECT_EQ(threadIds(first.pid()), threadsHosting) << "later calls start nothing";
    EXPECT_EQ(inOrder(waitForLabels({"FIRST", "LATER", "SECOND"}), {"FIRST", "LATER", "SECOND"}),
              (Labels{"FIRST", "LATER", "SECOND"}));
    first.proceed();
    EXPECT_EQ(first.wait(), 0);
    EXPECT_TRUE(waitUntilNoServer()) << "the host's exit ends the server";
}

TEST_F(LifecycleTest, ProcessesRacingWithNoServerStartExactlyOne) {
    constexpr int kClients = 4;
    std::vector<std::unique_ptr<Client>> clients;
    std::vector<std::size_t> threadsBefore;
    for (int k = 0; k < kClients; ++k)
        clients.push_back(
            std::make_unique<Client>(Labels{"hold", "send", "RACE" + std::to_string(k), "hold"}));
    for (auto& c : clients) {
        ASSERT_EQ(c->expect("holding"), "holding");
        threadsBefore.push_back(threadIds(c->pid()).size());
    }
    for (auto& c : clients) c->proceed();  // all call at once
    for (auto& c : clients) ASSERT_EQ(c->expect("holding"), "holding");
    const Labels labels = waitForLabels(numbered("RACE", kClients - 1, 0));
    for (int k = 0; k < kClients; ++k) EXPECT_EQ(countOf(labels, "RACE" + std::to_string(k)), 1);
    std::size_t added = 0;
    for (int k = 0; k < kClients; ++k)
        added += threadIds(clients[k]->pid()).size() - threadsBefore[k];
    EXPECT_EQ(added, 1u) << "one server thread among them";
}

TEST_F(LifecycleTest, EveryMessageOfSeveralProcessesIsLoggedOnceAndInItsOrder) {
    Client a({"hold", "burst", "A", "400", "hold"});
    Client b({"hold", "burst", "B", "400", "hold"});
    Client c({"hold", "threads", "3", "T", "150", "hold"});
    Labels expected = joined(numbered("A", 400), numbered("B", 400));
    for (int t = 0; t < 3; ++t)
        expected = joined(expected, numbered("T" + std::to_string(t) + "-", 150));
    for (Client* client : {&a, &b, &c}) ASSERT_EQ(client->expect("holding"), "holding");
    for (Client* client : {&a, &b, &c}) client->proceed();
    for (Client* client : {&a, &b, &c}) ASSERT_EQ(client->expect("holding"), "holding");
    waitForLabels(expected);
    for (Client* client : {&a, &b, &c}) client->proceed();
    for (Client* client : {&a, &b, &c}) EXPECT_EQ(client->wait(), 0);
    expectEachOnceInOrder(numbered("A", 400));
    expectEachOnceInOrder(numbered("B", 400));
    for (int t = 0; t < 3; ++t) expectEachOnceInOrder(numbered("T" + std::to_string(t) + "-", 150));
}

// The host exits (from main, or through ExitProcess) while messages wait in its slot: the system
// ends the server thread before the library's detach, which handles them. Then the next call,
// in another process, starts a new server.
TEST_F(LifecycleTest, AHostThatExitsHandlesWhatWaitsInItsSlotAndAnotherProcessGoesOn) {
    for (const std::string ending : {"return", "exit-process"}) {
        SCOPED_TRACE(ending);
        const std::string round = ending == "return" ? "R" : "X";
        Labels hostCommands{"hold", "send", round + "H0", "await", round + "H0", "hold"};
        if (ending == "exit-process")
            hostCommands.insert(hostCommands.end(), {"exit-process", "0"});
        Client host(hostCommands);
        ASSERT_EQ(host.expect("holding"), "holding");
        const auto threadsBefore = threadIds(host.pid());
        host.proceed();
        ASSERT_EQ(host.expect("holding"), "holding");
        const std::uint32_t server = newThread(threadsBefore, threadIds(host.pid()));
        ASSERT_NE(server, 0u);
        {
            // Idle between two messages; what is sent now waits in the slot (Wine takes about
            // 160 messages into a slot that nobody reads before it makes writers wait).
            const SuspendedThread paused(server);
            ASSERT_TRUE(paused.suspended());
            Client sender({"burst", round + "W", "100"});
            EXPECT_EQ(sender.wait(), 0);
            EXPECT_EQ(countOf(logLabels(readLog()), round + "W1"), 0) << "nothing handled yet";
            host.proceed();
            EXPECT_EQ(host.wait(), 0);
        }
        EXPECT_FALSE(serverRunning());
        Client next({"send", round + "N1", "await", round + "N1"});
        EXPECT_EQ(next.wait(), 0);
        expectEachOnceInOrder(
            joined(joined({round + "H0"}, numbered(round + "W", 100)), {round + "N1"}));
    }
}

// The host exits in the middle of the traffic. Its server is ended wherever it was, so the
// message it was handling may be lost; nothing is logged twice or out of order, and the other
// process's calls find the next server.
TEST_F(LifecycleTest, AHostThatExitsWhileBusyHandsOverToTheNextCall) {
    Client host({"send", "BH0", "await", "BH0", "hold", "burst", "BH", "300"});
    ASSERT_EQ(host.expect("holding"), "holding");
    Client sender(
        {"hold", "burst", "BW", "1500", "hold", "burst", "BV", "200", "await", "BV200", "hold"});
    ASSERT_EQ(sender.expect("holding"), "holding");
    sender.proceed();
    ASSERT_EQ(sender.expect("burst-start"), "burst-start");
    host.proceed();
    host.wait();
    ASSERT_EQ(sender.expect("holding"), "holding");
    sender.proceed();  // after the host has gone
    EXPECT_EQ(sender.expect("awaited"), "awaited BV200");
    ASSERT_EQ(sender.expect("holding"), "holding");
    sender.proceed();
    EXPECT_EQ(sender.wait(), 0);

    ASSERT_TRUE(waitUntilNoServer());
    const Labels labels = logLabels(readLog(true) + readLog());
    for (const Labels& own : {numbered("BH", 300, 0), numbered("BW", 1500), numbered("BV", 200)}) {
        const Labels logged = inOrder(labels, own);
        Labels expectedOrder;
        for (const std::string& l : own)
            if (countOf(logged, l) != 0) expectedOrder.push_back(l);
        EXPECT_EQ(logged, expectedOrder) << "each once, in order";
    }
    EXPECT_EQ(inOrder(labels, numbered("BV", 200)), numbered("BV", 200));
}

TEST_F(LifecycleTest, AKilledHostIsReplacedByTheNextCall) {
    Client host({"send", "K1", "hold"});
    ASSERT_EQ(host.expect("holding"), "holding");
    // Attached before the kill, so "EventServLog" outlives the host and stays set.
    Client next({"hold", "send", "K2", "hold"});
    ASSERT_EQ(next.expect("holding"), "holding");
    waitForLabels({"K1"});
    host.kill();
    EXPECT_TRUE(waitUntilNoServer());
    next.proceed();
    ASSERT_EQ(next.expect("holding"), "holding");
    EXPECT_TRUE(serverRunning());
    Client third({"send", "K3"});
    EXPECT_EQ(third.wait(), 0);
    EXPECT_EQ(inOrder(waitForLabels({"K2", "K3"}), {"K1", "K2", "K3"}), (Labels{"K1", "K2", "K3"}));
}

TEST_F(LifecycleTest, AMutexAbandonedByAKilledOwnerIsNotKept) {
    Client owner({"lock-mutex", "hold"});
    ASSERT_EQ(owner.expect("holding"), "holding");
    owner.kill();
    Client first({"send", "M1", "await", "M1"});
    EXPECT_EQ(first.wait(), 0);
    Client second({"send", "M2", "await", "M2"});  // would block if the first call kept the mutex
    EXPECT_EQ(second.wait(), 0);
    expectEachOnceInOrder({"M1", "M2"});
}

// Server starts that fail: the call comes back (its message is lost), leaves "MutexLog" free,
// and the next call, here or in another process, starts a server.
TEST_F(LifecycleTest, AFailedServerStartNeverBlocks) {
    const std::string faults[] = {"threadStart", "mailSlotCreate", "mapView"};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(faults[k]);
        const std::string lost = "LOST" + std::to_string(k);
        const std::string here = "F" + std::to_string(k) + "-HERE";
        const std::string there = "F" + std::to_string(k) + "-THERE";
        Client failing(
            {"--library", "kervale_faulty.dll", "send", lost, "hold", "send", here, "await", here},
            {"KERVALE_TEST_FAULTS=" + faults[k] + ":1"});
        EXPECT_EQ(failing.expect("sent " + lost), "sent " + lost + " 1");
        ASSERT_EQ(failing.expect("holding"), "holding");
        EXPECT_FALSE(serverRunning());
        Client other({"send", there, "await", there});
        EXPECT_EQ(other.wait(), 0);
        failing.proceed();
        EXPECT_EQ(failing.wait(), 0);
        ASSERT_TRUE(waitUntilNoServer());
        EXPECT_EQ(inOrder(logLabels(readLog()), {lost, here, there}), (Labels{there, here}));
    }
}

// A host's server keeps its library loaded (FreeLibrary leaves it be) until the process exits;
// a process that never hosted unloads and loads again freely.
TEST_F(LifecycleTest, UnloadingLeavesAHostsServerRunning) {
    Client host({"send", "U1", "unload", "hold"});
    ASSERT_EQ(host.expect("holding"), "holding");
    EXPECT_TRUE(serverRunning());
    Client guest({"send", "U2", "unload", "load", "send", "U3", "await", "U3", "unload"});
    EXPECT_EQ(guest.wait(), 0);
    EXPECT_TRUE(serverRunning());
    host.proceed();
    EXPECT_EQ(host.wait(), 0);
    expectEachOnceInOrder({"U1", "U2", "U3"});
}

// ---- the log's header, from the configuration in the Windows directory ------------------------

std::string maskStartTime(const std::string& log) {
    static const std::regex startTime(
        "Inicio do Log:[A-Z][a-z]{2} [A-Z][a-z]{2} [0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}");
    return std::regex_replace(log, startTime, "Inicio do Log:<time>");
}

struct HeaderCase {
    const char* name;
    std::string configuration;
    std::string machineAndSettings;  // from "INFORMACOES DA MAQUINA:" to the blank line
};

TEST(LogHeaderTest, ANewLogBeginsWithTheFullHeaderOfTheConfigurationInForce) {
    const HeaderCase cases[] = {
        {"settings and machine section",
         "[VANTEX]\r\nTIPO=Todos\r\nEVENTOS=7\r\nTAMANHO=200\r\n"
         "[MAQUINA]\r\nNOME=CAIXA01\r\nLOJA=0042\r\nModelo = QX 3 \r\n",
         "INFORMACOES DA MAQUINA:\r\nNOME=CAIXA01\r\nLOJA=0042\r\nModelo=QX 3\r\n"
         "Configuracao do VANTEX:\r\nTIPO    = TODOS\r\nEVENTOS = 7 SEM EFEITO\r\n"
         "TAMANHO = 200KB\r\nLOCALIZA = C:/VANTEX\r\n\r\n"},
        {"no file", "",
         "INFORMACOES DA MAQUINA:\r\nNAO EXISTE:\r\n"
         "Configuracao do VANTEX:\r\nTIPO    = XEVENTOS\r\nEVENTOS = 5\r\n"
         "TAMANHO = 100KB\r\nLOCALIZA = C:/VANTEX\r\n\r\n"},
        {"values out of range", "[VANTEX]\r\nTIPO=nada\r\nEVENTOS=40\r\nTAMANHO=5000\r\n",
         "INFORMACOES DA MAQUINA:\r\nNAO EXISTE:\r\n"
         "Configuracao do VANTEX:\r\nTIPO    = NADA--INVALIDO ADMITE:XEVENTOS\r\n"
         "EVENTOS = 40--INVALIDO ADMITE:10\r\n"
         "TAMANHO = 5000KB--INVALIDO ADMITE:1000KB\r\nLOCALIZA = C:/VANTEX\r\n\r\n"},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Machine machine(c.configuration);
        const std::string header =
            "Servidor de Log - QUENDAL versao 2.1\r\n"
            "Inicio do Log:<time>\r\n\r\n" +
            c.machineAndSettings + "Perif. Registrador\r\n" + std::string(512, ' ') + "\r\n";
        // Every record in TODOS; in XEVENTOS an event alone waits, and only the header is written.
        const bool all = c.machineAndSettings.find("TODOS") != std::string::npos;
        Client client({"send", "H1", "hold"});
        ASSERT_EQ(client.expect("holding"), "holding");
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatience);
        std::string log = maskStartTime(readLog());
        while ((log.size() < header.size() || (all && logLabels(log).empty())) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            log = maskStartTime(readLog());
        }
        client.proceed();
        EXPECT_EQ(client.wait(), 0);
        EXPECT_EQ(log.substr(0, header.size()), header);
        EXPECT_EQ(logLabels(log), all ? Labels{"H1"} : Labels{});
    }
}

}  // namespace
}  // namespace kervale::testing
