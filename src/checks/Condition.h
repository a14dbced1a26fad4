// The package's requirement conditions: definitions read from the settings
// file, registry properties that locations refer to, and their evaluation
// against files, version resources and registry values.
#pragma once

#include <windows.h>

#include <cstdint>
#include <list>
#include <map>
#include <string>

// One Condition<n> definition: {type};{location};{operator};{value};{message}.
class CConditionParts {
public:
    virtual ~CConditionParts() = default;

    std::wstring ValueType;
    std::wstring Location;
    std::wstring Operator;
    std::wstring MessageKey;
    std::wstring Value;
    std::uint16_t Number = 0;
    int Result = 0;  // 1 satisfied, 0 not
};

// Action1 of [Conditions]; there is never more than one.
class CAction {
public:
    virtual ~CAction() = default;

    std::wstring Condition;  // Action1Condition, letter case kept
    std::wstring Name;
    std::wstring MessageKey;
    std::uint16_t Index = 0;
    int Satisfied = 0;
};

// A [ReadRegEntries] property: a registry value that locations use as [NAME].
struct PropertyEntry {
    std::wstring PropertyName;
    std::wstring ValueName;
    std::wstring KeyPath;
    std::wstring Value;
    int RootIndex = 0;
};

class CCondition {
public:
    explicit CCondition(std::wstring settingsPath) : SettingsPath(std::move(settingsPath)) {}
    virtual ~CCondition() = default;

    // Reading the definitions, in the order the check calls them.
    void ReadConditions(int languageId);
    void ReadActions();
    void ReadRegEntries();
    void EvaluateReadRegEntries();
    void SubstituteProperties();

    // Evaluation.
    void EvaluateConditions();
    void StoreResults();
    void EvaluateActionConditions();
    // "{ActionKey};{ConditionKey};..." of the unmet conditions that explain a refusal.
    std::wstring BuildMessageKeys(int languageId);
    int IsExtractAllowed() const;

    // [<languageId>] key, with the braces of the key dropped.
    std::wstring GetMessage(int languageId, const std::wstring& messageKey) const;

    // 1 when the value was read (a binary value reads as empty text), -2 when
    // the key could not be opened or the value not queried. Reads the
    // registry view of this process: a 32-bit stub sees WOW6432Node.
    static int ReadRegistryValue(HKEY root, const std::wstring& keyPath, const std::wstring& valueName,
                                 std::wstring& text);
    // Location "HKEY_...\key\path\ValueName" in optional braces.
    static int ReadRegistryLocation(const std::wstring& location, std::wstring& text);
    // A [%VAR%] at the very start of a file location becomes the variable's value.
    static std::wstring ExpandFileLocation(const std::wstring& location);
    // "a.b.c.d" from the version resource, or empty.
    static std::wstring GetFileVersion(const std::wstring& path);
    // 0 first greater, 1 first smaller, 2 equal.
    static int CompareVersions(const std::wstring& first, const std::wstring& second);
    static int ApplyOperator(const std::wstring& op, int comparison);
    static int CompareStrings(const std::wstring& text, const std::wstring& value, const std::wstring& op);

    bool IsReferenced(const std::wstring& name) const;
    bool IsMessageKeyUsed(const std::wstring& key, const std::wstring& bracedActionKey) const;
    bool IsNotNegated(const std::wstring& name) const;

    std::list<CConditionParts> Conditions;
    std::list<CAction> Actions;
    std::list<PropertyEntry> Properties;
    std::map<int, int> Results;
    std::list<std::wstring> Referenced;
    std::list<std::wstring> UsedMessageKeys;
    std::wstring SettingsPath;

private:
    int EvaluateFileCondition(const CConditionParts& condition, const std::wstring& op) const;
    int EvaluateRegistryCondition(const CConditionParts& condition, const std::wstring& op) const;
};
