#include "Thread.h"

#include <gtest/gtest.h>

#include <atomic>

#include "Event.h"
#include "FaultInjection.h"

namespace kervale::platform {
namespace {

struct Work {
    Event release;
    std::atomic<int> runs{0};
};

void work(void* argument) {
    auto* w = static_cast<Work*>(argument);
    w->release.wait(kInfinite);
    ++w->runs;
}

TEST(ThreadTest, RunsAtOnceAndReportsItsEnd) {
    Work w;
    ASSERT_TRUE(w.release.createUnnamed());
    Thread thread;
    ASSERT_TRUE(thread.start(&work, &w));
    EXPECT_FALSE(thread.waitFinished(10));
    w.release.set();
    EXPECT_TRUE(thread.waitFinished(kInfinite));
    EXPECT_EQ(w.runs.load(), 1);
}

TEST(ThreadTest, OutlivesItsObjectAndHonoursStartFaults) {
    Work w;
    ASSERT_TRUE(w.release.createUnnamed());
    {
        Thread thread;
        ASSERT_TRUE(thread.start(&work, &w));
    }
    Thread probe;
    injectFault(Fault::threadStart);
    EXPECT_FALSE(probe.start(&work, &w));
    w.release.set();
    ASSERT_TRUE(probe.start(&work, &w));
    EXPECT_TRUE(probe.waitFinished(kInfinite));
    while (w.runs.load() < 2) sleepMs(1);
    pinLibrary();  // harmless in a program that is not a library, and idempotent
    pinLibrary();
    clearFaults();
}

}  // namespace
}  // namespace kervale::platform
