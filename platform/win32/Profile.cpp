#include "Profile.h"
