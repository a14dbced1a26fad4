#include "app/WizardRun.h"

#include "app/App.h"
#include "checks/ExtractorValidator.h"
#include "logging/LogFile.h"
#include "payload/Initializer.h"
#include "platform/SettingsFile.h"
#include "ui/TavoSheet.h"

void RunTavoWizard(CZelSelfExtractorUIApp& app, int dispatch) {
    CSettingsFile settings(theInitializer.SettingsFilePath);
    PageSequenceSettings sequence;
    sequence.LicenseDialog = settings.GetString(L"Dialogs", L"LicenseDialog");
    CTavoSheet sheet(app.DisplayName);
    sequence.WelcomeDialog = settings.GetString(L"Dialogs", L"WelcomeDialog");
    sequence.LanguageDialog = settings.GetString(L"Dialogs", L"LanguageDialog");
    sequence.ConditionCheck = theInitializer.NoConditionCheck == 0;
    theInitializer.SetFinishStatus(-1);
    sequence.AllowChangeTarget = theInitializer.AllowChangeTarget == 1;
    sequence.DefaultPathUsable = dispatch == 1;
    sequence.AutoLaunchInstallationDialog = settings.GetString(L"Runtime", L"AutoLaunchInstallationDialog");
    sheet.AddPages(BuildPageSequence(sequence, [] {
        return theValidator.CheckConditions(theInitializer.GetSetupLanguage()) == 1;
    }));

    if (sheet.Run() == -1)
        theLog.LogMessage(0, L"InitInstance", L"The wizard could not be created. Error %u",
                          static_cast<unsigned>(::GetLastError()));
    app.MessageBoxOwner = nullptr;
    app.SetExitCode(WizardExitCode(sheet.Outcome(), app.ExitCodeValue()));
}
