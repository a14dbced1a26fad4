#include "checks/Condition.h"

#include "checks/ConditionParser.h"
#include "checks/ConditionValidator.h"
#include "framework/Handles.h"
#include "logging/LogFile.h"
#include "platform/FileChecks.h"
#include "platform/Format.h"
#include "platform/SettingsFile.h"
#include "platform/SystemLibrary.h"
#include "platform/Text.h"
#include "platform/Util.h"

#include <algorithm>
#include <cstdarg>
#include <cwchar>
#include <cwctype>
#include <vector>

using zel::EqualsNoCase;

namespace {

constexpr wchar_t kReadConditionsSource[] = L"CCondition::ReadConditions";
constexpr wchar_t kReadRegEntriesSource[] = L"EvaluateReadRegEntries";
constexpr wchar_t kEvaluateSource[] = L"CCondition::EvaluateConditions";
constexpr wchar_t kActionSource[] = L"CCondition::EvaluateActionConditions";
constexpr wchar_t kFileVersionSource[] = L"CInstallFile::GetFileVersion()";


std::wstring TrimBlanks(const std::wstring& text) { return zel::TrimAny(text, L" "); }

// All leading "{" and all trailing "}".
std::wstring StripBraces(const std::wstring& text) {
    size_t first = text.find_first_not_of(L'{');
    if (first == std::wstring::npos) return std::wstring();
    size_t last = text.find_last_not_of(L'}');
    if (last == std::wstring::npos || last < first) return std::wstring();
    return text.substr(first, last - first + 1);
}

void ReplaceAll(std::wstring& text, const std::wstring& find, const std::wstring& replace) {
    if (find.empty()) return;
    size_t pos = 0;
    while ((pos = text.find(find, pos)) != std::wstring::npos) {
        text.replace(pos, find.size(), replace);
        pos += replace.size();  // never rescans the inserted text
    }
}

std::wstring RemoveAll(std::wstring text, wchar_t c) {
    std::erase(text, c);
    return text;
}

// Pieces trimmed, empty ones dropped, in text order (theUtil's list holds
// them last first).
std::vector<std::wstring> SplitText(const std::wstring& text, wchar_t delimiter) {
    StringList list;
    CUtilPaths::SplitText(text, delimiter, list);
    return std::vector<std::wstring>(list.rbegin(), list.rend());
}

// Blanks, a sign, then digits up to the first other character; none give 0.
long TextToNumber(const std::wstring& text) { return std::wcstol(text.c_str(), nullptr, 10); }

// The first zero-ended string of the value's data, read whole whatever its
// length (theUtil's reader stops at a fixed size); empty when the read fails.
std::wstring ReadRegString(HKEY key, const std::wstring& valueName) {
    // The value may grow between the size query and the read: ask again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        if (::RegQueryValueExW(key, valueName.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS ||
            size == 0)
            return std::wstring();
        // Room for a terminator the stored data may lack.
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
        DWORD read = size;
        LONG status = ::RegQueryValueExW(key, valueName.c_str(), nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(buffer.data()), &read);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) return std::wstring();
        size_t chars = read / sizeof(wchar_t);
        size_t length = 0;
        while (length < chars && buffer[length] != L'\0') ++length;
        return std::wstring(buffer.data(), length);
    }
    return std::wstring();
}

HKEY RootFromIndex(int index) {
    switch (static_cast<std::uint16_t>(index)) {
    case 0: return HKEY_CLASSES_ROOT;
    case 1: return HKEY_CURRENT_USER;
    case 2: return HKEY_LOCAL_MACHINE;
    case 3: return HKEY_USERS;
    default: return nullptr;
    }
}

