#include "TallyTable.h"
