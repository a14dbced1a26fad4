// The stub's switches: recorded here, acted on by start-up and the checks.
#pragma once

#include "framework/CommandLineInfo.h"

#include <string>

class CExtractorCommandOpt : public zel::CCommandLineInfoBase {
public:
    CExtractorCommandOpt();

    void ParseParam(const wchar_t* param, BOOL isFlag, BOOL isLast) override;

    // The part after the last "=" of "name=value", blanks trimmed; empty when
    // there is no non-empty value.
    static std::wstring GetValue(const std::wstring& text);

    int Debug = 0;
    int NoOSCheck = 0;
    int NoConditionCheck = 0;
    int Silent = 0;
    int Unattended = 0;
    std::wstring ExtractPathArg;
    std::wstring AutoLaunchArg;
    std::wstring SetupLanguageArg;
    std::wstring PasswordArg;

private:
    const std::wstring extractPathName_ = L"extractpath";
    const std::wstring autoLaunchName_ = L"autolaunch";
    const std::wstring setupLanguageName_ = L"setupLanguage";
    const std::wstring passwordName_ = L"extractionpassword";
};
