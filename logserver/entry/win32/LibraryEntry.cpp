// Library entry on Windows: DllMain attaches and detaches. It returns TRUE for every reason, so
// loading never fails on the library's account.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "ClientEntry.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        kervale::attach();
        break;
    case DLL_PROCESS_DETACH:
        // A reserved pointer means the process is exiting: the system has ended every other
        // thread, the server thread included, wherever it was. Without one it is FreeLibrary,
        // which holds the loader lock that any thread needs to end.
        kervale::detach(reserved != nullptr ? kervale::OtherThreads::ended
                                            : kervale::OtherThreads::cannotEnd);
        break;
    default:
        break;
    }
    return TRUE;
}
