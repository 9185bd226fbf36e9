// Per-unit totals of the amounts logged, kept in the tally block of the current log's header.
#pragma once

#include <cstdint>

#include "ServerState.h"

namespace kervale {

inline constexpr Status kNoTallyBlock = 6;  // heading not found, no block known, or table full

// The block reserved under the heading: spaces and a line end, overwritten by up to 16 tally
// lines "%3.3s %10lu\r\n" of 16 bytes each.
inline constexpr int kTallyBlockSpaces = 512;

// Reloads the table (and tallyPos) from the open log's tally block. 0, or kNoTallyBlock when the
// log has no intact block under its heading: the table is then empty and tallyPos 0, so that
// nothing is written into a file whose block is unknown. Units padded on the left by the tally
// line read back without their padding.
Status readTallies(ServerState& state);

// Writes the table over the block at tallyPos. 0, or kNoTallyBlock when no block is known.
Status writeTallies(ServerState& state);

// Adds the amount to the unit's total and rewrites the block. Units that print alike in a tally
// line share a total ("AB" and " AB", "" and "   "). 0, or kNoTallyBlock when the table is full
// and the unit is not in it, or when the unit cannot stand in a tally line (a line end in it, or
// 0xFF first, the end mark).
Status addTally(ServerState& state, const char* unit, std::uint16_t amount);

}  // namespace kervale
