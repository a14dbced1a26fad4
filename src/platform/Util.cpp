#include "platform/Util.h"

CUtil theUtil;
