// Manual-reset events: named ones shared by the processes of one root, unnamed ones private.
#include "Event.h"

#include <gtest/gtest.h>

#include <thread>

#include "ForkedChild.h"
#include "TempRoot.h"

namespace kervale::platform {
namespace {

constexpr char kName[] = "EventServLog";

TEST(EventTest, NamedEventWakesAnotherProcessAndStaysSetUntilReset) {
    testing::TempRoot root;
    Event event;
    ASSERT_TRUE(event.openNamed(kName));
    EXPECT_FALSE(event.isSet());
    testing::ForkedChild child([](testing::ForkedChild& self) {
        Event mine;
        if (!mine.openNamed(kName)) return 1;
        self.signal();
        return mine.wait(kInfinite) == WaitResult::signalled ? 0 : 2;
    });
    ASSERT_TRUE(child.await());
    event.set();
    EXPECT_EQ(child.wait(), 0);
    EXPECT_TRUE(event.isSet());
    EXPECT_TRUE(event.isSet());
    event.reset();
    EXPECT_EQ(event.wait(20), WaitResult::timeout);
}

TEST(EventTest, ANewLifeStartsNotSignalled) {
    testing::TempRoot root;
    {
        Event event;
        ASSERT_TRUE(event.openNamed(kName));
        event.set();
        Event second;
        ASSERT_TRUE(second.openNamed(kName));
        EXPECT_TRUE(second.isSet());
    }
    Event again;
    ASSERT_TRUE(again.openNamed(kName));
    EXPECT_FALSE(again.isSet());
}

TEST(EventTest, AKilledHolderLeavesNoSignalledEvent) {
    testing::TempRoot root;
    testing::ForkedChild child([](testing::ForkedChild& self) {
        Event mine;
        if (!mine.openNamed(kName)) return 1;
        mine.set();
        self.signal();
        self.await();  // until killed
        return 0;
    });
    ASSERT_TRUE(child.await());
    child.kill();
    child.wait();
    Event event;
    ASSERT_TRUE(event.openNamed(kName));
    EXPECT_FALSE(event.isSet());
}

TEST(EventTest, UnnamedEventsArePrivateAndWakeWaitingThreads) {
    testing::TempRoot root;
    Event first;
    Event second;
    ASSERT_TRUE(first.createUnnamed());
    ASSERT_TRUE(second.createUnnamed());
    std::thread waiter([&] { EXPECT_EQ(first.wait(kInfinite), WaitResult::signalled); });
    first.set();
    waiter.join();
    EXPECT_FALSE(second.isSet());
    EXPECT_EQ(Event{}.wait(0), WaitResult::failed);
}

}  // namespace
}  // namespace kervale::platform
