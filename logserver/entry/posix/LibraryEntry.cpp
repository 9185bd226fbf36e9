// Library entry on POSIX: the shared object's constructor and destructor attach and detach.
// The destructor also runs at process exit, which therefore counts as an unload.
#include "ClientEntry.h"

namespace {

__attribute__((constructor)) void libraryLoaded() { kervale::attach(); }

__attribute__((destructor)) void libraryUnloaded() { kervale::detach(kervale::OtherThreads::canEnd); }

}  // namespace
