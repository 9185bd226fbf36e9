// What the server does with one received message.
#pragma once

#include "LogMessage.h"
#include "ServerState.h"

namespace kervale {

// Configures (while unconfigured), opens or creates the log, rotates it, converts the message,
// tallies its amount, routes the record by level and mode, and closes the log.
void handleMessage(ServerState& state, const LogMessage& message);

}  // namespace kervale
