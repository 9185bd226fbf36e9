// Log server throughput and latency, end to end through real processes and the log file.
//
// For each K: a host process starts the server; K client processes send N messages each as
// fast as they can (or at --rate messages per second each), timing every GravaLog call; the
// driver watches the log until every message is in it. Then one client sends messages one at a
// time and waits for each to appear in the log (end-to-end latency). Everything runs under a
// fresh temporary KERVALE_ROOT that is removed afterwards.
//
//   kervale_bench [--clients 1,2,4] [--messages 20000] [--rate 0] [--library PATH]
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kervale.h"

namespace {

using Clock = std::chrono::steady_clock;
using GravaLogEntry = int32_t (*)(const void*);

std::string libraryPath = KERVALE_LIBRARY_PATH;

double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// Loads the library in this process (after KERVALE_ROOT is set) and gives GravaLog.
GravaLogEntry loadLibrary() {
    void* library = ::dlopen(libraryPath.c_str(), RTLD_NOW);
    if (library == nullptr) {
        std::fprintf(stderr, "%s\n", ::dlerror());
        std::_Exit(2);
    }
    return reinterpret_cast<GravaLogEntry>(::dlsym(library, "GravaLog"));
}

LogMessage message(const char* label) {
    LogMessage m{};
    m.msgType = KERVALE_TYPE_13;
    std::memcpy(m.unit, "BEN", 3);
    m.amount = 1;  // every message rewrites the tally block too, as real traffic does
    std::memcpy(m.label, label, std::min(std::strlen(label), sizeof m.label));
    return m;
}

// Follows the log as it grows, line by line, also across a rotation (the old file is read to
// its end before the new one is taken up).
class LogTail {
  public:
    explicit LogTail(std::string path) : path_(std::move(path)) {}
    ~LogTail() {
        if (fd_ >= 0) ::close(fd_);
    }
    LogTail(const LogTail&) = delete;
    LogTail& operator=(const LogTail&) = delete;

    // Calls `label` with the label of every new record line.
    void poll(const std::function<void(const std::string&)>& label) {
        struct stat current {};
        const bool exists = ::stat(path_.c_str(), &current) == 0;
        if (fd_ >= 0) readNew(label);
        if (exists && (fd_ < 0 || current.st_ino != inode_)) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
            inode_ = current.st_ino;
            pending_.clear();
            if (fd_ >= 0) readNew(label);
        }
    }

  private:
    void readNew(const std::function<void(const std::string&)>& label) {
        char buffer[65536];
        ssize_t n;
        while ((n = ::read(fd_, buffer, sizeof buffer)) > 0) {
            pending_.append(buffer, static_cast<std::size_t>(n));
            std::size_t start = 0;
            for (std::size_t end; (end = pending_.find('\n', start)) != std::string::npos; start = end + 1)
                lineLabel(pending_.substr(start, end - start), label);
            pending_.erase(0, start);
        }
    }
    // The tenth field of a record line, without its alignment blanks.
    static void lineLabel(const std::string& line, const std::function<void(const std::string&)>& label) {
        if (line.empty() || line[0] != '|') return;
        std::size_t at = 0;
        for (int field = 1; field < 10; ++field) {  // to the separator before the tenth field
            at = line.find('|', at + 1);
            if (at == std::string::npos) return;
        }
        const std::size_t end = line.find('|', at + 1);
        if (end == std::string::npos) return;
        std::string text = line.substr(at + 1, end - at - 1);
        text.erase(0, text.find_first_not_of(' '));
        label(text);
    }

    std::string path_;
    int fd_ = -1;
    ino_t inode_ = 0;
    std::string pending_;
};

struct Child {
    pid_t pid;
    int go;  // write end: one byte starts (or ends) the child
};

Child spawn(const std::function<void(int)>& body) {
    int fds[2];
    if (::pipe(fds) != 0) std::_Exit(2);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[1]);
        body(fds[0]);
        std::exit(0);  // a normal exit: the library detaches
    }
    ::close(fds[0]);
    return Child{pid, fds[1]};
}

void release(const Child& child) {
    (void)!::write(child.go, "!", 1);
    ::close(child.go);
}

void awaitByte(int fd) {
    char c;
    (void)!::read(fd, &c, 1);
}

double percentile(std::vector<double>& values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t at = std::min(values.size() - 1, static_cast<std::size_t>(p * static_cast<double>(values.size())));
    return values[at];
}

