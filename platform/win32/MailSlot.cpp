#include "MailSlot.h"
