// The server thread's process-local state: what the host keeps besides the shared area.
#pragma once

#include "BufferedFile.h"
#include "Clock.h"
#include "LogRecord.h"
#include "SharedArea.h"

namespace kervale {

struct ServerState {
    SharedArea* area = nullptr;  // the mapped shared area (or an ordinary one in tests)
    BufferedFile log;            // the current log while one message is handled
    LogRecord pendingScratch{};  // work records of compareQueues and flushPending
    LogRecord flushedScratch{};
    bool (*localTime)(platform::CivilTime&) = &platform::localTime;  // tests may fix the time
};

}  // namespace kervale
