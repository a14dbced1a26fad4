#include "app/StartupSeams.h"

#include "app/App.h"
#include "framework/WinApp.h"
#include "logging/LogFile.h"
#include "payload/Initializer.h"


namespace startup_seams {

int InitPackage(const CommandLineSettings& settings) { return theInitializer.Init(settings); }

void LoadBannerImages(CZelSelfExtractorUIApp&) {}

bool CheckPassword(CZelSelfExtractorUIApp&, const std::wstring&) { return true; }

void RunFrontEnd(CZelSelfExtractorUIApp&, int) {}

void ReleaseWindows(CZelSelfExtractorUIApp&) {}

}  // namespace startup_seams
