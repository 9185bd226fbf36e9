#include "NamedMutex.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "Win32Test.h"

namespace kervale::platform {
namespace {

using testing::ChildProcess;
using testing::runChild;
using testing::uniqueName;

constexpr int kEnded = 7;

int codeOf(LockResult result) { return 10 + static_cast<int>(result); }

// Child: locks, tells what the lock gave through its exit code, and unlocks.
KERVALE_CHILD_ROLE(lockAndUnlock) {
    NamedMutex mutex;
    if (!mutex.open(args.at(0).c_str())) return 2;
    const LockResult result = mutex.lock();
    mutex.unlock();
    return codeOf(result);
}

// Child: locks and ends while it owns the mutex, by returning ("exit") or killed ("kill").
KERVALE_CHILD_ROLE(lockAndEnd) {
    NamedMutex mutex;
    if (!mutex.open(args.at(0).c_str()) || mutex.lock() != LockResult::owned) return 2;
    if (args.at(1) == "kill") ::TerminateProcess(::GetCurrentProcess(), kEnded);
    return kEnded;
}

TEST(NamedMutexTest, OwnedByOneProcessAtATime) {
    const std::string name = uniqueName("mutex");
    NamedMutex mutex;
    ASSERT_TRUE(mutex.open(name.c_str()));
    ASSERT_EQ(mutex.lock(), LockResult::owned);

    ChildProcess child;
    ASSERT_TRUE(child.start("lockAndUnlock", {name}));
    EXPECT_FALSE(child.endsWithin(300)) << "the child got the mutex while the parent owned it";
    mutex.unlock();
    EXPECT_EQ(child.wait(), codeOf(LockResult::owned));
    EXPECT_EQ(mutex.lock(), LockResult::owned);
    mutex.unlock();
}

TEST(NamedMutexTest, AnOwnerThatEndsLeavesItAbandonedOnce) {
    for (const char* how : {"exit", "kill"}) {
        SCOPED_TRACE(how);
        const std::string name = uniqueName("mutex");
        NamedMutex mutex;
        ASSERT_TRUE(mutex.open(name.c_str()));
        ASSERT_EQ(runChild("lockAndEnd", {name, how}), kEnded);

        EXPECT_EQ(mutex.lock(), LockResult::abandoned);
        mutex.unlock();
        EXPECT_EQ(runChild("lockAndUnlock", {name}), codeOf(LockResult::owned));
    }
}

TEST(NamedMutexTest, AMutexNeverOpenedFails) {
    NamedMutex mutex;
    EXPECT_EQ(mutex.lock(), LockResult::failed);
}

}  // namespace
}  // namespace kervale::platform
