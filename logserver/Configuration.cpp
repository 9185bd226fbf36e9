#include "Configuration.h"
