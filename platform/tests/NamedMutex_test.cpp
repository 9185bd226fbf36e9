// The machine-wide mutex: one owning thread across processes, and `abandoned` after an owner
// that ended while owning it.
#include "NamedMutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "ForkedChild.h"
#include "SharedMemory.h"
#include "TempRoot.h"

namespace kervale::platform {
namespace {

constexpr char kName[] = "MutexLog";

TEST(NamedMutexTest, OneOwnerAmongThreads) {
    testing::TempRoot root;
    NamedMutex m;
    ASSERT_TRUE(m.open(kName));
    long counter = 0;  // guarded only by the named mutex (ThreadSanitizer checks it)
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                ASSERT_EQ(m.lock(), LockResult::owned);
                ++counter;
                m.unlock();
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(counter, 2000);
}

TEST(NamedMutexTest, AnotherProcessWaitsForTheOwner) {
    testing::TempRoot root;
    SharedMemory block;
    ASSERT_TRUE(block.open("Probe", 8));
    auto* stage = static_cast<std::atomic<int>*>(block.mapView());
    ASSERT_NE(stage, nullptr);

    testing::ForkedChild child([](testing::ForkedChild& self) {
        NamedMutex m;
        SharedMemory probe;
        if (!m.open(kName) || !probe.open("Probe", 8)) return 1;
        auto* seen = static_cast<std::atomic<int>*>(probe.mapView());
        if (m.lock() != LockResult::owned) return 2;
        seen->store(1);
        self.signal();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // holds the mutex a while
        seen->store(2);
        m.unlock();
        return 0;
    });
    ASSERT_TRUE(child.await());
    NamedMutex m;
    ASSERT_TRUE(m.open(kName));
    ASSERT_EQ(m.lock(), LockResult::owned);
    EXPECT_EQ(stage->load(), 2) << "the lock was granted while the child owned it";
    m.unlock();
    EXPECT_EQ(child.wait(), 0);
    block.unmapView(stage);
}

TEST(NamedMutexTest, AbandonedWhenTheOwningProcessDies) {
    testing::TempRoot root;
    NamedMutex m;
    ASSERT_TRUE(m.open(kName));  // keeps the object alive across the child's death
    testing::ForkedChild child([](testing::ForkedChild& self) {
        NamedMutex mine;
        if (!mine.open(kName) || mine.lock() != LockResult::owned) return 1;
        self.signal();
        self.await();  // until killed
        return 0;
    });
    ASSERT_TRUE(child.await());
    child.kill();
    child.wait();
    EXPECT_EQ(m.lock(), LockResult::abandoned);
    m.unlock();
    EXPECT_EQ(m.lock(), LockResult::owned);
    m.unlock();
}

TEST(NamedMutexTest, AbandonedWhenTheOwningThreadEnds) {
    testing::TempRoot root;
    NamedMutex m;
    ASSERT_TRUE(m.open(kName));
    std::thread([&] { ASSERT_EQ(m.lock(), LockResult::owned); }).join();
    EXPECT_EQ(m.lock(), LockResult::abandoned);
    m.unlock();
    EXPECT_EQ(m.lock(), LockResult::owned);
    m.unlock();
}

TEST(NamedMutexTest, SeparateRootsNeverMeet) {
    testing::TempRoot first;
    NamedMutex one;
    ASSERT_TRUE(one.open(kName));
    ASSERT_EQ(one.lock(), LockResult::owned);
    {
        testing::TempRoot second;
        testing::ForkedChild child([](testing::ForkedChild&) {
            NamedMutex other;
            if (!other.open(kName) || other.lock() != LockResult::owned) return 1;
            other.unlock();
            return 0;
        });
        EXPECT_EQ(child.wait(), 0);
    }
    one.unlock();
}

}  // namespace
}  // namespace kervale::platform
