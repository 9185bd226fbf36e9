#include "ClientProcess.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "LibraryHandles.h"

namespace kervale::testing {

namespace {

constexpr char kLogFolder[] = "C:\\VANTEX";

std::string besideThisProgram(const char* file) {
    char path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, n < sizeof path ? n : 0);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + file;
}

std::string configurationFile() {
    char folder[MAX_PATH];
    const UINT n = ::GetWindowsDirectoryA(folder, sizeof folder);
    return std::string(folder, n < sizeof folder ? n : 0) + "\\QUENDAL.INI";
}

std::string logFile(const char* name) { return std::string(kLogFolder) + "\\" + name; }

// This process's environment with `extra` entries added, as a block for CreateProcess.
std::string environmentWith(const std::vector<std::string>& extra) {
    std::string block;
    char* strings = ::GetEnvironmentStringsA();
    for (const char* entry = strings; entry != nullptr && *entry != '\0';
         entry += std::strlen(entry) + 1)
        block.append(entry).push_back('\0');
    if (strings != nullptr) ::FreeEnvironmentStringsA(strings);
    for (const std::string& entry : extra) block.append(entry).push_back('\0');
    block.push_back('\0');
    return block;
}

// Removes the log folder and what it holds; a stopping server may hold a file a little longer.
void removeLogFolder() {
    const DWORD start = ::GetTickCount();
    for (;;) {
        ::DeleteFileA(logFile("VANTEX.LOG").c_str());
        ::DeleteFileA(logFile("VANTEX.ANT").c_str());
        if (::RemoveDirectoryA(kLogFolder) || ::GetLastError() == ERROR_FILE_NOT_FOUND ||
            ::GetTickCount() - start > kPatience)
            return;
        ::Sleep(10);
    }
}

}  // namespace

Client::Client(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childInput = nullptr;
    HANDLE childOutput = nullptr;
    if (!::CreatePipe(&childInput, &input_, &inheritable, 0) ||
        !::CreatePipe(&output_, &childOutput, &inheritable, 0))
        std::abort();
    // The test's own ends stay here.
    ::SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);

    // Arguments are passed unquoted: the tests give labels and numbers without blanks.
    std::string commandLine = "\"" + besideThisProgram("kervale_client.exe") + "\"";
    for (const std::string& arg : args) commandLine += " " + arg;
    std::string environment = environmentWith(env);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput;
    startup.hStdOutput = childOutput;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                          environment.data(), nullptr, &startup, &started))
        std::abort();
    ::CloseHandle(started.hThread);
    ::CloseHandle(childInput);
    ::CloseHandle(childOutput);
    process_ = started.hProcess;
    pid_ = started.dwProcessId;
}

Client::~Client() {
    if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) kill();
    ::CloseHandle(process_);
    ::CloseHandle(input_);
    ::CloseHandle(output_);
}

std::string Client::expect(const std::string& prefix, std::uint32_t boundMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        const std::size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.compare(0, prefix.size(), prefix) == 0) return line;
            continue;
        }
        DWORD available = 0;
        if (!::PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr)) return "";
        if (available == 0) {
            if (::GetTickCount() - start > boundMs) return "";
            ::Sleep(2);
            continue;
        }
        char buffer[512];
        DWORD got = 0;
        if (!::ReadFile(output_, buffer, std::min<DWORD>(available, sizeof buffer), &got,
                        nullptr) ||
            got == 0)
            return "";
        pending_.append(buffer, got);
    }
}

void Client::proceed() {
    DWORD written = 0;
    ::WriteFile(input_, "\n", 1, &written, nullptr);
}

void Client::kill() {
    ::TerminateProcess(process_, 99);
    ::WaitForSingleObject(process_, kPatience);
}

int Client::wait(std::uint32_t boundMs) {
    if (::WaitForSingleObject(process_, boundMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
}

Machine::Machine(const std::string& configuration) {
    removeLogFolder();
    const std::string file = configurationFile();
    ::DeleteFileA(file.c_str());
    if (configuration.empty()) return;
    HANDLE ini = ::CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (ini == INVALID_HANDLE_VALUE ||
        !::WriteFile(ini, configuration.data(), static_cast<DWORD>(configuration.size()), &written,
                     nullptr))
        std::abort();
    ::CloseHandle(ini);
}

Machine::~Machine() {
    waitUntilNoServer();
    removeLogFolder();
    ::DeleteFileA(configurationFile().c_str());
}

// Opened for writing, as a client would, and closed at once without a write. A stopping server
// refuses writers with a sharing violation (MailSlotServer::seal): it still owns the slot.
bool serverRunning() {
    HANDLE slot = ::CreateFileA(kSlotName, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (slot == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_SHARING_VIOLATION;
    ::CloseHandle(slot);
    return true;
}

bool waitUntilNoServer(std::uint32_t boundMs) {
    const DWORD start = ::GetTickCount();
    while (serverRunning()) {
        if (::GetTickCount() - start > boundMs) return false;
        ::Sleep(5);
    }
    return true;
}

std::set<std::uint32_t> threadIds(std::uint32_t pid) {
    std::set<std::uint32_t> ids;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot, &entry); more;
         more = ::Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == pid) ids.insert(entry.th32ThreadID);
    ::CloseHandle(snapshot);
    return ids;
}

// Suspension is asynchronous; asking for the thread's context waits until it has taken effect.
SuspendedThread::SuspendedThread(std::uint32_t threadId) {
    thread_ = ::OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, threadId);
    if (thread_ == nullptr || ::SuspendThread(thread_) == static_cast<DWORD>(-1)) return;
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL;
    suspended_ = ::GetThreadContext(thread_, &context) != 0;
}

SuspendedThread::~SuspendedThread() {
    if (thread_ == nullptr) return;
    if (suspended_) ::ResumeThread(thread_);
    ::CloseHandle(thread_);
}

}  // namespace kervale::testing
