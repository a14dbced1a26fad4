// The operating-system question before extraction and the wizard's first
// language.
#include "app/App.h"
#include "core/ExitCodes.h"
#include "checks/ExtractorValidator.h"
#include "checks/OSValidator.h"
#include "logging/LogFile.h"
#include "payload/Initializer.h"
#include "payload/LanguageTexts.h"
#include "platform/SettingsFile.h"

namespace {

constexpr wchar_t kSource[] = L"ValidateOSBeforeExtraction";

// "Windows7 64 Bit Ultimate SP1", or "... without any service pack".
std::wstring SystemText(const COSValidator& os) {
    std::wstring name = ReplaceTokens(os.OsName, {{L"64", L" 64 Bit"}});
    std::wstring servicePack;
    if (os.ServicePack == L"0") servicePack = GetLangString(422);
    else if (!os.ServicePack.empty()) servicePack = L"SP" + os.ServicePack;
    return name + L" " + os.EditionName + L" " + servicePack;
}

}  // namespace

void CZelSelfExtractorUIApp::ValidateOSBeforeExtraction() {
    ValidateOSBeforeExtraction([this](const std::wstring& question) { return DoMessageBox(question, MB_YESNO, 0); });
}

void CZelSelfExtractorUIApp::ValidateOSBeforeExtraction(const std::function<int(const std::wstring&)>& ask) {
    if (theInitializer.NoOSCheck == 1) {
        theLog.LogMessage(8, kSource, L"NoOSCheck is set");
        return;
    }
    // The log set-up names the settings file first; a run without it still
    // checks against this package's rules.
    if (theOSValidator.SettingsPath.empty()) theOSValidator.SetSettingsPath(theInitializer.GetSettingsFilePath());
    OsCheckResult = theOSValidator.OSVersion(0);
    if (!theInitializer.IsAutoLaunchEnabled()) return;

    theInitializer.SupportedOSMessage = theValidator.CheckOS(OsCheckResult, theInitializer.GetSetupLanguage(), 0);
    if (OsCheckResult == 302) theLog.LogMessage(0, kSource, L"Current operating system not supported");
    if (CSettingsFile(theInitializer.GetSettingsFilePath()).GetString(L"Package", L"CheckOs") != L"1") return;
    OsCheckedBeforeExtraction = 1;
    if (OsCheckResult != 302 || GetRunMode() != ModeFullGui) return;

    const std::wstring system = SystemText(theOSValidator);
    LoadDefaultSetupLanguage();
    theLog.LogMessage(8, kSource, L"Operating System will be validated before extraction");
    theLog.LogMessage(8, kSource, L"Confirming from user : ");
    if (ask(ReplaceTokens(GetLangString(418), {{L"[OSNAME]", system}})) == IDNO) {
        theLog.LogMessage(8, kSource, L"User confirmed to cancel the extraction");
        Quit(-1, kExitFailure, std::wstring());
    }
    theLog.LogMessage(8, kSource, L"User confirmed to continue the extraction");
}

void CZelSelfExtractorUIApp::LoadDefaultSetupLanguage() {
    theInitializer.SetSetupLanguage(theValidator.GetDefaultSetupLanguage());
    LoadLanguageFile(theInitializer.GetSetupLanguage(), theInitializer.GetWorkingFolder());
}
