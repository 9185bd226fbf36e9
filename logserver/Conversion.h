// Turns a received message into a record, checking every field.
#pragma once

#include <cstdint>

#include "LogMessage.h"
#include "ServerState.h"

namespace kervale {

// Fills `record` from the message. A defective message leaves a rejection record (level 0x83,
// data = the defect codes); when its type was accepted, a raw copy of its fields is first written
// through logDirect (mode TODOS) or handleFault (mode XEVENTOS).
void convertMessage(ServerState& state, LogRecord& record, const LogMessage& message);

// The printable form of data: the kind byte, then hex digits (binary) or the text up to a NUL.
// `length` counts the source bytes, kind byte included (0 to 255). destination holds 256 bytes.
void formatData(char (&destination)[256], const std::uint8_t* source, int length);

}  // namespace kervale
