// The platform utilities object: paths and folders, and system queries.
#pragma once

#include "platform/UtilPaths.h"
#include "platform/UtilSystem.h"

class CUtil : public CUtilPaths, public CUtilSystem {};

extern CUtil theUtil;
