// A client that links kervale.dll through its import library and kervale.h, as a module of a
// workstation would: building it checks that the header's declaration (stdcall, GravaLog@4 on
// i686) meets what the import library offers. Run, it sends one message.
#include "kervale.h"

int main() {
    LogMessage message{};
    message.msgType = KERVALE_TYPE_13;
    message.level = KERVALE_LEVEL_EVENT0;
    return GravaLog(&message) == 1 ? 0 : 1;
}
