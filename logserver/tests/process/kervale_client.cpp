// A client process for the tests, the demo and the benchmark: loads libkervale.so (dlopen, so
// it can also unload it) and runs the commands of its command line in order:
//   send LABEL            GravaLog with a message labelled LABEL; prints "sent LABEL <result>"
//   message TYPE LEVEL UNIT AMOUNT LABEL TEXT
//                         GravaLog with these fields (numbers in C notation, so 0x81 works;
//                         TEXT is text data, "-" for none); prints "sent LABEL <result>"
//   burst PREFIX N        N messages labelled PREFIX1 ... PREFIXN; prints "burst-start", "burst-done"
//   threads T PREFIX N    T threads each sending N messages labelled PREFIX<t>-<i>
//   raw KIND LABEL        writes one datagram straight to the mail slot, as another writer could:
//                         msg (a full message), semreg (the 6-byte stop message), semregmsg (a
//                         full message beginning with "SEMREG"), empty (0 bytes), big (5000 bytes
//                         beginning with a full message); LABEL is "-" where none is used
//   hold                  prints "holding" and waits for a line on standard input
//   load / unload         dlopen / dlclose the library (it is loaded at start)
//   lock-mutex            takes "MutexLog" directly and keeps it
//   area-set V / area-get writes / prints ("area V") a marker in the shared area's last bytes
// Then it exits normally (which unloads the library too). Options before the commands:
//   --library PATH        the library to load (default: the libkervale.so built beside it)
//   --no-config           leaves the configuration file alone (by default a missing one is
//                         written with TIPO=TODOS and TAMANHO=1000, so every record is logged)
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "LibraryHandles.h"
#include "MailSlot.h"
#include "NamedMutex.h"
#include "SharedArea.h"
#include "SharedMemory.h"
#include "kervale.h"

namespace {

using GravaLogEntry = int32_t (*)(const void*);

void* library = nullptr;
GravaLogEntry gravaLog = nullptr;

void say(const std::string& line) {
    std::cout << line << std::endl;  // flushed: the test reads it at once
}

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

LogMessage message(const std::string& label) {
    LogMessage m{};
    m.msgType = KERVALE_TYPE_13;
    m.level = KERVALE_LEVEL_EVENT0;
    std::memcpy(m.unit, "TST", 3);
    // A 12-character label fills the field with no NUL.
    std::memcpy(m.label, label.data(), std::min(label.size(), sizeof m.label));
    return m;
}

int32_t send(const std::string& label) {
    const LogMessage m = message(label);
    return gravaLog(&m);
}

std::uint32_t number(const std::string& text) {
    return static_cast<std::uint32_t>(std::stoul(text, nullptr, 0));
}

int32_t sendFields(const std::string& type, const std::string& level, const std::string& unit,
                   const std::string& amount, const std::string& label, const std::string& text) {
    LogMessage m = message(label);
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

void raw(const std::string& kind, const std::string& label) {
    std::vector<char> bytes;
    const LogMessage m = message(label == "-" ? "" : label);
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
    kervale::platform::NamedMutex mutex;
    auto next = [&]() -> const std::string& {
        if (i >= args.size()) fail("missing argument");
        return args[i++];
    };
    while (i < args.size()) {
        const std::string command = next();
        if (command == "send") {
            const std::string label = next();
            say("sent " + label + " " + std::to_string(send(label)));
        } else if (command == "message") {
            const std::string type = next(), level = next(), unit = next(), amount = next();
            const std::string label = next(), text = next();
            say("sent " + label + " " + std::to_string(sendFields(type, level, unit, amount, label, text)));
        } else if (command == "burst") {
            const std::string prefix = next();
            const int n = std::stoi(next());
            say("burst-start");
            for (int k = 1; k <= n; ++k) send(prefix + std::to_string(k));
            say("burst-done");
        } else if (command == "threads") {
            const int t = std::stoi(next());
            const std::string prefix = next();
            const int n = std::stoi(next());
            std::vector<std::thread> threads;
            for (int k = 0; k < t; ++k)
                threads.emplace_back([=] {
                    for (int j = 1; j <= n; ++j)
                        send(prefix + std::to_string(k) + "-" + std::to_string(j));
                });
            for (std::thread& thread : threads) thread.join();
            say("threads-done");
        } else if (command == "raw") {
            const std::string kind = next();
            raw(kind, next());
        } else if (command == "hold") {
            say("holding");
            std::string line;
            std::getline(std::cin, line);
        } else if (command == "load") {
            load(path.c_str());
            say("loaded");
        } else if (command == "unload") {
            if (::dlclose(library) != 0) fail(::dlerror());
            library = nullptr;
            gravaLog = nullptr;
            say("unloaded");
        } else if (command == "lock-mutex") {
            if (!mutex.open(kervale::kMutexName) ||
                mutex.lock() == kervale::platform::LockResult::failed)
                fail("cannot take the mutex");
            say("mutex-locked");
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
