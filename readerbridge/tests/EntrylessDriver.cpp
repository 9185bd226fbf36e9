// A library named like the reader driver that loads but exports none of the driver's entries.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) std::int32_t WinVersaoDq4Hn() { return 1; }
