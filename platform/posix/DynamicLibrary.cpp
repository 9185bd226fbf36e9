#include "DynamicLibrary.h"
