#include "LogFiles.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <set>

#include "TestMessage.h"

namespace kervale::testing {

// Shared for deleting too: the server renames the current log at its size limit.
std::string readLog(bool previous) {
    const char* path = previous ? "C:\\VANTEX\\VANTEX.ANT" : "C:\\VANTEX\\VANTEX.LOG";
    HANDLE file =
        ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string content;
    char buffer[64 * 1024];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        content.append(buffer, got);
    ::CloseHandle(file);
    return content;
}

std::vector<std::string> waitForLabels(const std::vector<std::string>& expected,
                                       std::uint32_t boundMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        std::vector<std::string> labels = logLabels(readLog(true) + readLog());
        const std::set<std::string> seen(labels.begin(), labels.end());
        const bool all = std::all_of(expected.begin(), expected.end(),
                                     [&](const std::string& l) { return seen.count(l) != 0; });
        if (all || ::GetTickCount() - start > boundMs) return labels;
        ::Sleep(10);
    }
}

}  // namespace kervale::testing
