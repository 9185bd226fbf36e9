// The message layout that clients send, checked byte for byte: it crosses process boundaries.
#pragma once

#include <bit>
#include <cstddef>
#include <type_traits>

#include "kervale.h"

namespace kervale {

static_assert(std::endian::native == std::endian::little, "the binary layouts are little-endian");

inline constexpr std::size_t kMessageSize = 296;
inline constexpr std::size_t kStopMessageSize = 6;
inline constexpr char kStopMessage[] = "SEMREG";  // sent without its terminator

static_assert(std::is_standard_layout_v<LogMessage> && std::is_trivially_copyable_v<LogMessage>);
static_assert(sizeof(LogMessage) == kMessageSize);
static_assert(offsetof(LogMessage, msgType) == 0);
static_assert(offsetof(LogMessage, level) == 4);
static_assert(offsetof(LogMessage, unit) == 5);
static_assert(offsetof(LogMessage, amount) == 8);
static_assert(offsetof(LogMessage, code1) == 12);
static_assert(offsetof(LogMessage, code2) == 13);
static_assert(offsetof(LogMessage, gap1) == 14);
static_assert(offsetof(LogMessage, value1) == 16);
static_assert(offsetof(LogMessage, value2) == 20);
static_assert(offsetof(LogMessage, label) == 24);
static_assert(offsetof(LogMessage, dataLen) == 36);
static_assert(offsetof(LogMessage, data) == 37);
static_assert(offsetof(LogMessage, gap2) == 292);

}  // namespace kervale
