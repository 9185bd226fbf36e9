// Runs a piece of a test in a child process (fork), to check what several processes share.
// The child talks to the parent through one pipe in each direction, a byte at a time.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

namespace kervale::testing {

class ForkedChild {
  public:
    // Starts `body` in a child; its result is the child's exit status.
    explicit ForkedChild(const std::function<int(ForkedChild&)>& body) {
        int down[2];
        int up[2];
        if (::pipe(down) != 0 || ::pipe(up) != 0) std::abort();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(down[1]);
            ::close(up[0]);
            in_ = down[0];
            out_ = up[1];
            ::_exit(body(*this));
        }
        ::close(down[0]);
        ::close(up[1]);
        in_ = up[0];
        out_ = down[1];
    }
    ~ForkedChild() {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(in_);
        ::close(out_);
    }
    ForkedChild(const ForkedChild&) = delete;
    ForkedChild& operator=(const ForkedChild&) = delete;

    // Either side: send one byte to the other, or wait for one (false when the other has gone).
    void signal(char c = '!') { (void)!::write(out_, &c, 1); }
    bool await() {
        char c;
        return ::read(in_, &c, 1) == 1;
    }

    void kill() { ::kill(pid_, SIGKILL); }

    // The child's exit status, or -1 when it was killed or did not end within the bound.
    int wait(std::chrono::milliseconds bound = std::chrono::seconds(20)) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    bool reaped_ = false;
};

}  // namespace kervale::testing
