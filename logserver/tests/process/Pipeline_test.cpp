// Messages sent with GravaLog in real processes, followed into the log: headers, start blocks,
// rotation, routing by mode, rejections, tallies, a missing drive, a deleted log, a change of
// host in the middle of a run, and several senders at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <thread>
#include <string>
#include <vector>

#include "LibraryHandles.h"
#include "ProcessSupport.h"
#include "SharedArea.h"
#include "SharedMemory.h"
#include "TempRoot.h"

namespace kervale::testing {
namespace {

using Args = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

constexpr char kBanner[] = "Servidor de Log - QUENDAL versao 2.1";

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The fields of a record line: fields[1] the type ... fields[10] the label, fields[13] the data.
using Fields = std::vector<std::string>;

std::vector<Fields> recordLines(const std::string& log) {
    std::vector<Fields> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = log.substr(start, end - start);
        if (line.size() < 75 || line[0] != '|') continue;
        Fields fields;
        std::size_t from = 0;
        for (std::size_t bar; (bar = line.find('|', from)) != std::string::npos; from = bar + 1)
            fields.push_back(line.substr(from, bar - from));
        fields.push_back(line.substr(from));
        for (std::string& f : fields) f.erase(0, f.find_first_not_of(' '));
        lines.push_back(fields);
    }
    return lines;
}

std::vector<std::string> labelsOf(const std::string& log) {
    std::vector<std::string> labels;
    for (const Fields& f : recordLines(log)) labels.push_back(f[10]);
    return labels;
}

class PipelineTest : public ::testing::Test {
  protected:
    void configure(const std::string& text) { writeFile(root.file("C/WINDOWS/QUENDAL.INI"), text); }
    std::string logPath(char drive = 'C') const {
        return root.file(std::string(1, drive) + "/VANTEX/VANTEX.LOG");
    }
    std::string log(char drive = 'C') const { return readFile(logPath(drive)); }

    // Polls the log until `done` holds for its text (bounded); gives the last text read.
    template <typename Done>
    std::string waitForLog(Done done, char drive = 'C') const {
        const Clock::time_point deadline = Clock::now() + kPatience;
        std::string text = log(drive);
        while (!done(text) && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            text = log(drive);
        }
        return text;
    }
    std::string waitForLabel(const std::string& label, char drive = 'C') const {
        return waitForLog(
            [&](const std::string& text) {
                const std::vector<std::string> labels = labelsOf(text);
                return std::find(labels.begin(), labels.end(), label) != labels.end();
            },
            drive);
    }

    TempRoot root;
};

// A view of the shared area from the test process (which holds the area while it lives).
class AreaProbe {
  public:
    AreaProbe() {
        if (memory_.open(kAreaName, kAreaSize)) view_ = static_cast<SharedArea*>(memory_.mapView());
    }
    ~AreaProbe() {
        if (view_ != nullptr) memory_.unmapView(view_);
    }
    AreaProbe(const AreaProbe&) = delete;
    AreaProbe& operator=(const AreaProbe&) = delete;

