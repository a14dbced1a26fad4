#include "payload/Initializer.h"

CTavoInitalizer theInitializer;
