#include "ClientCommands.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <thread>
#include <vector>

#include "LibraryHandles.h"
#include "MessageScript.h"
#include "NamedMutex.h"
#include "TestMessage.h"

namespace kervale::testing {

namespace {

std::int32_t send(GravaLogEntry gravaLog, const std::string& label) {
    const LogMessage m = labelledMessage(label);
    return gravaLog(&m);
}

std::uint32_t number(const std::string& text) {
    return static_cast<std::uint32_t>(std::stoul(text, nullptr, 0));
}

// A message with chosen fields; `text` becomes text data, "-" for none.
std::int32_t sendFields(GravaLogEntry gravaLog, const std::string& type, const std::string& level,
                        const std::string& unit, const std::string& amount,
                        const std::string& label, const std::string& text) {
    LogMessage m = labelledMessage(label);
    m.msgType = number(type);
    m.level = static_cast<std::uint8_t>(number(level));
    std::memset(m.unit, 0, sizeof m.unit);
    std::memcpy(m.unit, unit.data(), std::min(unit.size(), sizeof m.unit));
    m.amount = number(amount);
    if (text != "-") {
        const std::size_t n = std::min(text.size(), sizeof m.data - 1);
        m.data[0] = KERVALE_DATA_TEXT;
        std::memcpy(m.data + 1, text.data(), n);
        m.dataLen = static_cast<std::uint8_t>(n + 1);
    }
    return gravaLog(&m);
}

}  // namespace

void say(const std::string& line) { std::cout << line << std::endl; }

bool runSharedCommand(const std::string& command, const std::function<std::string()>& next,
                      GravaLogEntry gravaLog) {
    if (command == "send") {
        const std::string label = next();
        say("sent " + label + " " + std::to_string(send(gravaLog, label)));
    } else if (command == "message") {
        const std::string type = next(), level = next(), unit = next(), amount = next();
        const std::string label = next(), text = next();
        say("sent " + label + " " +
            std::to_string(sendFields(gravaLog, type, level, unit, amount, label, text)));
    } else if (command == "burst") {
        const std::string prefix = next();
        const int n = std::stoi(next());
        say("burst-start");
        for (int k = 1; k <= n; ++k) send(gravaLog, prefix + std::to_string(k));
        say("burst-done");
    } else if (command == "threads") {
        const int t = std::stoi(next());
        const std::string prefix = next();
        const int n = std::stoi(next());
        std::vector<std::thread> threads;
        for (int k = 0; k < t; ++k)
            threads.emplace_back([=] {
                for (int j = 1; j <= n; ++j)
                    send(gravaLog, prefix + std::to_string(k) + "-" + std::to_string(j));
            });
        for (std::thread& thread : threads) thread.join();
        say("threads-done");
    } else if (command == "script") {
        for (const LogMessage& m : messageScript()) gravaLog(&m);
        say("script-done");
    } else if (command == "hold") {
        say("holding");
        std::string line;
        std::getline(std::cin, line);
    } else if (command == "lock-mutex") {
        static platform::NamedMutex mutex;  // kept until the process ends
        if (!mutex.open(kMutexName) || mutex.lock() == platform::LockResult::failed) {
            std::cerr << "cannot take the mutex" << std::endl;
            std::exit(2);
        }
        say("mutex-locked");
    } else {
        return false;
    }
    return true;
}

}  // namespace kervale::testing
