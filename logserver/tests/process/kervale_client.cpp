// A client process for the tests, the demo and the benchmark: loads libkervale.so (dlopen, so
// it can also unload it) and runs the commands of its command line in order: those that every
// test client runs (send, message, burst, threads, script, hold, lock-mutex: see ClientCommands.h), and
//   raw KIND LABEL        writes one datagram straight to the mail slot, as another writer could:
//                         msg (a full message), semreg (the 6-byte stop message), semregmsg (a
//                         full message beginning with "SEMREG"), empty (0 bytes), big (5000 bytes
//                         beginning with a full message); LABEL is "-" where none is used
//   load / unload         dlopen / dlclose the library (it is loaded at start)
//   area-set V / area-get writes / prints ("area V") a marker in the shared area's last bytes
// Then it exits normally (which unloads the library too). Options before the commands:
//   --library PATH        the library to load (default: the libkervale.so built beside it)
//   --no-config           leaves the configuration file alone (by default a missing one is
//                         written with TIPO=TODOS and TAMANHO=1000, so every record is logged)
#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "ClientCommands.h"
#include "LibraryHandles.h"
#include "MailSlot.h"
#include "SharedArea.h"
#include "SharedMemory.h"
#include "TestMessage.h"
#include "kervale.h"

namespace {

using kervale::testing::GravaLogEntry;
using kervale::testing::say;

void* library = nullptr;
GravaLogEntry gravaLog = nullptr;

[[noreturn]] void fail(const std::string& why) {
    std::cerr << "kervale_client: " << why << std::endl;
    std::exit(2);
}

// The configuration that makes the log server write every record.
void writeConfiguration() {
    const char* root = std::getenv("KERVALE_ROOT");
    if (root == nullptr) return;
    const std::filesystem::path folder = std::filesystem::path(root) / "C" / "WINDOWS";
    const std::filesystem::path file = folder / "QUENDAL.INI";
    if (std::filesystem::exists(file)) return;
    std::filesystem::create_directories(folder);
    const std::filesystem::path temporary = folder / ("QUENDAL.INI." + std::to_string(::getpid()));
    std::ofstream(temporary, std::ios::binary) << "[VANTEX]\r\nTIPO=TODOS\r\nTAMANHO=1000\r\n";
    std::filesystem::rename(temporary, file);  // whole or not at all, also when clients race
}

void load(const char* path) {
    library = ::dlopen(path, RTLD_NOW);
    if (library == nullptr) fail(::dlerror());
    gravaLog = reinterpret_cast<GravaLogEntry>(::dlsym(library, "GravaLog"));
    if (gravaLog == nullptr) fail("no GravaLog");
}

void raw(const std::string& kind, const std::string& label) {
    std::vector<char> bytes;
    const LogMessage m = kervale::testing::labelledMessage(label == "-" ? "" : label);
    const char* whole = reinterpret_cast<const char*>(&m);
    if (kind == "msg") {
        bytes.assign(whole, whole + sizeof m);
    } else if (kind == "semreg") {
        bytes.assign(kervale::kStopMessage, kervale::kStopMessage + kervale::kStopMessageSize);
    } else if (kind == "semregmsg") {
        bytes.assign(whole, whole + sizeof m);
        std::memcpy(bytes.data(), kervale::kStopMessage, kervale::kStopMessageSize);
    } else if (kind == "big") {
        bytes.assign(5000, 'x');
        std::memcpy(bytes.data(), whole, sizeof m);
    } else if (kind != "empty") {
        fail("unknown raw kind " + kind);
    }
    const bool sent = kervale::platform::sendToMailSlot(
        kervale::kSlotName, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    say("raw " + kind + (sent ? " sent" : " refused"));
}

// The marker lies in the last record slot of the flushed queue, which the selective mode alone
// uses.
unsigned char* areaMarker(kervale::platform::SharedMemory& area) {
    static kervale::SharedArea* view = nullptr;
    if (view == nullptr) {
        if (!area.open(kervale::kAreaName, kervale::kAreaSize)) fail("cannot open the area");
        view = static_cast<kervale::SharedArea*>(area.mapView());
        if (view == nullptr) fail("cannot map the area");
    }
    return reinterpret_cast<unsigned char*>(&view->flushedSlots[kervale::kQueueSlots - 1]);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string path = KERVALE_LIBRARY_PATH;
    std::size_t i = 0;
    bool configure = true;
    for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
        if (args[i] == "--no-config") {
            configure = false;
        } else if (args[i] == "--library" && i + 1 < args.size()) {
            path = args[++i];
        } else {
            fail("unknown option " + args[i]);
        }
    }
    if (configure) writeConfiguration();
    load(path.c_str());

    kervale::platform::SharedMemory area;  // held while the marker commands need it
    auto next = [&]() -> const std::string& {
        if (i >= args.size()) fail("missing argument");
        return args[i++];
    };
    while (i < args.size()) {
        const std::string command = next();
        if (kervale::testing::runSharedCommand(command, next, gravaLog)) continue;
        if (command == "raw") {
            const std::string kind = next();
            raw(kind, next());
        } else if (command == "load") {
            load(path.c_str());
            say("loaded");
        } else if (command == "unload") {
            if (::dlclose(library) != 0) fail(::dlerror());
            library = nullptr;
            gravaLog = nullptr;
            say("unloaded");
        } else if (command == "area-set") {
            const unsigned value = static_cast<unsigned>(std::stoul(next()));
            std::memcpy(areaMarker(area), &value, sizeof value);
            say("marker-set");
        } else if (command == "area-get") {
            unsigned value = 0;
            std::memcpy(&value, areaMarker(area), sizeof value);
            say("area " + std::to_string(value));
        } else {
            fail("unknown command " + command);
        }
    }
    return 0;
}
