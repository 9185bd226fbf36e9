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
//
// kFullLine appends the line at the end of the log, in pieces of 80 characters unless the data is
// unwrapped text, and stores where it began in area->lastLinePos.
// kCollapseUpdate rewrites the first 70 characters of the line at lastLinePos (the record's fields
// with its repeats and the current time); the file keeps its length. When that position does not
// hold the line of an equal record after the tally block (unknown, past the end, in the header, a
// line of another file), the record is appended as a full line instead, with the same repeats.
Status writeLine(ServerState& state, LogRecord& record, std::int16_t form);

}  // namespace kervale
