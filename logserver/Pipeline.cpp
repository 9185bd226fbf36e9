#include "Pipeline.h"
