// A library that the dynamic loading tests load, resolve and pin.
#include "Thread.h"

extern "C" __declspec(dllexport) int kvTestAnswer(int question) { return question + 42; }

extern "C" __declspec(dllexport) void kvTestPin() { kervale::platform::pinLibrary(); }
