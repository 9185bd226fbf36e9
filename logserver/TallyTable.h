// Per-unit totals of the amounts logged, kept in the tally block of the current log's header.
#pragma once

#include <cstdint>

#include "ServerState.h"

namespace kervale {

inline constexpr Status kNoTallyBlock = 6;  // heading not found, no block known, or table full

// Reloads the table (and tallyPos) from the open log's tally block. 0, or kNoTallyBlock.
Status readTallies(ServerState& state);

// Writes the table over the block at tallyPos. 0, or kNoTallyBlock when no block is known.
Status writeTallies(ServerState& state);

// Adds the amount to the unit's total and rewrites the block. 0, or kNoTallyBlock when the table
// is full and the unit is not in it.
Status addTally(ServerState& state, const char* unit, std::uint16_t amount);

}  // namespace kervale
