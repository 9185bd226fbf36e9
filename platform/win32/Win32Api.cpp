#include "win32/Win32Api.h"

namespace kervale::platform::win32 {

Failure lastFailure() {
    switch (::GetLastError()) {
    case ERROR_IO_PENDING:
        return Failure::pending;
    case ERROR_HANDLE_EOF:
        return Failure::endOfFile;
    case ERROR_SEM_TIMEOUT:
        return Failure::timedOut;
    case ERROR_INSUFFICIENT_BUFFER:
    case ERROR_MORE_DATA:
        return Failure::bufferTooSmall;
    case ERROR_BROKEN_PIPE:
        return Failure::brokenPipe;
    case ERROR_SHARING_VIOLATION:
        return Failure::sharingViolation;
    default:
        return Failure::other;
    }
}

}  // namespace kervale::platform::win32
