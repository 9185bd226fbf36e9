#include "Repetition.h"
