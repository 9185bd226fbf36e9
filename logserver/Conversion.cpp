#include "Conversion.h"
