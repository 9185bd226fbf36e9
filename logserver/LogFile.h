// The log files: the current log "VANTEX.LOG" and the previous log "VANTEX.ANT" in the log
// directory, their headers, and rotation at the size limit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ServerState.h"

namespace kervale {

inline constexpr Status kCannotOpen = 1;
inline constexpr Status kCannotCreate = 3;

// The full header lists the keys of [MAQUINA] from a name list of this size, so it holds at most
// 127 machine lines; each value is cut to 63 characters.
inline constexpr std::size_t kMachineListSize = 256;
inline constexpr std::size_t kMachineValueSize = 64;

inline constexpr std::int16_t kFullHeader = 1;
inline constexpr std::int16_t kStartBlock = 2;

// Reads the configuration, prepares the directory, sets banner and tallyHeading, and in mode
// XEVENTOS sets up both queues.
void configure(ServerState& state);

Status openLog(ServerState& state);    // 0 (positioned at the end), or kCannotOpen
Status createLog(ServerState& state);  // 0 (full header written), or kCannotCreate
Status rotateLog(ServerState& state);  // 0, or kCannotCreate when the fresh log cannot be made
Status closeLog(ServerState& state);   // 0
void writeHeader(ServerState& state, std::int16_t kind);
void reserveTallyBlock(ServerState& state);

}  // namespace kervale
