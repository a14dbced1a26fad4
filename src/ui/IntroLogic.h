// The decisions of the pages before the extraction (language, requirements,
// license) as functions of explicit inputs, so that they run without a
// window: the language radios, the requirement message, the license labels.
#pragma once

#include "platform/StringList.h"

#include <functional>
#include <string>
#include <vector>

// ---- language page ----

// The language page's radio buttons in their order; at most this many
// languages are shown.
constexpr int kLanguageRadioIds[] = {1006, 1007, 1008, 1009, 1010, 1011, 1012, 1015, 1016, 1017};
constexpr size_t kLanguageRadioCount = sizeof(kLanguageRadioIds) / sizeof(kLanguageRadioIds[0]);

struct LanguageRadio {
    int RadioId = 0;
    int Lcid = 0;
    std::wstring Caption;
    // False for a language whose locale the system does not have.
    bool Enabled = true;
};

struct LanguageRadioSources {
    std::function<bool(int lcid)> Installed;
    // The caption of an installed language (Defaultx.ulf).
    std::function<std::wstring(int lcid)> Caption;
    // The language's own name (its language file), for one not installed.
    std::function<std::wstring(int lcid)> OwnName;
};

struct LanguageRadioPlan {
    std::vector<LanguageRadio> Radios;
    // Entries that are no language id, left out.
    std::vector<std::wstring> Rejected;
};

// The radios for the package's languages in the order of the list; entries
// after the tenth shown are ignored.
LanguageRadioPlan BuildLanguageRadios(const StringList& languages, const LanguageRadioSources& sources);

// The radio to check: the only one, or the first for the selected language;
// 0 when none matches.
int RadioToCheck(const std::vector<LanguageRadio>& radios, int selectedLanguage);

// A language id as the package writes it: decimal digits, a value above 0.
bool ParseLanguageId(const std::wstring& text, int& lcid);

// ---- requirements page ----

// How many characters each of n messages may keep before "..." is added.
int ConditionMessageLimit(int messageCount);

struct ConditionMessageInputs {
    // [Languages] SetupLanguages as read.
    std::wstring SetupLanguages;
    int SelectedLanguage = 1033;
    // The keys of the unmet conditions, ";"-separated.
    std::wstring MessageKeys;
    // The message text of a key in the selected language.
    std::function<std::wstring(const std::wstring& key)> Message;
    // Each message shown, whole, before it is cut.
    std::function<void(const std::wstring& message)> Logged;
};

// The text of the requirements page: the messages of the unmet conditions,
// one a line, each cut to its share; empty when the selected language is
// not one the package offers.
std::wstring ConditionMessageText(const ConditionMessageInputs& inputs);

// ---- license page ----

// The languages whose list labels come from the loaded language strings;
// the others take them from their language file.
bool LabelsFromLanguageStrings(int lcid);

// The label of string id from the lines of a language file: the first line
// that starts with the id, with every occurrence of the id's digits and
// then the "=" at either end removed; empty when no line has it.
std::wstring LicenseLabelFromLines(const std::vector<std::wstring>& lines, int stringId);

enum class DocumentType { RichText, PlainText, Other };
// By the last three characters of the path, case ignored.
DocumentType DocumentTypeOf(const std::wstring& path);

struct DocumentList {
    int LicenseItem = -1;
    int SecurityItem = -1;
    // The document shown first, or empty.
    std::wstring Shown;
    int Count() const { return (LicenseItem >= 0 ? 1 : 0) + (SecurityItem >= 0 ? 1 : 0); }
};
// The license agreement comes first; either may be missing (empty path).
DocumentList PlanDocumentList(const std::wstring& licenseFile, const std::wstring& securityFile);

// Next is allowed when every listed document is accepted.
bool DocumentsAccepted(const DocumentList& list, bool licenseChecked, bool securityChecked);
