// Finds which conditions the package's action expression mentions.
#pragma once

#include <list>
#include <string>

class CConditionValidator {
public:
    CConditionValidator() = default;
    virtual ~CConditionValidator() = default;

    // The condition names of [Conditions] Action1Condition in lower case, in
    // order of appearance; a name that occurs twice is listed twice.
    void CollectConditionNames(const std::wstring& settingsPath, std::list<std::wstring>& names) const;

    // The same, on the expression itself.
    static std::list<std::wstring> ConditionNamesIn(const std::wstring& expression);
};
