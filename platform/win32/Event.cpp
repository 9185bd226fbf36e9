#include "Event.h"
