// The start-up and exit steps that reach the front end: App.cpp calls these,
// so that it needs nothing of the wizard but this header.
#pragma once

#include "core/RunMode.h"

#include <windows.h>

#include <string>
#include <vector>

class CZelSelfExtractorUIApp;

namespace startup_seams {

// The full GUI front end (the wizard); dispatch is the initializer's 1 or 0.
void RunWizard(CZelSelfExtractorUIApp& app, int dispatch);

// Called on exit; the wizard has closed its windows by then.
void ReleaseWindows(CZelSelfExtractorUIApp& app);

}  // namespace startup_seams
