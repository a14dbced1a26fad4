#include "checks/ConditionValidator.h"

#include "platform/SettingsFile.h"
#include "platform/Text.h"

#include <windows.h>

namespace {
}  // namespace

std::list<std::wstring> CConditionValidator::ConditionNamesIn(const std::wstring& expression) {
    const std::wstring text = zel::ToLower(expression);
    std::list<std::wstring> names;
    size_t pos = 0;
    while ((pos = text.find(L"condition", pos)) != std::wstring::npos) {
        // A name runs up to the next blank or ")", so "condition2)" and
        // "condition2 " both give "condition2".
        size_t end = text.find_first_of(L" )", pos);
        if (end == std::wstring::npos) {
            names.push_back(text.substr(pos));
            break;
        }
        names.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    return names;
}

void CConditionValidator::CollectConditionNames(const std::wstring& settingsPath,
                                                std::list<std::wstring>& names) const {
    std::wstring expression = CSettingsFile(settingsPath).GetString(L"Conditions", L"Action1Condition");
    if (expression.empty()) return;
    names.splice(names.end(), ConditionNamesIn(expression));
}
