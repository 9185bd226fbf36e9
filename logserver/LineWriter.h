// Writes every record line of the log: a full line, or a collapse update of the last full line.
#pragma once

#include <cstdint>

#include "ServerState.h"

namespace kervale {

inline constexpr std::int16_t kFullLine = 1;
inline constexpr std::int16_t kCollapseUpdate = 2;
inline constexpr Status kWriteFailed = 2;

// Removes the record's kind byte (the record keeps the stripped form), then writes it to
// state.log in the given form. Gives 0, or kWriteFailed when the last write failed or the form is
// neither kFullLine nor kCollapseUpdate.
Status writeLine(ServerState& state, LogRecord& record, std::int16_t form);

}  // namespace kervale
