#include "SharedMemory.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "FaultInjection.h"
#include "Win32Test.h"

namespace kervale::platform {
namespace {

using testing::runChild;
using testing::uniqueName;

constexpr std::size_t kSize = 7164;
constexpr unsigned char kParentByte = 0x5A;
constexpr unsigned char kChildByte = 0xA5;
constexpr int kDied = 7;

bool allBytesAre(const void* view, std::size_t size, unsigned char value) {
    const auto* bytes = static_cast<const unsigned char*>(view);
    return std::all_of(bytes, bytes + size, [value](unsigned char b) { return b == value; });
}

// Child: finds the parent's bytes in the first half of the block and fills the second half.
KERVALE_CHILD_ROLE(answerInBlock) {
    SharedMemory area;
    if (!area.open(args.at(0).c_str(), kSize)) return 10;
    auto* view = static_cast<unsigned char*>(area.mapView());
    if (view == nullptr) return 11;
    const bool found = allBytesAre(view, kSize / 2, kParentByte);
    std::memset(view + kSize / 2, kChildByte, kSize - kSize / 2);
    area.unmapView(view);
    return found ? 0 : 12;
}

// Child: fills the block and is killed while it holds the block and a view of it.
KERVALE_CHILD_ROLE(fillBlockAndDie) {
    SharedMemory area;
    if (!area.open(args.at(0).c_str(), kSize)) return 10;
    void* view = area.mapView();
    if (view == nullptr) return 11;
    std::memset(view, kChildByte, kSize);
    ::TerminateProcess(::GetCurrentProcess(), kDied);
    return 12;
}

TEST(SharedMemoryTest, NewBlockIsZeroFilledAndSharedWithAnotherProcess) {
    const std::string name = uniqueName("area");
    SharedMemory area;
    ASSERT_TRUE(area.open(name.c_str(), kSize));
    auto* view = static_cast<unsigned char*>(area.mapView());
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(allBytesAre(view, kSize, 0));

    std::memset(view, kParentByte, kSize / 2);
    EXPECT_EQ(runChild("answerInBlock", {name}), 0);
    EXPECT_TRUE(allBytesAre(view + kSize / 2, kSize - kSize / 2, kChildByte));
    area.unmapView(view);
}

TEST(SharedMemoryTest, AViewKeepsTheBlockAndANewLifeStartsZeroFilled) {
    const std::string name = uniqueName("area");
    void* kept = nullptr;
    {
        SharedMemory area;
        ASSERT_TRUE(area.open(name.c_str(), kSize));
        kept = area.mapView();
        ASSERT_NE(kept, nullptr);
        std::memset(kept, kParentByte, kSize);
    }

    SharedMemory again;
    ASSERT_TRUE(again.open(name.c_str(), kSize));
    void* view = again.mapView();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(allBytesAre(view, kSize, kParentByte));
    again.unmapView(view);
    again.unmapView(kept);
    again = SharedMemory();

    SharedMemory fresh;
    ASSERT_TRUE(fresh.open(name.c_str(), kSize));
    view = fresh.mapView();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(allBytesAre(view, kSize, 0));
    fresh.unmapView(view);
}

TEST(SharedMemoryTest, ABlockHeldOnlyByAKilledProcessIsGone) {
    const std::string name = uniqueName("area");
    ASSERT_EQ(runChild("fillBlockAndDie", {name}), kDied);

    SharedMemory area;
    ASSERT_TRUE(area.open(name.c_str(), kSize));
    void* view = area.mapView();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(allBytesAre(view, kSize, 0));
    area.unmapView(view);
}

TEST(SharedMemoryTest, AnInjectedFaultFailsOneMapping) {
    SharedMemory area;
    ASSERT_TRUE(area.open(uniqueName("area").c_str(), kSize));
    injectFault(Fault::mapView);
    EXPECT_EQ(area.mapView(), nullptr);
    void* view = area.mapView();
    EXPECT_NE(view, nullptr);
    area.unmapView(view);
    clearFaults();
}

}  // namespace
}  // namespace kervale::platform
