#include "ClientCommands.h"

#include <cstdlib>
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

}  // namespace

void say(const std::string& line) { std::cout << line << std::endl; }

bool runSharedCommand(const std::string& command, const std::function<std::string()>& next,
                      GravaLogEntry gravaLog) {
    if (command == "send") {
        const std::string label = next();
        say("sent " + label + " " + std::to_string(send(gravaLog, label)));
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
