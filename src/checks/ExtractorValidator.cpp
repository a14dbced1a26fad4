#include "checks/ExtractorValidator.h"

#include "checks/Condition.h"
#include "payload/Initializer.h"
#include "platform/SettingsFile.h"

CExtractorValidator theValidator;

void CTavoInitalizer::HandSettingsToValidator() { theValidator.SetSettingsPath(SettingsFilePath); }

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
