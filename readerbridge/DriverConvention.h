// The reader driver's calling convention. Empty here: the platform's own convention. The 32-bit
// Windows driver uses stdcall, and that build defines NUSQUEL_CALL as __stdcall (see CMakeLists).
#pragma once

#ifndef NUSQUEL_CALL
#define NUSQUEL_CALL
#endif
