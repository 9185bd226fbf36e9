#include "LogFile.h"
