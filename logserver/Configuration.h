// Reads the settings from the initialization file into the shared area.
#pragma once

#include "ServerState.h"

namespace kervale {

inline constexpr char kConfigFile[] = "QUENDAL.INI";

// Sets mode, window, maxLogSize (in bytes), configText and logDir (without its trailing "/").
void loadConfig(ServerState& state);

}  // namespace kervale
