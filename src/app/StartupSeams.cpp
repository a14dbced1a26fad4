#include "app/StartupSeams.h"

#include "app/App.h"
#include "framework/WinApp.h"
#include "logging/LogFile.h"
#include "payload/Initializer.h"


namespace startup_seams {

void RunWizard(CZelSelfExtractorUIApp&, int) {}

void ReleaseWindows(CZelSelfExtractorUIApp&) {}

}  // namespace startup_seams
