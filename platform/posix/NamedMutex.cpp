#include "NamedMutex.h"
