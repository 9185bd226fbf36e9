// The library's face to its process: attach and detach, run when the library is loaded and
// unloaded (the platform's entry glue calls them), and the client call GravaLog (kervale.h).
#pragma once

namespace kervale {

// Creates or opens "LogVarGlobal", "MutexLog" and "EventServLog" and this process's stop event.
// Starts nothing. Calling it again while attached does nothing.
void attach();

// If this process hosts the server, asks it to stop and waits (bounded) until it has handled
// every waiting message and ended; a server hosted by another process is never touched. Then
// closes the handles. Calls of GravaLog made afterwards return 1 and deliver nothing.
void detach();

}  // namespace kervale
