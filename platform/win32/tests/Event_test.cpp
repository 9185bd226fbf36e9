#include "Event.h"

#include <gtest/gtest.h>

#include "Win32Test.h"

namespace kervale::platform {
namespace {

using testing::ChildProcess;
using testing::kProcessBound;
using testing::runChild;
using testing::uniqueName;

KERVALE_CHILD_ROLE(setEvent) {
    Event event;
    if (!event.openNamed(args.at(0).c_str())) return 2;
    event.set();
    return 0;
}

KERVALE_CHILD_ROLE(waitForEvent) {
    Event event;
    if (!event.openNamed(args.at(0).c_str())) return 2;
    return event.wait(kProcessBound) == WaitResult::signalled ? 0 : 3;
}

TEST(EventTest, ANamedEventIsSharedAndStaysSetUntilReset) {
    const std::string name = uniqueName("event");
    Event event;
    ASSERT_TRUE(event.openNamed(name.c_str()));
    EXPECT_FALSE(event.isSet());

    EXPECT_EQ(runChild("setEvent", {name}), 0);
    EXPECT_EQ(event.wait(kInfinite), WaitResult::signalled);
    EXPECT_EQ(event.wait(0), WaitResult::signalled);
    event.reset();
    EXPECT_EQ(event.wait(0), WaitResult::timeout);

    ChildProcess waiter;
    ASSERT_TRUE(waiter.start("waitForEvent", {name}));
    event.set();
    EXPECT_EQ(waiter.wait(), 0);
}

TEST(EventTest, ANamedEventLivesWhileHeldAndStartsAgainUnsignalled) {
    const std::string name = uniqueName("event");
    {
        Event first;
        ASSERT_TRUE(first.openNamed(name.c_str()));
        first.set();
        Event second;
        ASSERT_TRUE(second.openNamed(name.c_str()));
        EXPECT_TRUE(second.isSet());
    }
    Event again;
    ASSERT_TRUE(again.openNamed(name.c_str()));
    EXPECT_FALSE(again.isSet());
}

TEST(EventTest, UnnamedEventsAreSeparate) {
    Event one;
    Event other;
    ASSERT_TRUE(one.createUnnamed());
    ASSERT_TRUE(other.createUnnamed());
    one.set();
    EXPECT_TRUE(one.isSet());
    EXPECT_FALSE(other.isSet());
    EXPECT_EQ(Event().wait(0), WaitResult::failed);
}

}  // namespace
}  // namespace kervale::platform
