// Support of the Windows tests that run the log server in real processes (under Wine): the test
// client as a child process, the machine's configuration file and log folder, and whether a
// server runs. Every test uses the machine's real object names and files, so these tests run one
// at a time.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "LogFiles.h"

namespace kervale::testing {

// One running kervale_client.exe (the one beside the test program). Killed and waited for at
// destruction if it is still running.
class Client {
  public:
    // Starts the client with these arguments; `env` holds "NAME=value" entries added to this
    // process's environment.
    explicit Client(const std::vector<std::string>& args, const std::vector<std::string>& env = {});
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    std::uint32_t pid() const { return pid_; }

    // Waits for the next output line that begins with `prefix`, skipping others. Gives the line,
    // or "" when the client ended or the bound passed.
    std::string expect(const std::string& prefix, std::uint32_t boundMs = kPatience);

    // Ends a "hold".
    void proceed();

    // Ends the process at once, as a crash or a kill would.
    void kill();

    // Exit code, or -1 when it is still running after the bound.
    int wait(std::uint32_t boundMs = kPatience);

  private:
    void* process_ = nullptr;
    void* input_ = nullptr;
    void* output_ = nullptr;
    std::uint32_t pid_ = 0;
    std::string pending_;
};

// The machine as a test finds it: "QUENDAL.INI" in the Windows directory holds `configuration`
// (there is none when it is empty), and there is no log folder "C:\VANTEX". Both are removed
// again at destruction, once no server runs.
class Machine {
  public:
    explicit Machine(const std::string& configuration);
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;
};

// True while a server owns the mail slot (also while it is stopping).
bool serverRunning();

// Waits until no server owns the slot. False when one still does after the bound.
bool waitUntilNoServer(std::uint32_t boundMs = kPatience);

// Ids of the threads of a process.
std::set<std::uint32_t> threadIds(std::uint32_t pid);

// A thread of another process, suspended for the object's life (resumed at destruction, if it
// still exists). The suspension has taken effect when the constructor returns.
class SuspendedThread {
  public:
    explicit SuspendedThread(std::uint32_t threadId);
    ~SuspendedThread();
    SuspendedThread(const SuspendedThread&) = delete;
    SuspendedThread& operator=(const SuspendedThread&) = delete;

    bool suspended() const { return suspended_; }

  private:
    void* thread_ = nullptr;
    bool suspended_ = false;
};

}  // namespace kervale::testing
