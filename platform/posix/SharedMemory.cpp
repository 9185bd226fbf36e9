#include "SharedMemory.h"
