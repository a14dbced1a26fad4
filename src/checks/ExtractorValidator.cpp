#include "checks/ExtractorValidator.h"

#include "checks/Condition.h"
#include "checks/OSValidator.h"
#include "logging/LogFile.h"
#include "payload/LanguageTexts.h"
#include "platform/SettingsFile.h"

CExtractorValidator theValidator;

int CExtractorValidator::CheckConditions(int languageId) {
    if (CSettingsFile(SettingsPath).GetString(L"Conditions", L"Action1Condition").empty()) return 1;

    CCondition condition(SettingsPath);
    condition.ReadConditions(languageId);
    condition.ReadActions();
    condition.ReadRegEntries();
    condition.EvaluateReadRegEntries();
    condition.SubstituteProperties();
    condition.EvaluateConditions();
    condition.StoreResults();
    condition.EvaluateActionConditions();
    ConditionMessageKeys = condition.BuildMessageKeys(languageId);
    return condition.IsExtractAllowed();
}

std::wstring CExtractorValidator::CheckOS(int code, int languageId, int logFlag) {
    return CheckOS(code, languageId, logFlag, theOSValidator);
}

std::wstring CExtractorValidator::CheckOS(int code, int languageId, int logFlag, const COSValidator& os) {
    const std::wstring section = std::to_wstring(languageId);
    CSettingsFile settings(SettingsPath);
    const std::wstring supported = settings.GetString(section.c_str(), L"MsgSupportedOS");

    std::wstring name = os.OsName;
    if (name.size() >= 2 && name.compare(name.size() - 2, 2, L"64") == 0)
        name = ReplaceTokens(name, {{L"64", L" 64 Bit"}});
    std::wstring servicePack;
    if (os.ServicePack == L"0") servicePack = GetLangString(422);
    else if (!os.ServicePack.empty()) servicePack = L"SP" + os.ServicePack;

    std::wstring message;
    if (code == 301) message = settings.GetString(section.c_str(), L"MsgOSWarning");
    else if (code == 302) message = settings.GetString(section.c_str(), L"MsgOSError");
    message = ReplaceTokens(std::move(message), {{L"[OSNAME]", name},
                                                 {L"[OSEDITION]", os.EditionName},
                                                 {L"[OSSERVICEPACK]", servicePack},
                                                 {L"[MsgSupportedOS]", supported},
                                                 {L"[NEWLINE]", L"\n"},
                                                 {L"[TAB]", L"\t"}});
    if (logFlag) theLog.LogText(8, L"CheckOS", L"Message to be displayed : " + message);
    return message;
}
