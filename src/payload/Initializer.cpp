#include "payload/Initializer.h"

#include "checks/ExtractorValidator.h"
#include "checks/OSValidator.h"
#include "logging/LogFile.h"
#include "logging/LogSetup.h"
#include "payload/LanguageTexts.h"
#include "platform/SettingsFile.h"

#include <cwchar>
#include <cwctype>

CTavoInitalizer theInitializer;

namespace {
constexpr wchar_t kInitSource[] = L"CTavoInitalizer::Init";

const wchar_t* ModeName(int mode) {
    if (mode == ModeSilent) return L"Silent";
    if (mode == ModeUnattended) return L"Unattended";
    return L"Full GUI";
}
}  // namespace

std::wstring CTavoInitalizer::GetLangString(int id) const { return ::GetLangString(id); }

void CTavoInitalizer::HandSettingsToValidator() { theValidator.SetSettingsPath(SettingsFilePath); }

void CTavoInitalizer::InitMasterLog(int debug, bool anotherRun) { OpenMasterLog(debug, anotherRun); }

void CTavoInitalizer::CreateExtractionLogFile(const std::wstring& packageName, int debug) {
    OpenExtractionLog(SettingsFilePath, packageName, debug);
}

void CTavoInitalizer::LogSystemInformation() {
    LogMachineInformation();
    theOSValidator.SetSettingsPath(SettingsFilePath);
    theOSValidator.OSVersion(1);
    LogLanguageInformation();
}

int CTavoInitalizer::Init(const CommandLineSettings& settings) {
    RunMode = settings.Mode;
    SettingsFilePath = WorkingFolder + L"Properties_Tavo.ini";
    CSettingsFile ini(SettingsFilePath);

    CreateExtractionLogFile(PackageName, settings.Debug);
    theLog.LogText(8, L"Tavo Pellcore Version", ini.GetString(L"Tavo", L"FrameVersion"));
    theLog.LogMessage(8, L"GUI Mode", L"%s", ModeName(RunMode));
    theLog.LogMessage(8, kInitSource, L"Initializing the package settings");

    NoConditionCheck = settings.NoConditionCheck;
    if (NoConditionCheck == 1)
        theLog.LogMessage(8, L"Command Line Parameters",
                          L"Condition check will not be done as NoConditioncheck command line parameter has been passed");

    PackageName = ini.GetString(L"Package", L"Name");
    theLog.LogText(8, L"PackageName", PackageName);

    HandSettingsToValidator();
    LogSystemInformation();
    SetBufferSize();
    FileCount = ini.GetInt(L"FileCount", L"Count", 0);
    AllowChangeTarget =
        ::_wcsicmp(ini.GetString(L"Runtime", L"AllowChangeTarget").c_str(), L"1") == 0 ? 1 : 0;
    InitAutolaunch();
    if (AutoLaunchEnabled) InitCommandLineForNoOSCheck(settings.NoOSCheck);
    SetMultiPart();
    // The run-time's conversion: leading blanks and a sign, digits up to the
    // first non-digit; the set id keeps the low 16 bits.
    CabinetSetId = static_cast<std::uint16_t>(std::wcstol(ini.GetString(L"Tavo", L"GUID2").c_str(), nullptr, 10));
    DisplayName = ini.GetString(L"Package", L"NameDispl") + L" " + ini.GetString(L"Package", L"VersionString");
    return InitDisplay(settings);
}

void CTavoInitalizer::InitAutolaunch() {
    CSettingsFile ini(SettingsFilePath);
    const wchar_t* key = ini.GetString(L"Runtime", L"Multilaunch") == L"1" ? L"AutoLaunch1" : L"AutoLaunch";
    if (ini.GetString(L"Runtime", key).empty()) {
        theLog.LogMessage(8, L"InitAutolaunch", L"AutoLaunch is not enabled");
        return;
    }
    AutoLaunchEnabled = 1;
    theLog.LogMessage(8, L"InitAutolaunch", L"AutoLaunch is enabled");
    SetWaitForAutoLaunchParam();
}

void CTavoInitalizer::SetWaitForAutoLaunchParam() {
    const wchar_t* source = L"SetWaitForAutoLaunchParam";
    std::wstring value = CSettingsFile(SettingsFilePath).GetString(L"Runtime", L"WaitForAutolaunchFinish");
    if (value == L"0") {
        WaitForAutolaunchFinish = 0;
        theLog.LogMessage(8, source, L"WaitForAutolaunchFinish is not enabled");
    } else if (value == L"1" || value.empty()) {
        WaitForAutolaunchFinish = 1;
        theLog.LogMessage(8, source, L"WaitForAutolaunchFinish is enabled");
    } else {
        WaitForAutolaunchFinish = 1;
        theLog.LogMessage(8, source, L"Invalid value for WaitForAutolaunchFinish. WaitForAutolaunchFinish is enabled by default");
    }
}

void CTavoInitalizer::InitCommandLineForNoOSCheck(int noOsCheckFromCommandLine) {
    const wchar_t* source = L"InitCommandLineForNoOSCheck";
    CSettingsFile ini(SettingsFilePath);
    if (ini.GetString(L"Package", L"CheckOs") == L"1") {
        theLog.LogMessage(8, source, L"CheckOs is set.OS check will be done before extraction in GUI mode");
        return;
    }
    if (noOsCheckFromCommandLine == 1) {
        NoOSCheck = 1;
        theLog.LogMessage(8, L"Command Line Parameters", L"Setting NoOSCheck from commandline.");
    } else if (ini.GetString(L"OS", L"NoOSCheck") == L"1") {
        NoOSCheck = 1;
        theLog.LogMessage(8, source, L"Setting NoOSCheck from INI file.");
    }
    if (NoOSCheck == 1) theLog.LogMessage(8, source, L"NoOSCheck has been set.OS check will not be done.");
}

void CTavoInitalizer::SetMultiPart() {
    if (CSettingsFile(SettingsFilePath).GetInt(L"Package", L"MultiPartDownload", 0) == 1) MultiPartDownload = 1;
}
