// Support for the tests that run the library in real processes: starting and steering the test
// client, reading the log, and finding which process hosts the server.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace kervale::testing {

using std::chrono::milliseconds;
inline constexpr milliseconds kPatience{20000};  // bound of every wait for another process

// One running kervale_client. Killed and reaped at destruction if it is still running.
class Client {
  public:
    // Starts the client with these arguments (environment inherited, KERVALE_ROOT included).
    explicit Client(const std::vector<std::string>& args, const std::vector<std::string>& env = {});
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    pid_t pid() const { return pid_; }

    // Waits for the next output line that begins with `prefix`, skipping others. Gives the
    // line, or "" when the client ended or the bound passed.
    std::string expect(const std::string& prefix, milliseconds bound = kPatience);

    // Ends a "hold".
    void proceed();

    void signal(int number);

    // Exit status of a normal exit, or -1 (killed, or still running after the bound).
    int wait(milliseconds bound = kPatience);

  private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string pending_;
    bool reaped_ = false;
};

// The library built for the tests that can arm the platform's fault seam (KERVALE_TEST_FAULTS).
std::string faultyLibrary();

// Waits until every label in `expected` appears in the log of the current root (bounded), and
// gives all the labels of the log in log order ("" for a record without one).
std::vector<std::string> waitForLabels(const std::vector<std::string>& expected,
                                       milliseconds bound = kPatience);

// The process that owns the mail slot of the current root, or -1 when none does.
pid_t serverHost();

// Number of threads of a process.
int threadCount(pid_t pid);

}  // namespace kervale::testing
