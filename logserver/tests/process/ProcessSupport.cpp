#include "ProcessSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "LibraryHandles.h"
#include "TempRoot.h"
#include "TestMessage.h"
#include "posix/KernelObjects.h"

extern char** environ;

namespace kervale::testing {

namespace {

using Clock = std::chrono::steady_clock;

std::string logFolder() {
    const char* root = std::getenv("KERVALE_ROOT");
    return std::string(root != nullptr ? root : "") + "/C/VANTEX/";
}

std::string logPath() { return logFolder() + "VANTEX.LOG"; }
std::string previousLogPath() { return logFolder() + "VANTEX.ANT"; }

}  // namespace

Client::Client(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    int toChild[2];
    int fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) std::abort();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);

    std::vector<std::string> all{KERVALE_CLIENT_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
    environment.insert(environment.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);

    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) std::abort();
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    input_ = toChild[1];
    output_ = fromChild[0];
}

Client::~Client() {
    if (!reaped_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ::close(input_);
    ::close(output_);
}

std::string Client::expect(const std::string& prefix, milliseconds bound) {
    const Clock::time_point deadline = Clock::now() + bound;
    for (;;) {
        const std::size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (line.compare(0, prefix.size(), prefix) == 0) return line;
            continue;
        }
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return "";
        pollfd readable{output_, POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[512];
        const ssize_t n = ::read(output_, buffer, sizeof buffer);
        if (n <= 0) return "";
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

void Client::proceed() { (void)!::write(input_, "\n", 1); }

void Client::signal(int number) { ::kill(pid_, number); }

int Client::wait(milliseconds bound) {
    const Clock::time_point deadline = Clock::now() + bound;
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) return -1;
        std::this_thread::sleep_for(milliseconds(2));
    }
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string faultyLibrary() { return KERVALE_FAULTY_LIBRARY_PATH; }

std::vector<std::string> waitForLabels(const std::vector<std::string>& expected, milliseconds bound) {
    const Clock::time_point deadline = Clock::now() + bound;
    for (;;) {
        std::vector<std::string> labels = logLabels(readFile(previousLogPath()) + readFile(logPath()));
        const std::set<std::string> seen(labels.begin(), labels.end());
        const bool all = std::all_of(expected.begin(), expected.end(),
                                     [&](const std::string& l) { return seen.count(l) != 0; });
        if (all || Clock::now() > deadline) return labels;
        std::this_thread::sleep_for(milliseconds(5));
    }
}

pid_t serverHost() {
    char name[108];
    if (!platform::posix::abstractName(kSlotName, name, sizeof name)) return -1;
    // /proc/net/unix lists abstract names with a leading '@' and the socket's inode.
    std::ifstream table("/proc/net/unix");
    std::string line;
    std::string inode;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string skip, node, path;
        for (int k = 0; k < 6; ++k) fields >> skip;
        fields >> node >> path;
        if (path == std::string("@") + name) inode = node;
    }
    if (inode.empty()) return -1;
    const std::string target = "socket:[" + inode + "]";
    DIR* processes = ::opendir("/proc");
    pid_t host = -1;
    while (dirent* entry = processes != nullptr ? ::readdir(processes) : nullptr) {
        const pid_t pid = std::atoi(entry->d_name);
        if (pid <= 0) continue;
        const std::string folder = std::string("/proc/") + entry->d_name + "/fd";
        DIR* fds = ::opendir(folder.c_str());
        while (dirent* fd = fds != nullptr ? ::readdir(fds) : nullptr) {
            char link[64] = {};
            const std::string path = folder + "/" + fd->d_name;
            if (::readlink(path.c_str(), link, sizeof link - 1) > 0 && target == link) host = pid;
        }
        if (fds != nullptr) ::closedir(fds);
        if (host != -1) break;
    }
    if (processes != nullptr) ::closedir(processes);
    return host;
}

int threadCount(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 8, "Threads:") == 0) return std::atoi(line.c_str() + 8);
    return 0;
}

}  // namespace kervale::testing
