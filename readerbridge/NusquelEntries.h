// The reader driver library as the bridge uses it: its base name, and its four entries with their
// names, argument order and convention. The driver simulator and the test drivers export exactly
// these. A driver must not keep a buffer's address after the entry returns: the bridge releases
// the buffer once it has copied it into the Java array.
#pragma once

#include <cstdint>

#include "DriverConvention.h"

namespace tarvinel {

inline constexpr char kDriverBaseName[] = "nusquel";

inline constexpr char kStartReadEntry[] = "WinStartLeAssincronoDq4Hn";
inline constexpr char kCancelReadEntry[] = "WinCancelaLeituraDq4Hn";
inline constexpr char kCollectReadEntry[] = "WinLeAssincronoDq4Hn";
inline constexpr char kSyncReadEntry[] = "WinLeSincronoDq4Hn";

// Every entry returns a 32-bit integer whose meaning is the driver's.
using StartRead = std::int32_t(NUSQUEL_CALL*)(std::int32_t a, std::int32_t* b);
using CancelRead = std::int32_t(NUSQUEL_CALL*)();
using CollectRead = std::int32_t(NUSQUEL_CALL*)(std::int32_t* a, unsigned char* buffer);
using SyncRead = std::int32_t(NUSQUEL_CALL*)(std::int32_t a, std::int32_t* b, unsigned char* buffer);

}  // namespace tarvinel
