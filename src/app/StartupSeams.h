// The steps of start-up and exit whose subsystems are not in the stub yet.
// Each function does the least that keeps a run sound; the subsystem that
// takes a step over replaces its function here with the real call.
#pragma once

#include "core/RunMode.h"

#include <windows.h>

#include <string>
#include <vector>

class CZelSelfExtractorUIApp;

namespace startup_seams {


// Returns the dispatch code: 520 quiet run ready, -1 stop, 1 or 0 full GUI.
// The full GUI front end (the wizard).
void RunWizard(CZelSelfExtractorUIApp& app, int dispatch);

void ReleaseWindows(CZelSelfExtractorUIApp& app);

}  // namespace startup_seams
