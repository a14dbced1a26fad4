#include "app/StartupSeams.h"

#include "app/App.h"
#include "framework/WinApp.h"
#include "logging/LogFile.h"
#include "payload/Initializer.h"
#include "app/WizardRun.h"


namespace startup_seams {

void RunWizard(CZelSelfExtractorUIApp& app, int dispatch) { RunTavoWizard(app, dispatch); }

void ReleaseWindows(CZelSelfExtractorUIApp&) {}

}  // namespace startup_seams
