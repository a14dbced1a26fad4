// The platform utilities object: paths and folders, system queries and
// process launching.
#pragma once

#include "platform/UtilLaunch.h"
#include "platform/UtilPaths.h"
#include "platform/UtilSystem.h"

class CUtil : public CUtilPaths, public CUtilSystem, public CUtilLaunch {};

extern CUtil theUtil;
