#include "Thread.h"

#include <gtest/gtest.h>

#include <atomic>

#include "Event.h"
#include "FaultInjection.h"

namespace kervale::platform {
namespace {

struct Work {
    Event go;    // the thread waits for it
    Event done;  // the thread sets it at its end
    std::atomic<int> runs{0};
};

void work(void* argument) {
    auto& w = *static_cast<Work*>(argument);
    w.go.wait(kInfinite);
    ++w.runs;
    w.done.set();
}

class ThreadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(w.go.createUnnamed());
        ASSERT_TRUE(w.done.createUnnamed());
    }
    Work w;
};

TEST_F(ThreadTest, RunsTheProcedureWithItsArgument) {
    Thread thread;
    ASSERT_TRUE(thread.start(&work, &w));
    EXPECT_FALSE(thread.waitFinished(0));
    w.go.set();
    EXPECT_TRUE(thread.waitFinished(kInfinite));
    EXPECT_EQ(w.runs, 1);
}

TEST_F(ThreadTest, KeepsRunningWhenItsObjectIsClosed) {
    {
        Thread thread;
        ASSERT_TRUE(thread.start(&work, &w));
    }
    w.go.set();
    EXPECT_EQ(w.done.wait(kInfinite), WaitResult::signalled);
    EXPECT_EQ(w.runs, 1);
}

TEST_F(ThreadTest, AnInjectedFaultStartsNothing) {
    Thread thread;
    injectFault(Fault::threadStart);
    EXPECT_FALSE(thread.start(&work, &w));
    clearFaults();
    w.go.set();
    EXPECT_TRUE(thread.waitFinished(0));
    EXPECT_EQ(w.runs, 0);
}

}  // namespace
}  // namespace kervale::platform