HKEY RootFromName(const std::wstring& name) {
    if (name == L"HKEY_CLASSES_ROOT") return HKEY_CLASSES_ROOT;
    if (name == L"HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
    if (name == L"HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
    if (name == L"HKEY_USERS") return HKEY_USERS;
    return nullptr;
}

std::wstring EnvironmentValue(const std::wstring& name) {
    DWORD size = ::GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (size == 0) return std::wstring();
    std::wstring value(size, L'\0');
    DWORD length = ::GetEnvironmentVariableW(name.c_str(), value.data(), size);
    if (length == 0 || length >= size) return std::wstring();
    value.resize(length);
    return value;
}

// Pieces of a version text: anything before the first digit dropped ("V13"),
// the first "_" taken as ".", split at ".".
std::vector<std::wstring> VersionPieces(std::wstring text) {
    size_t digit = text.find_first_of(L"0123456789");
    if (digit != std::wstring::npos) text.erase(0, digit);
    size_t underscore = text.find(L'_');
    if (underscore != std::wstring::npos) text[underscore] = L'.';
    return SplitText(text, L'.');
}

// 64 bits, so that oversized pieces do not all clamp to the same value.
long long PieceValue(const std::wstring& piece) { return std::wcstoll(piece.c_str(), nullptr, 10); }

bool IsVersionText(const std::wstring& text) {
    return text.find_first_not_of(L"0123456789.") == std::wstring::npos;
}

// The blank-separated words of a text.
std::vector<std::wstring> Words(const std::wstring& text) { return SplitText(text, L' '); }

}  // namespace

// ---- Reading the definitions ----

void CCondition::ReadConditions(int /*languageId*/) {
    std::list<std::wstring> names;
    CConditionValidator().CollectConditionNames(SettingsPath, names);
    CSettingsFile ini(SettingsPath);
    for (const std::wstring& name : names) {
        std::wstring definition = ini.GetString(L"Conditions", name.c_str());
        std::wstring digits = name;
        ReplaceAll(digits, L"condition", L"");
        auto number = static_cast<std::uint16_t>(TextToNumber(digits));
        // Later names stay unread; their references keep the expression irreducible.
        if (definition.empty()) break;
        theLog.LogText(8, kReadConditionsSource, name + L" : " + definition);

        std::vector<std::wstring> fields = SplitText(definition, L';');
        fields.resize(std::max<size_t>(fields.size(), 5));
        CConditionParts parts;
        parts.Number = number;
        parts.ValueType = fields[0];
        parts.Location = fields[1];
        parts.Operator = fields[2];
        parts.Value = fields[3];
        parts.MessageKey = fields[4];
        Conditions.push_back(std::move(parts));
    }
}

void CCondition::ReadActions() {
    CSettingsFile ini(SettingsPath);
    std::wstring expression = ini.GetString(L"Conditions", L"Action1Condition");
    if (expression.empty()) return;
    CAction action;
    action.Condition = expression;
    action.Name = ini.GetString(L"Conditions", L"Action1");
    action.MessageKey = ini.GetString(L"Conditions", L"Action1Message");
    Actions.push_back(std::move(action));
}

void CCondition::ReadRegEntries() {
    CSettingsFile ini(SettingsPath);
    for (int i = 1;; ++i) {
        int root = ini.GetInt(L"ReadRegEntries", FormatText(L"Root%d", i).c_str(), -1);
        if (root == -1) break;
        PropertyEntry entry;
        entry.RootIndex = root;
        entry.KeyPath = ini.GetString(L"ReadRegEntries", FormatText(L"Key%d", i).c_str());
        entry.ValueName = ini.GetString(L"ReadRegEntries", FormatText(L"Entry%d", i).c_str());
        entry.PropertyName = ini.GetString(L"ReadRegEntries", FormatText(L"Property%d", i).c_str());
        Properties.push_back(std::move(entry));
    }
}

void CCondition::EvaluateReadRegEntries() {
    for (PropertyEntry& entry : Properties) {
        theLog.LogText(8, kReadRegEntriesSource,
                       FormatText(L"Reading Registry : Root = %d Key = ", entry.RootIndex) + entry.KeyPath +
                           L" Entry = " + entry.ValueName);
        std::wstring text;
        if (HKEY root = RootFromIndex(entry.RootIndex)) ReadRegistryValue(root, entry.KeyPath, entry.ValueName, text);
        theLog.LogText(8, kReadRegEntriesSource, L"Registry Value : " + text);
        entry.Value = text;
        theLog.LogText(8, kReadRegEntriesSource, L"Property : " + entry.PropertyName + L" = " + entry.Value);
    }
}

void CCondition::SubstituteProperties() {
    for (const PropertyEntry& entry : Properties) {
        const std::wstring token = L"[" + entry.PropertyName + L"]";
        for (CConditionParts& condition : Conditions) {
            std::wstring value = entry.Value;
            if (EqualsNoCase(condition.ValueType, L"{File}") && !value.empty() && value.back() != L'\\')
                value += L'\\';
            ReplaceAll(condition.Location, token, value);
        }
    }
}

std::wstring CCondition::GetMessage(int languageId, const std::wstring& messageKey) const {
    return CSettingsFile(SettingsPath).GetString(FormatText(L"%d", languageId).c_str(), StripBraces(messageKey).c_str());
}

int CCondition::ReadRegistryValue(HKEY root, const std::wstring& keyPath, const std::wstring& valueName,
                                  std::wstring& text) {
    text.clear();
    HKEY opened = nullptr;
    if (!root || ::RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return -2;
    zel::UniqueRegKey key(opened);
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return -2;
    switch (type) {
    case REG_DWORD:
        text = FormatText(L"%d", static_cast<int>(CUtilSystem::ReadRegDword(key.get(), valueName, static_cast<DWORD>(-1))));
        break;
    case REG_BINARY:
        break;
    default:  // strings (REG_EXPAND_SZ not expanded), the first string of a REG_MULTI_SZ, and the rest
        text = ReadRegString(key.get(), valueName);
        break;
    }
    return 1;
}

// ---- Evaluation ----

std::wstring CCondition::ExpandFileLocation(const std::wstring& location) {
    std::wstring text = TrimBlanks(StripBraces(location));
    if (text.size() < 5 || text.compare(0, 2, L"[%") != 0) return text;
    size_t close = text.find(L"%]", 2);
    if (close == std::wstring::npos) return text;
    const std::wstring name = text.substr(2, close - 2);
    std::wstring value = EnvironmentValue(name);
    if (value.empty()) return text;
    if (value.back() != L'\\') value += L'\\';
    ReplaceAll(text, L"[%" + name + L"%]", value);
    return text;
}

std::wstring CCondition::GetFileVersion(const std::wstring& path) {
    const zel::VersionLibrary& api = zel::VersionDll();
    if (!api.getSize || !api.getInfo || !api.query) return std::wstring();
    DWORD handle = 0;
    DWORD size = api.getSize(path.c_str(), &handle);
    if (size == 0) return std::wstring();
    zel::LockedGlobal block(size);
    if (!block.data()) {
        theLog.LogMessage(0, kFileVersionSource, L"Not enought memory!");
        return std::wstring();
    }
    if (!api.getInfo(path.c_str(), 0, size, block.data())) return std::wstring();
    void* info = nullptr;
    UINT length = 0;
    if (!api.query(block.data(), L"\\", &info, &length) || !info || length < sizeof(VS_FIXEDFILEINFO))
        return std::wstring();
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(info);
    return FormatText(L"%d.%d.%d.%d", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                  HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
}

int CCondition::CompareVersions(const std::wstring& first, const std::wstring& second) {
    const std::vector<std::wstring> a = VersionPieces(first);
    const std::vector<std::wstring> b = VersionPieces(second);
    if (a.empty() || b.empty()) return 2;
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        long long x = PieceValue(a[i]);
        long long y = PieceValue(b[i]);
        if (x != y) return x > y ? 0 : 1;
    }
    const std::vector<std::wstring>& longer = a.size() > b.size() ? a : b;
    for (size_t i = common; i < longer.size(); ++i)
        if (PieceValue(longer[i]) != 0) return &longer == &a ? 0 : 1;
    return 2;
}

int CCondition::ApplyOperator(const std::wstring& op, int comparison) {
    if (op == L"{=}") return comparison == 2;
    if (op == L"{>=}") return comparison == 0 || comparison == 2;
    if (op == L"{<=}") return comparison == 1 || comparison == 2;
    if (op == L"{!=}") return comparison == 0 || comparison == 1;
    if (op == L"{>}") return comparison == 0;
    if (op == L"{<}") return comparison == 1;
    return 0;
}

int CCondition::CompareStrings(const std::wstring& text, const std::wstring& value, const std::wstring& op) {
    if (op == L"{=}") return EqualsNoCase(text, value);
    if (op == L"{!=}") return !EqualsNoCase(text, value);
    return 0;
}

int CCondition::ReadRegistryLocation(const std::wstring& location, std::wstring& text) {
    text.clear();
    std::vector<std::wstring> pieces = SplitText(StripBraces(location), L'\\');
    if (pieces.empty()) return -2;
    HKEY root = RootFromName(pieces.front());
    if (!root) return -2;
    std::wstring keyPath;
    std::wstring valueName;
    if (pieces.size() > 1) {
        valueName = pieces.back();
        for (size_t i = 1; i + 1 < pieces.size(); ++i) keyPath += (keyPath.empty() ? L"" : L"\\") + pieces[i];
    }
    return ReadRegistryValue(root, keyPath, valueName, text);
}

int CCondition::EvaluateFileCondition(const CConditionParts& condition, const std::wstring& op) const {
    const std::wstring path = ExpandFileLocation(condition.Location);
    theLog.LogText(8, kEvaluateSource, L"Finding file : " + path);
    const bool exists = zel::SearchFinds(path);
    if (EqualsNoCase(op, L"{NOTEXIST}")) return !exists;
    if (EqualsNoCase(op, L"{EXIST}") || op == L"{}") return exists;

    const std::wstring version = GetFileVersion(path);
    const std::wstring value = TrimBlanks(StripBraces(condition.Value));
    theLog.LogText(8, kEvaluateSource, L"Compare Versions : " + version + L" and " + value + L" ");
    int result = 0;
    if (!version.empty()) result = ApplyOperator(op, CompareVersions(version, value));
    if (op == L"{=}" && version.empty() && value.empty()) result = 1;
    return result;
}

int CCondition::EvaluateRegistryCondition(const CConditionParts& condition, const std::wstring& op) const {
    const std::wstring value = StripBraces(condition.Value);
    std::wstring text;
    const int status = ReadRegistryLocation(condition.Location, text);
    int result = 0;
    if (EqualsNoCase(op, L"{NOTEXIST}")) {
        result = status == -2;
    } else if (EqualsNoCase(op, L"{EXIST}")) {
        result = status == 1;
    } else if (op == L"{=}") {
        theLog.LogText(8, kEvaluateSource, L"Compare Values : " + text + L" and " + value + L" ");
        if (status != -2) result = EqualsNoCase(text, value);
    } else if (op == L"{}") {
        result = status == 1;
    } else {
        theLog.LogText(8, kEvaluateSource, L"Compare Values : " + text + L" and " + value + L" ");
        if (status == 1 && !text.empty())
            result = IsVersionText(value) ? ApplyOperator(op, CompareVersions(text, value))
                                          : CompareStrings(text, value, op);
    }
    if (op == L"{!=}" && status == 1 && text.empty() != value.empty()) result = 1;
    return result;
}

void CCondition::EvaluateConditions() {
    for (CConditionParts& condition : Conditions) {
        const std::wstring op = RemoveAll(condition.Operator, L' ');
        theLog.LogText(8, kEvaluateSource, L"Operator : " + op);
        int result = 0;
        if (EqualsNoCase(condition.ValueType, L"{File}"))
            result = EvaluateFileCondition(condition, op);
        else if (EqualsNoCase(condition.ValueType, L"{Registry}"))
            result = EvaluateRegistryCondition(condition, op);
        condition.Result = result;
        theLog.LogMessage(8, kEvaluateSource, L"Condition%d = %d", static_cast<int>(condition.Number), result);
    }
}

void CCondition::StoreResults() {
    for (const CConditionParts& condition : Conditions) Results[condition.Number] = condition.Result;
}

void CCondition::EvaluateActionConditions() {
    for (CAction& action : Actions) {
        CTavoConditionParser parser;
        if (parser.Evaluate(action.Condition, Results, Referenced) == 1) {
            theLog.LogMessage(8, kActionSource, L"Action condition is satisfied");
            action.Satisfied = 1;
        } else {
            theLog.LogMessage(1, kActionSource, L"Action condition is not satisfied");
        }
    }
}

int CCondition::IsExtractAllowed() const {
    for (const CAction& action : Actions)
        if (EqualsNoCase(action.Name, L"Extract") && action.Satisfied) return 1;
    return 0;
}

std::wstring CCondition::BuildMessageKeys(int /*languageId*/) {
    const std::wstring actionKey = Actions.empty() ? std::wstring() : Actions.front().MessageKey;
    const std::wstring bracedActionKey = L"{" + actionKey + L"}";
    std::wstring keys = bracedActionKey + L";";
    UsedMessageKeys.push_back(actionKey);
    for (const CConditionParts& condition : Conditions) {
        const std::wstring name = FormatText(L"Condition%d", static_cast<int>(condition.Number));
        if (condition.Result == 0 && condition.MessageKey != L"{}" && IsReferenced(name) &&
            !IsMessageKeyUsed(condition.MessageKey, bracedActionKey) && IsNotNegated(name)) {
            keys += condition.MessageKey + L";";
            UsedMessageKeys.push_back(condition.MessageKey);
        }
    }
    return keys;
}

bool CCondition::IsReferenced(const std::wstring& name) const {
    for (const std::wstring& reference : Referenced)
        if (EqualsNoCase(reference, name)) return true;
    return false;
}

bool CCondition::IsMessageKeyUsed(const std::wstring& key, const std::wstring& bracedActionKey) const {
    if (EqualsNoCase(key, bracedActionKey)) return true;
    for (const std::wstring& used : UsedMessageKeys)
        if (EqualsNoCase(key, used)) return true;
    return false;
}

// A condition that only occurs negated did not cause the refusal by failing,
// so its message would mislead.
bool CCondition::IsNotNegated(const std::wstring& name) const {
    const std::wstring expression =
        zel::ToLower(CSettingsFile(SettingsPath).GetString(L"Conditions", L"Action1Condition"));
    const std::wstring lowerName = zel::ToLower(name);

    // "not ( ... )": any name inside the group is negated.
    for (size_t pos = expression.find(L"not"); pos != std::wstring::npos; pos = expression.find(L"not", pos + 1)) {
        size_t next = expression.find_first_not_of(L' ', pos + 3);
        if (next == std::wstring::npos || expression[next] != L'(') continue;
        size_t close = expression.find(L')', next + 1);
        std::wstring group = expression.substr(
            next + 1, close == std::wstring::npos ? std::wstring::npos : close - next - 1);
        for (const wchar_t* word : {L"(", L")", L"and", L"or", L"not"}) ReplaceAll(group, word, L" ");
        for (const std::wstring& piece : Words(group))
            if (piece == lowerName) return false;
    }

    // "not name" directly; any plain occurrence wins.
    std::wstring flat = expression;
    ReplaceAll(flat, L"(", L" ");
    ReplaceAll(flat, L")", L" ");
    const std::vector<std::wstring> pieces = Words(flat);
    bool negated = false;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i] == L"not") {
            if (i + 1 < pieces.size() && pieces[++i] == lowerName) negated = true;
        } else if (pieces[i] == lowerName) {
            return true;
        }
    }
    return !negated;
}
