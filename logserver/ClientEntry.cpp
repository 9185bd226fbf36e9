#include "ClientEntry.h"

#include <atomic>
#include <chrono>
#include <memory>

#include "LibraryHandles.h"
#include "Server.h"

namespace kervale {

namespace {

// The process's handles. Plain pointers with no destructor of their own: at process exit the
// runtime destroys static objects before the library's detach runs, and a server thread may
// still use them until detach has stopped it.
std::atomic<LibraryHandles*> attached{nullptr};
std::atomic<int> callsInFlight{0};

constexpr std::uint32_t kCallsDrainWaitMs = 5000;
// A write fails when the server it reached is stopping; each further attempt looks again under
// "MutexLog" and finds or starts the next server.
constexpr int kDeliveryAttempts = 4;

// Counts a GravaLog call in flight, so that detach does not free what the call uses.
class CallGuard {
  public:
    CallGuard() { ++callsInFlight; }
    ~CallGuard() { --callsInFlight; }
    CallGuard(const CallGuard&) = delete;
    CallGuard& operator=(const CallGuard&) = delete;
};

// Under "MutexLog": makes sure a server owns the slot and that "EventServLog" says so. True when
// the slot is reachable.
bool ensureServer(LibraryHandles& library) {
    const platform::LockResult locked = library.mutex.lock();
    if (locked == platform::LockResult::failed) return true;  // cannot test; the send will tell
    // An abandoned mutex only means its owner died, perhaps while starting a server: the test
    // below is what tells whether one runs, so it is made all the same.
    bool reachable = library.writer.reconnect();
    if (reachable) {
        if (!library.serverRunning.isSet()) library.serverRunning.set();  // lost by a failed start
    } else {
        // No server, or its host was killed and left the event set: start one here.
        library.serverRunning.reset();
        reachable = startServer(library) && library.writer.reconnect();
    }
    library.mutex.unlock();
    return reachable;
}

void deliver(LibraryHandles& library, const void* message) {
    // Fast path: a server runs and takes the message.
    if (library.serverRunning.isSet() && library.writer.send(message, kMessageSize)) return;
    for (int attempt = 0; attempt < kDeliveryAttempts; ++attempt) {
        if (!ensureServer(library)) return;  // no server could be started: the message is lost
        if (library.writer.send(message, kMessageSize)) return;
    }
}

bool waitForCalls(std::uint32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (callsInFlight.load() != 0) {
        if (Clock::now() > deadline) return false;
        platform::sleepMs(1);
    }
    return true;
}

}  // namespace

void attach() {
    if (attached.load() != nullptr) return;
    auto library = std::make_unique<LibraryHandles>();
    // Failures are not looked at here: a missing object makes the calls deliver nothing, and
    // loading the library never fails on their account.
    library->area.open(kAreaName, kAreaSize);
    library->mutex.open(kMutexName);
    library->serverRunning.openNamed(kServerEventName);
    library->serverStopped.createUnnamed();
    attached.store(library.release());
}

void detach(OtherThreads others) {
    std::unique_ptr<LibraryHandles> library(attached.exchange(nullptr));
    if (!library) return;
    if (others == OtherThreads::ended) {
        // No call is in flight any more, and the server thread, if this process hosts one, has
        // gone without its last steps: they are taken here, so that what waits in the slot is
        // logged and the next call anywhere starts a new server. The handles are left to the
        // system, which closes them as the process ends: an ended thread may have left any of
        // the objects behind them in the middle of a change.
        if (library->hosting != 0) {
            library->hosting = 0;
            finishServer(*library);
        }
        library.release();
        return;
    }
    bool idle = waitForCalls(kCallsDrainWaitMs);
    if (idle && library->hosting != 0) {
        library->hosting = 0;
        // Only this process's own thread is asked to stop, in process: a server that another
        // process hosts is never stopped by this detach.
        library->stopRequested.store(true);
        if (others == OtherThreads::canEnd)
            idle = library->serverThread.waitFinished(kServerEndWaitMs);
        else  // its stop event is its last act with the handles
            idle = library->serverStopped.wait(kServerEndWaitMs) == platform::WaitResult::signalled;
    }
    // Something still uses the handles (a call or the server thread did not finish in time):
    // they are left to it rather than freed under it.
    if (!idle) library.release();
}

}  // namespace kervale

extern "C" KERVALE_API int32_t KERVALE_CALL GravaLog(const void* msg) {
    kervale::CallGuard guard;
    kervale::LibraryHandles* library = kervale::attached.load();
    if (library != nullptr && msg != nullptr) kervale::deliver(*library, msg);
    return 1;
}