    bool waitForMode(std::int16_t mode) const {
        const Clock::time_point deadline = Clock::now() + kPatience;
        while (view_ != nullptr && Clock::now() < deadline) {
            if (__atomic_load_n(&view_->mode, __ATOMIC_ACQUIRE) == mode) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

  private:
    platform::SharedMemory memory_;
    SharedArea* view_ = nullptr;
};

TEST_F(PipelineTest, FirstMessageWithNoLogGetsTheFullHeaderAndNoStartBlock) {
    configure("[VANTEX]\r\nTIPO=TODOS\r\n[MAQUINA]\r\nMODELO=Caixa 7\r\n");
    Client client({"message", "13", "0", "ABC", "5", "FIRST", "-"});
    ASSERT_EQ(client.wait(), 0);
    const std::string text = waitForLabel("FIRST");

    const std::string header = std::string(kBanner) + "\r\nInicio do Log:";
    EXPECT_EQ(text.rfind(header, 0), 0u) << text;
    EXPECT_EQ(occurrences(text, "Inicio do Log:"), 1u) << "no start block after a new header";
    EXPECT_NE(text.find("\r\n\r\nINFORMACOES DA MAQUINA:\r\nMODELO=Caixa 7\r\n"
                        "Configuracao do VANTEX:\r\nTIPO    = TODOS\r\nEVENTOS = 5 SEM EFEITO\r\n"
                        "TAMANHO = 100KB\r\nLOCALIZA = C:/VANTEX\r\n\r\nPerif. Registrador\r\n"
                        "ABC          5\r\n"),
              std::string::npos)
        << text;
    const std::regex line(
        R"(\|013\| 0\|ABC\|0005\|00\|00\|0000\|0000\|0000\|       FIRST\|\d\d/\d\d/\d{4} \d\d:\d\d:\d\d\|00\|\|\r\n$)");
    EXPECT_TRUE(std::regex_search(text, line)) << text;
}

TEST_F(PipelineTest, AnExistingLogGetsOneStartBlockPerAreaLife) {
    configure("[VANTEX]\r\nTIPO=TODOS\r\n");
    ASSERT_EQ(Client({"send", "ONE"}).wait(), 0);  // the area's first life ends with it
    waitForLabel("ONE");
    ASSERT_EQ(Client({"send", "TWO", "send", "THREE"}).wait(), 0);
    const std::string text = waitForLabel("THREE");

    EXPECT_EQ(occurrences(text, "Inicio do Log:"), 2u);
    EXPECT_EQ(occurrences(text, "Perif. Registrador"), 1u) << "a start block has no tally block";
    const std::size_t startBlock = text.find(std::string(kBanner), text.find("ONE"));
    ASSERT_NE(startBlock, std::string::npos);
    EXPECT_LT(startBlock, text.find("TWO"));
    EXPECT_NE(text.find("\r\nConfiguracao do VANTEX:\r\nTIPO    = TODOS\r\n", startBlock),
              std::string::npos);
    EXPECT_EQ(labelsOf(text), (std::vector<std::string>{"ONE", "TWO", "THREE"}));
}

TEST_F(PipelineTest, ALogOverTheLimitRotatesBeforeTheFirstLineAndKeepsTheTallies) {
    configure("[VANTEX]\r\nTIPO=TODOS\r\n");
    std::string old = std::string(kBanner) + "\r\nPerif. Registrador\r\n";
    std::string block = "ABC          7\r\n";
    block += std::string(512 - block.size(), ' ') + "\r\n";
    old += block;
    old += std::string(102401 - old.size() - 2, 'x') + "\r\n";  // one byte over 100 KB
    writeFile(logPath(), old);

    ASSERT_EQ(Client({"message", "13", "0", "ABC", "5", "AFTER", "-"}).wait(), 0);
    const std::string text = waitForLabel("AFTER");
    EXPECT_EQ(readFile(root.file("C/VANTEX/VANTEX.ANT")), old);
    EXPECT_EQ(text.rfind(kBanner, 0), 0u);
    EXPECT_EQ(occurrences(text, "Inicio do Log:"), 2u) << "full header, then the start block";
    EXPECT_LT(text.find("Perif. Registrador"), text.rfind("Inicio do Log:"));
    EXPECT_NE(text.find("Perif. Registrador\r\nABC         12\r\n"), std::string::npos) << text;
    EXPECT_EQ(labelsOf(text), (std::vector<std::string>{"AFTER"}));
}

TEST_F(PipelineTest, SelectiveModeWritesEventsOnlyBeforeAFaultButTalliesThemAtOnce) {
    configure("[VANTEX]\r\nTIPO=XEVENTOS\r\n");
    Client client({"--no-config", "message", "13", "0", "EVT", "1", "E1", "-", "message", "13", "1",
                   "EVT", "1", "E2", "-", "message", "14", "0x81", "FLT", "0", "F", "-", "message",
                   "13", "2", "EVT", "9", "E3", "-", "hold"});
    ASSERT_EQ(client.expect("holding"), "holding");
    const std::string total = "EVT         11\r\n";  // E3's amount is in
    const std::string text =
        waitForLog([&](const std::string& t) { return t.find(total) != std::string::npos; });
    EXPECT_NE(text.find(total), std::string::npos) << text;
    EXPECT_EQ(labelsOf(text), (std::vector<std::string>{"E1", "E2", "F"}))
        << "E3 waits for a fault that has not come";
    client.proceed();
    EXPECT_EQ(client.wait(), 0);
}

TEST_F(PipelineTest, ADefectiveMessageGivesItsRawCopyThenItsRejection) {
    configure("[VANTEX]\r\nTIPO=TODOS\r\n");
    ASSERT_EQ(Client({"message", "13", "5", "ABC", "0x12345", "BAD", "-", "message", "99", "0",
                      "ABC", "1", "ALIEN", "-", "send", "AFTER"})
                  .wait(),
              0);
    const std::string text = waitForLabel("AFTER");
    const std::vector<Fields> lines = recordLines(text);
    ASSERT_EQ(lines.size(), 4u) << text;
    EXPECT_EQ(Fields(lines[0].begin() + 1, lines[0].begin() + 11),
              (Fields{"013", "5", "ABC", "2345", "00", "00", "0000", "0000", "0000", "BAD"}));
    EXPECT_EQ(Fields(lines[1].begin() + 1, lines[1].begin() + 11),
              (Fields{"000", "83", "", "0000", "00", "00", "0000", "0000", "0000", ""}));
    EXPECT_EQ(lines[1][11], lines[0][11]) << "one stamp for both";
    EXPECT_EQ(lines[1][13], "02 04");
    EXPECT_EQ(lines[2][1], "000") << "a refused type gives the rejection alone";
    EXPECT_EQ(lines[2][13], "01");
    EXPECT_EQ(lines[3][10], "AFTER");
    EXPECT_EQ(text.find("ABC    "), std::string::npos) << "a defective message adds to no tally";
}

TEST_F(PipelineTest, AMissingDriveDropsMessagesUntilItExists) {
    configure("[VANTEX]\r\nTIPO=TODOS\r\nDRIVER=D\r\n");
    AreaProbe area;
    Client client({"--no-config", "send", "LOST", "hold", "send", "FOUND"});
    ASSERT_EQ(client.expect("holding"), "holding");
    ASSERT_TRUE(area.waitForMode(kModeDisabled)) << "the first message found no drive";
    EXPECT_FALSE(std::filesystem::exists(root.file("D")));
    EXPECT_FALSE(std::filesystem::exists(logPath()));

    std::filesystem::create_directory(root.file("D"));  // the drive appears
    client.proceed();
    ASSERT_EQ(client.wait(), 0);
    const std::string text = waitForLabel("FOUND", 'D');
    EXPECT_EQ(labelsOf(text), (std::vector<std::string>{"FOUND"}));
    EXPECT_NE(text.find("LOCALIZA = D:/VANTEX\r\n"), std::string::npos);
}

TEST_F(PipelineTest, ALogDeletedBetweenMessagesStartsAgainWithAFullHeader) {
    configure("[VANTEX]\r\nTIPO=TODOS\r\n");
    Client client({"message", "13", "0", "ABC", "5", "ONE", "-", "hold", "message", "13", "0",
                   "ABC", "3", "TWO", "-"});
    ASSERT_EQ(client.expect("holding"), "holding");
    waitForLabel("ONE");
    std::filesystem::remove(logPath());
    client.proceed();
    ASSERT_EQ(client.wait(), 0);
    const std::string text = waitForLabel("TWO");
    EXPECT_EQ(text.rfind(kBanner, 0), 0u);
    EXPECT_EQ(occurrences(text, "INFORMACOES DA MAQUINA:"), 1u);
    EXPECT_NE(text.find("Perif. Registrador\r\nABC          3\r\n"), std::string::npos)
        << "the totals start again from nothing";
    EXPECT_EQ(labelsOf(text), (std::vector<std::string>{"TWO"}));
}

TEST_F(PipelineTest, ANewHostGoesOnWithTheRepetitionsTalliesAndHeldEvents) {
    configure("[VANTEX]\r\nTIPO=XEVENTOS\r\n");
    Client holder({"--no-config", "hold"});  // keeps the area alive across the change of host
    ASSERT_EQ(holder.expect("holding"), "holding");

    Args first{"--no-config"};
    for (int k = 0; k < 8; ++k) first.insert(first.end(), {"message", "14", "0x81", "FLT", "0", "R", "-"});
    first.insert(first.end(), {"message", "13", "0", "QQQ", "2", "HELD", "-"});
    Client firstHost(first);
    ASSERT_EQ(firstHost.wait(), 0);  // its server handles everything, then stops

    Args second{"--no-config", "message", "13", "0", "QQQ", "3", "HELD2", "-"};
    for (int k = 0; k < 4; ++k) second.insert(second.end(), {"message", "14", "0x81", "FLT", "0", "R", "-"});
    second.insert(second.end(), {"message", "14", "0x82", "FLT", "0", "END", "-"});
    Client secondHost(second);
    ASSERT_EQ(secondHost.wait(), 0);
    const std::string text = waitForLabel("END");

    const std::vector<std::string> labels = labelsOf(text);
    std::vector<std::string> expected(8, "R");
    expected.insert(expected.end(), {"HELD", "HELD2", "R", "R", "R", "END"});
    EXPECT_EQ(labels, expected) << "eleven full lines of R, the events held across the change";
    const std::vector<Fields> lines = recordLines(text);
    ASSERT_EQ(lines.size(), expected.size());
    EXPECT_EQ(lines[12][9], "0001") << "the twelfth R collapsed onto the eleventh line";
    EXPECT_EQ(occurrences(text, "Inicio do Log:"), 1u) << "no new header or start block";
    EXPECT_NE(text.find("QQQ          5\r\n"), std::string::npos) << text;
    holder.proceed();
    EXPECT_EQ(holder.wait(), 0);
}

TEST_F(PipelineTest, SeveralProcessesAtOnceHaveEveryMessageLoggedOnceAndInTheirOrder) {
    constexpr int kProcesses = 4;
    constexpr int kEach = 400;
    std::vector<std::unique_ptr<Client>> clients;
    for (int p = 0; p < kProcesses; ++p)
        clients.push_back(std::make_unique<Client>(
            Args{"hold", "burst", "P" + std::to_string(p) + "-", std::to_string(kEach)}));
    for (auto& c : clients) ASSERT_EQ(c->expect("holding"), "holding");
    for (auto& c : clients) c->proceed();
    for (auto& c : clients) ASSERT_EQ(c->wait(), 0);

    const std::string text = waitForLog([&](const std::string& t) {
        return labelsOf(t).size() >= static_cast<std::size_t>(kProcesses * kEach);
    });
    std::map<std::string, std::vector<int>> byProcess;
    for (const std::string& label : labelsOf(text)) {
        const std::size_t dash = label.find('-');
        byProcess[label.substr(0, dash)].push_back(std::stoi(label.substr(dash + 1)));
    }
    ASSERT_EQ(byProcess.size(), static_cast<std::size_t>(kProcesses));
    std::vector<int> inOrder(kEach);
    for (int k = 0; k < kEach; ++k) inOrder[static_cast<std::size_t>(k)] = k + 1;
    for (const auto& [process, numbers] : byProcess) EXPECT_EQ(numbers, inOrder) << process;
}

}  // namespace
}  // namespace kervale::testing
