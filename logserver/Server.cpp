#include "Server.h"

#include <chrono>
#include <cstring>

#include "FileSystem.h"
#include "Pipeline.h"

namespace kervale {

namespace {

// Longest wait of the receive loop when no message comes, so that a stop request is seen.
constexpr std::uint32_t kPassWaitMs = 30;

const LogMessage& receivedMessage(LibraryHandles& library, std::int32_t length) {
    // A short message is completed with zeros: nothing of the previous one is read as its own.
    if (length < static_cast<std::int32_t>(kMessageSize))
        std::memset(library.receiveBuffer + length, 0, kMessageSize - static_cast<std::size_t>(length));
    return *reinterpret_cast<const LogMessage*>(library.receiveBuffer);
}

// Hands the message to the pipeline, keeping what finishServer needs to handle it again.
void handle(LibraryHandles& library, const LogMessage& message) {
    library.areaBefore = *library.server.area;
    library.fileChangesBefore = platform::fileChanges();
    library.handling.store(true);
    handleMessage(library.server, message);
    library.handling.store(false);
}

bool isStopMessage(const LibraryHandles& library, std::int32_t length) {
    return length >= static_cast<std::int32_t>(kStopMessageSize) &&
           std::memcmp(library.receiveBuffer, kStopMessage, kStopMessageSize) == 0;
}

// One pass over the messages waiting now. A read that yields nothing (an empty message) still
// consumes its message, so a pass always ends. With `watchStop` a stop message ends the pass and
// the result is false; otherwise every message with content goes to the pipeline.
bool receivePass(LibraryHandles& library, platform::MailSlotServer& slot, bool watchStop) {
    std::uint32_t count = 0;
    std::uint32_t nextSize = 0;
    if (!slot.info(count, nextSize)) return !watchStop;
    for (; count > 0; --count) {
        const std::int32_t length = slot.read(library.receiveBuffer, kReceiveBufferSize);
        if (length < 0) break;  // nothing left after all
        if (length == 0) continue;
        if (watchStop && isStopMessage(library, length)) return false;
        handle(library, receivedMessage(library, length));
    }
    return true;
}

bool slotEmpty(platform::MailSlotServer& slot) {
    std::uint32_t count = 0;
    std::uint32_t nextSize = 0;
    return !slot.info(count, nextSize) || count == 0;
}

// The last steps, under "MutexLog" (see Server.h): no client can find the slot reachable while
// the event says otherwise, or start a server while this one still owns the slot. Nothing to do
// once the slot is closed, so a detach may take these steps for an ended thread whatever it had
// done.
void endServer(LibraryHandles& library) {
    platform::MailSlotServer& slot = library.slot;
    if (!slot.valid()) return;
    const bool owned = library.mutex.lock() != platform::LockResult::failed;
    slot.seal();
    while (!slotEmpty(slot)) receivePass(library, slot, false);
    // Closed at once after it was last found empty: where a slot cannot be sealed, a message
    // written later is lost with it.
    slot.close();
    void* view = library.server.area;
    library.server.area = nullptr;
    library.area.unmapView(view);
    library.serverRunning.reset();
    if (owned) library.mutex.unlock();
}

void serverMain(void* argument) {
    LibraryHandles& library = *static_cast<LibraryHandles*>(argument);
    platform::MailSlotServer& slot = library.slot;
    if (!slot.create(kSlotName)) {
        library.serverStopped.set();
        return;
    }
    // The area is mapped before clients are told to write, so a server that cannot map it never
    // receives a message: it ends at once and the starting client goes on.
    void* view = library.area.mapView();
    if (view == nullptr) {
        slot.close();
        library.serverStopped.set();
        return;
    }
    library.server.area = static_cast<SharedArea*>(view);
    library.serverRunning.set();

    // Receive loop: wakes as soon as a message arrives, or after a pass wait to see a stop request.
    while (!library.stopRequested.load() && receivePass(library, slot, true))
        slot.waitForMessage(kPassWaitMs);
    // Drain: what was waiting when the stop came.
    receivePass(library, slot, false);
    endServer(library);
    library.serverStopped.set();
}

}  // namespace

bool startServer(LibraryHandles& library) {
    // A previous server of this process has closed its slot already; let its thread finish.
    if (library.serverThread.valid() && !library.serverThread.waitFinished(kServerEndWaitMs))
        return false;
    library.serverStopped.reset();
    library.stopRequested.store(false);
    // The thread may outlive an unload of the library: its code must stay mapped.
    platform::pinLibrary();
    platform::Thread thread;
    if (!thread.start(&serverMain, &library)) return false;
    library.serverThread = std::move(thread);
    library.hosting = 1;

    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kServerStartWaitMs);
    while (Clock::now() < deadline) {
        if (library.serverRunning.wait(5) == platform::WaitResult::signalled) return true;
        if (library.serverStopped.isSet()) return false;  // it could not start
    }
    return false;
}

void finishServer(LibraryHandles& library) {
    // A system may end a thread a little after it was told to (Wine does it by a signal): what
    // the thread used is taken over only once it has gone.
    if (!library.serverThread.waitFinished(kServerEndWaitMs)) return;
    // A message that the thread was handling when it was ended. If nothing of it had reached the
    // disk, it is handled again from the area as it was before it. Otherwise the whole lines it
    // had buffered are stored (the writes are positioned: storing again what the thread may have
    // stored already changes nothing) and the rest is dropped, so no line is left cut; a line the
    // thread had not buffered whole is lost.
    if (library.handling.load() && library.server.area != nullptr) {
        if (platform::fileChanges() == library.fileChangesBefore) {
            library.server.log.abandon();
            *library.server.area = library.areaBefore;
            handleMessage(library.server,
                          *reinterpret_cast<const LogMessage*>(library.receiveBuffer));
        } else {
            library.server.log.closeAtLineEnd();
        }
    }
    endServer(library);
}

}  // namespace kervale
