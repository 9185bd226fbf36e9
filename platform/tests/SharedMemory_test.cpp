// The shared area's lifetime: shared by every holder, zero-filled in a new life, released by a
// process that dies.
#include "SharedMemory.h"

#include <gtest/gtest.h>

#include <cstring>

#include "FaultInjection.h"
#include "ForkedChild.h"
#include "TempRoot.h"

namespace kervale::platform {
namespace {

constexpr std::size_t kSize = 7164;
constexpr char kName[] = "LogVarGlobal";

bool allZero(const void* view) {
    const auto* bytes = static_cast<const unsigned char*>(view);
    for (std::size_t i = 0; i < kSize; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

// Opens the block as a new holder and expects a new life: all zero.
void expectNewLife() {
    SharedMemory block;
    ASSERT_TRUE(block.open(kName, kSize));
    void* view = block.mapView();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(allZero(view));
    block.unmapView(view);
}

TEST(SharedMemoryTest, SharedBetweenProcessesAndZeroFilledWhenNew) {
    testing::TempRoot root;
    SharedMemory block;
    ASSERT_TRUE(block.open(kName, kSize));
    auto* view = static_cast<unsigned char*>(block.mapView());
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(allZero(view));
    view[0] = 1;
    view[kSize - 1] = 2;

    testing::ForkedChild child([](testing::ForkedChild&) {
        SharedMemory mine;
        if (!mine.open(kName, kSize)) return 1;
        auto* seen = static_cast<unsigned char*>(mine.mapView());
        if (seen == nullptr || seen[0] != 1 || seen[kSize - 1] != 2) return 2;
        seen[1] = 3;
        mine.unmapView(seen);
        return 0;
    });
    EXPECT_EQ(child.wait(), 0);
    EXPECT_EQ(view[1], 3);
    block.unmapView(view);
}

TEST(SharedMemoryTest, AViewKeepsTheBlockAndANewLifeStartsAtZero) {
    testing::TempRoot root;
    void* kept = nullptr;
    {
        SharedMemory block;
        ASSERT_TRUE(block.open(kName, kSize));
        kept = block.mapView();
        ASSERT_NE(kept, nullptr);
        std::memset(kept, 0x5A, kSize);
    }  // the object is closed; the view still holds the block
    {
        SharedMemory again;
        ASSERT_TRUE(again.open(kName, kSize));
        void* view = again.mapView();
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(static_cast<unsigned char*>(view)[100], 0x5A);
        again.unmapView(view);
    }
    SharedMemory{}.unmapView(kept);  // last holder gone

    expectNewLife();
}

TEST(SharedMemoryTest, AKilledHolderLeavesNoStaleBlock) {
    testing::TempRoot root;
    testing::ForkedChild child([](testing::ForkedChild& self) {
        SharedMemory block;
        if (!block.open(kName, kSize)) return 1;
        void* view = block.mapView();
        if (view == nullptr) return 2;
        std::memset(view, 0x77, kSize);
        self.signal();
        self.await();  // until killed
        return 0;
    });
    ASSERT_TRUE(child.await());
    child.kill();
    EXPECT_EQ(child.wait(), -1);

    expectNewLife();
}

TEST(SharedMemoryTest, SeparateRootsNeverMeetAndMapFaultsAreHonoured) {
    testing::TempRoot first;
    SharedMemory one;
    ASSERT_TRUE(one.open(kName, kSize));
    void* view = one.mapView();
    ASSERT_NE(view, nullptr);
    std::memset(view, 1, kSize);
    {
        testing::TempRoot second;
        SharedMemory other;
        ASSERT_TRUE(other.open(kName, kSize));
        void* otherView = other.mapView();
        ASSERT_NE(otherView, nullptr);
        EXPECT_TRUE(allZero(otherView));
        other.unmapView(otherView);
    }
    injectFault(Fault::mapView);
    EXPECT_EQ(one.mapView(), nullptr);
    void* again = one.mapView();
    EXPECT_NE(again, nullptr);
    one.unmapView(again);
    one.unmapView(view);
    clearFaults();
}

}  // namespace
}  // namespace kervale::platform
