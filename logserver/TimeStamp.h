// The two time texts of the log: a record's stamp and the header's start time.
#pragma once

#include "ServerState.h"

namespace kervale {

// "dd/mm/yyyy hh:mm:ss" of the local time; "01/09/1998 00:00:00" when it cannot be had.
void makeStamp(const ServerState& state, char (&stamp)[20]);

// The 24-character time text of the header, e.g. "Tue Mar 05 09:07:03 2024" (day zero-padded,
// no line end); "Sun Sep 01 00:00:00 1998" when the local time cannot be had.
void makeTimeText(const ServerState& state, char (&text)[25]);

}  // namespace kervale
