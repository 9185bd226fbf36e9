// Support of the Win32 backend's tests: names no other test uses, a private temporary folder,
// and child processes (this test program started again in a role of KERVALE_CHILD_ROLE).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kervale::testing {

// Bound on any wait for another process: generous, since a loaded machine runs Wine slowly.
inline constexpr std::uint32_t kProcessBound = 60000;

// A kernel object name unique to this test program and call: "kvtest-<pid>-<n>-<what>".
std::string uniqueName(const char* what);

// A fresh folder in the Windows temporary folder, removed with its content afterwards.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& relative) const { return path_ + "/" + relative; }

  private:
    std::string path_;
};

// A part a child process plays: it gets the arguments after the role's name and gives the exit
// code. Registered at start-up by KERVALE_CHILD_ROLE.
using ChildRole = int (*)(const std::vector<std::string>& args);

struct ChildRoleRegistration {
    ChildRoleRegistration(const char* name, ChildRole role);
};

#define KERVALE_CHILD_ROLE(role)                                                    \
    int role(const std::vector<std::string>& args);                                 \
    const ::kervale::testing::ChildRoleRegistration role##Registration(#role, role); \
    int role(const std::vector<std::string>& args)

// This program, started again as a child that plays `role`. Killed if still running at the end.
class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool start(const char* role, const std::vector<std::string>& args = {});
    bool endsWithin(std::uint32_t timeoutMs);
    // The exit code once it has ended, or -1 if it did not end within timeoutMs.
    int wait(std::uint32_t timeoutMs = kProcessBound);

  private:
    void* process_ = nullptr;
};

// Starts a child and waits for it: its exit code, or -1 when it could not start or did not end.
int runChild(const char* role, const std::vector<std::string>& args = {});

// A file's whole content ("" when it cannot be read), and writing one, through the C runtime.
std::string readFile(const std::string& path);
bool writeFile(const std::string& path, const std::string& content);

}  // namespace kervale::testing
