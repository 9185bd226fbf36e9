#include "Win32Test.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace kervale::testing {

namespace {

std::map<std::string, ChildRole>& roles() {
    static std::map<std::string, ChildRole> registered;
    return registered;
}

std::string programPath() {
    char path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
    return n > 0 && n < sizeof path ? std::string(path, n) : std::string();
}

}  // namespace

std::string uniqueName(const char* what) {
    static std::atomic<int> counter{0};
    return "kvtest-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++counter) +
           "-" + what;
}

TempFolder::TempFolder() {
    char temp[MAX_PATH];
    const DWORD n = ::GetTempPathA(sizeof temp, temp);
    path_ = (n > 0 && n < sizeof temp ? std::string(temp, n) : std::string("C:\\")) +
            uniqueName("files");
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ChildRoleRegistration::ChildRoleRegistration(const char* name, ChildRole role) {
    roles()[name] = role;
}

ChildProcess::~ChildProcess() {
    if (process_ == nullptr) return;
    if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(process_, 99);
        ::WaitForSingleObject(process_, kProcessBound);
    }
    ::CloseHandle(process_);
}

// Arguments are passed unquoted: the tests give names and numbers without blanks or quotes.
bool ChildProcess::start(const char* role, const std::vector<std::string>& args) {
    std::string commandLine = "\"" + programPath() + "\" --child " + role;
    for (const std::string& arg : args) commandLine += " " + arg;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &started))
        return false;
    ::CloseHandle(started.hThread);
    process_ = started.hProcess;
    return true;
}

bool ChildProcess::endsWithin(std::uint32_t timeoutMs) {
    return process_ != nullptr && ::WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

int ChildProcess::wait(std::uint32_t timeoutMs) {
    if (!endsWithin(timeoutMs)) return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
}

int runChild(const char* role, const std::vector<std::string>& args) {
    ChildProcess child;
    return child.start(role, args) ? child.wait() : -1;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
    return static_cast<bool>(out.flush());
}

}  // namespace kervale::testing

// A test program, or with "--child <role> args..." a child playing that role.
int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) {
        const auto role = kervale::testing::roles().find(argv[2]);
        if (role == kervale::testing::roles().end()) return 98;
        return role->second(std::vector<std::string>(argv + 3, argv + argc));
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
