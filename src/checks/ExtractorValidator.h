// The pre-extraction checks of the package: what must hold before anything
// is extracted.
#pragma once

#include <string>

class CExtractorValidator {
public:
    CExtractorValidator() = default;
    virtual ~CExtractorValidator() = default;

    // The working settings file, set once after the settings files are extracted.
    void SetSettingsPath(const std::wstring& path) { SettingsPath = path; }
    const std::wstring& GetSettingsPath() const { return SettingsPath; }

    // 1 when the package's requirement conditions allow extraction (also when
    // it has none), 0 when not. Reads the settings and the machine afresh on
    // every call.
    int CheckConditions(int languageId);
    // "{ActionKey};{ConditionKey};..." of the last check that had conditions.
    const std::wstring& GetConditionMessageKeys() const { return ConditionMessageKeys; }

    std::wstring ConditionMessageKeys;
    std::wstring SettingsPath;
};

extern CExtractorValidator theValidator;