void runOnce(int clients, int messages, int rate, const std::string& root) {
    const std::string logPath = root + "/C/VANTEX/VANTEX.LOG";
    const std::string prefix = std::string("K").append(std::to_string(clients));

    // The host: starts the server with its first call and keeps it until released.
    const Child host = spawn([](int go) {
        GravaLogEntry gravaLog = loadLibrary();
        const LogMessage m = message("WARMUP");
        gravaLog(&m);
        awaitByte(go);
    });
    LogTail tail(logPath);
    for (bool up = false; !up; std::this_thread::sleep_for(std::chrono::milliseconds(1)))
        tail.poll([&](const std::string& l) { up = up || l == "WARMUP"; });

    std::vector<Child> senders;
    for (int c = 0; c < clients; ++c) {
        senders.push_back(spawn([=](int go) {
            GravaLogEntry gravaLog = loadLibrary();
            std::vector<double> times;
            times.reserve(static_cast<std::size_t>(messages));
            const auto gap = rate > 0 ? std::chrono::nanoseconds(1000000000 / rate) : std::chrono::nanoseconds(0);
            awaitByte(go);
            Clock::time_point next = Clock::now();
            char label[16];
            for (int i = 0; i < messages; ++i) {
                std::snprintf(label, sizeof label, "%s%c%07d", prefix.c_str(), 'a' + c, i);
                const LogMessage m = message(label);
                if (rate > 0) {
                    next += gap;
                    std::this_thread::sleep_until(next);
                }
                const Clock::time_point before = Clock::now();
                gravaLog(&m);
                times.push_back(micros(Clock::now() - before));
            }
            std::ofstream(root + "/times-" + std::to_string(c), std::ios::binary)
                .write(reinterpret_cast<const char*>(times.data()),
                       static_cast<std::streamsize>(times.size() * sizeof(double)));
        }));
    }

    // Give the senders time to load the library, then start them together.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const Clock::time_point start = Clock::now();
    for (const Child& s : senders) release(s);
    const long expected = static_cast<long>(clients) * messages;
    long received = 0;
    Clock::time_point last = start;
    Clock::time_point lastProgress = start;
    while (received < expected && Clock::now() - lastProgress < std::chrono::seconds(10)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const long before = received;
        tail.poll([&](const std::string& l) {
            if (l.compare(0, prefix.size(), prefix) == 0) ++received;
        });
        if (received != before) last = lastProgress = Clock::now();
    }
    std::vector<double> calls;
    for (int c = 0; c < clients; ++c) {
        ::waitpid(senders[static_cast<std::size_t>(c)].pid, nullptr, 0);
        std::ifstream in(root + "/times-" + std::to_string(c), std::ios::binary);
        double t;
        while (in.read(reinterpret_cast<char*>(&t), sizeof t)) calls.push_back(t);
    }

    // End-to-end latency: one message at a time, from before the call until it is in the log.
    std::vector<double> latencies;
    {
        const Child prober = spawn([&](int) {
            GravaLogEntry gravaLog = loadLibrary();
            LogTail own(logPath);
            own.poll([](const std::string&) {});
            const int inotify = ::inotify_init1(IN_CLOEXEC);
            ::inotify_add_watch(inotify, (root + "/C/VANTEX").c_str(), IN_MODIFY | IN_CREATE | IN_MOVED_TO);
            std::vector<double> seen;
            char label[16];
            for (int i = 0; i < 300; ++i) {
                std::snprintf(label, sizeof label, "%sL%06d", prefix.c_str(), i);
                const LogMessage m = message(label);
                const Clock::time_point before = Clock::now();
                gravaLog(&m);
                bool found = false;
                while (!found) {
                    own.poll([&](const std::string& l) { found = found || l == label; });
                    if (!found) {
                        char events[4096];
                        (void)!::read(inotify, events, sizeof events);
                    }
                }
                seen.push_back(micros(Clock::now() - before));
            }
            std::ofstream(root + "/latency", std::ios::binary)
                .write(reinterpret_cast<const char*>(seen.data()),
                       static_cast<std::streamsize>(seen.size() * sizeof(double)));
        });
        ::close(prober.go);
        ::waitpid(prober.pid, nullptr, 0);
        std::ifstream in(root + "/latency", std::ios::binary);
        double t;
        while (in.read(reinterpret_cast<char*>(&t), sizeof t)) latencies.push_back(t);
    }
    release(host);
    ::waitpid(host.pid, nullptr, 0);

    const double seconds = std::chrono::duration<double>(last - start).count();
    std::printf("K=%d N=%d rate=%s  call median %.2f us  p99 %.2f us  received %.0f msg/s  "
                "latency median %.0f us  lost %ld\n",
                clients, messages, rate > 0 ? (std::to_string(rate) + "/s").c_str() : "max",
                percentile(calls, 0.5), percentile(calls, 0.99),
                seconds > 0 ? static_cast<double>(received) / seconds : 0.0,
                percentile(latencies, 0.5), expected - received);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> clientCounts{1, 2, 4};
    int messages = 20000;
    int rate = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        if (option == "--clients") {
            clientCounts.clear();
            std::stringstream list(value);
            for (std::string k; std::getline(list, k, ',');) clientCounts.push_back(std::stoi(k));
        } else if (option == "--messages") {
            messages = std::stoi(value);
        } else if (option == "--rate") {
            rate = std::stoi(value);
        } else if (option == "--library") {
            libraryPath = value;
        } else {
            std::fprintf(stderr, "unknown option %s\n", option.c_str());
            return 2;
        }
    }
    for (const int k : clientCounts) {
        std::string pattern = (std::filesystem::temp_directory_path() / "kervale-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) return 1;
        ::setenv("KERVALE_ROOT", pattern.c_str(), 1);
        std::filesystem::create_directories(pattern + "/C/WINDOWS");
        std::ofstream(pattern + "/C/WINDOWS/QUENDAL.INI", std::ios::binary) << "[VANTEX]\r\nTIPO=TODOS\r\n";
        runOnce(k, messages, rate, pattern);
        std::filesystem::remove_all(pattern);
    }
    return 0;
}
