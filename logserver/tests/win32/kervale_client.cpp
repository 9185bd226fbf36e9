// The Windows test client, counterpart of tests/process/kervale_client.cpp: loads kervale.dll
// (LoadLibrary, so it can also unload it) and runs the commands of its command line in order:
// those that every test client runs (send, burst, threads, script, hold, lock-mutex: see
// ClientCommands.h), and
//   load / unload         LoadLibrary / FreeLibrary (it is loaded at start)
//   await LABEL           waits (bounded) until a record labelled LABEL is in the log; prints
//                         "awaited LABEL" or "await-timeout LABEL". A host that exits after it
//                         leaves its server idle.
//   exit-process CODE     ends the process at once through ExitProcess
// Then it returns from main, which exits through the C runtime. Options before the commands:
//   --library FILE        the library to load (default: kervale.dll, found beside the client)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "ClientCommands.h"
#include "LibraryHandles.h"
#include "LogFiles.h"

namespace {

using kervale::testing::GravaLogEntry;
using kervale::testing::say;

HMODULE library = nullptr;
GravaLogEntry gravaLog = nullptr;

[[noreturn]] void fail(const std::string& why) {
    std::cerr << "kervale_client: " << why << " (error " << ::GetLastError() << ")" << std::endl;
    std::exit(2);
}

void load(const std::string& file) {
    library = ::LoadLibraryA(file.c_str());
    if (library == nullptr) fail("cannot load " + file);
    gravaLog = reinterpret_cast<GravaLogEntry>(
        reinterpret_cast<void*>(::GetProcAddress(library, "GravaLog")));
    if (gravaLog == nullptr) fail("no GravaLog in " + file);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string file = "kervale.dll";
    std::size_t i = 0;
    if (args.size() >= 2 && args[0] == "--library") {
        file = args[1];
        i = 2;
    }
    load(file);

    auto next = [&]() -> std::string {
        if (i >= args.size()) fail("missing argument");
        return args[i++];
    };
    while (i < args.size()) {
        const std::string command = next();
        if (kervale::testing::runSharedCommand(command, next, gravaLog)) continue;
        if (command == "load") {
            load(file);
            say("loaded");
        } else if (command == "unload") {
            if (!::FreeLibrary(library)) fail("cannot unload");
            library = nullptr;
            gravaLog = nullptr;
            say("unloaded");
        } else if (command == "await") {
            const std::string label = next();
            const std::vector<std::string> labels = kervale::testing::waitForLabels({label});
            const bool seen = std::find(labels.begin(), labels.end(), label) != labels.end();
            say((seen ? "awaited " : "await-timeout ") + label);
        } else if (command == "exit-process") {
            ::ExitProcess(static_cast<UINT>(std::stoul(next())));
        } else {
            fail("unknown command " + command);
        }
    }
    return 0;
}
