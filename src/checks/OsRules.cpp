// The package's [OS] rules applied to the identified system.
//
// Grammar of the values:
//   OSAllowed   := entry { ";" entry }        entry := name [ "+" ]
//   variantList := ";"                        (every variant)
//                | variant { ";" variant }
//   variant     := [ "&&!" ] term { op term } op := "&&" | "||" | "&&!" | "||&&!"
//   term        := edition token | edition name | service pack | product type
//                | "Unknown Product"
// Each term becomes "T" or "F" in the text of its variant; a variant of one or
// two terms is then reduced by a fixed table of rewrites, a longer one must use
// a single kind of operator.
#include "checks/Condition.h"
#include "checks/OSValidator.h"
#include "logging/LogFile.h"
#include "platform/SettingsFile.h"
#include "platform/Text.h"
#include "platform/Util.h"

#include <vector>

using zel::EqualsNoCase;
using zel::ToLower;

namespace {

constexpr wchar_t kCheckSupportSource[] = L"OSVersion";

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to) {
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// The trimmed, non-empty pieces of a ";"-list in text order.
std::vector<std::wstring> SplitList(const std::wstring& text) {
    StringList reversed;
    CUtilPaths::SplitText(text, L';', reversed);
    return std::vector<std::wstring>(reversed.rbegin(), reversed.rend());
}

std::wstring Lookup(const std::map<std::wstring, std::wstring>& section, const std::wstring& key,
                    bool* found = nullptr) {
    auto it = section.find(key);
    if (found != nullptr) *found = it != section.end();
    return it == section.end() ? std::wstring() : it->second;
}

enum class VariantOp { None, And, Or, AndNot };

// The operator kinds written in a rewritten expression.
std::vector<VariantOp> OperatorsIn(const std::wstring& e) {
    std::vector<VariantOp> ops;
    for (size_t i = 0; i < e.size();) {
        if (e.compare(i, 3, L"&&!") == 0) {
            ops.push_back(VariantOp::AndNot);
            i += 3;
        } else if (e.compare(i, 2, L"&&") == 0) {
            ops.push_back(VariantOp::And);
            i += 2;
        } else if (e.compare(i, 2, L"||") == 0) {
            ops.push_back(VariantOp::Or);
            i += 2;
        } else {
            ++i;
        }
    }
    return ops;
}

// The operator a long variant is taken to use: the first "&" decides when
// there is one.
VariantOp MainOperator(const std::wstring& e) {
    const size_t amp = e.find(L'&');
    if (amp != std::wstring::npos) return e.compare(amp, 3, L"&&!") == 0 ? VariantOp::AndNot : VariantOp::And;
    if (e.find(L"||") != std::wstring::npos) return VariantOp::Or;
    return VariantOp::None;
}

}  // namespace

int COSValidator::CheckSupport() {
    const std::wstring allowed = Lookup(OsSection, L"osallowed");
    if (allowed.empty()) {
        theLog.LogMessage(8, kCheckSupportSource, L"No OSes are supported");
        return 302;
    }
    theLog.LogText(8, kCheckSupportSource, L"Supported OSes : " + allowed);

    int code = CheckOSVariantsForExclusion();
    if (code == 300) {
        code = CheckOSVariantsForWarning();
        if (code == 301) theLog.LogMessage(8, kCheckSupportSource, L"Show Warning for OS");
    } else if (code == 302 || code == -1) {
        code = 302;
        theLog.LogMessage(8, kCheckSupportSource, L"Show Error for OS");
    }
    return code == -1 ? 300 : code;
}

std::wstring COSValidator::NameToVersionDigits(const std::wstring& name) {
    struct Row {
        const wchar_t* name;
        const wchar_t* digits;
    };
    static const Row kRows[] = {
        {L"windows7", L"61"},           {L"windows2008R2", L"61"},      {L"windows764", L"6164"},
        {L"windows2008R264", L"6164"},  {L"windowsvista", L"60"},       {L"windows2008", L"60"},
        {L"windowsvista64", L"6064"},   {L"windows200864", L"6064"},    {L"windows2003R2", L"52"},
        {L"windows2003", L"52"},        {L"windowsxp", L"51"},          {L"windows2003R264", L"5264"},
        {L"windowsXP64", L"5264"},      {L"windows200364", L"5264"},    {L"windows2000", L"50"},
        {L"windowsnt", L"40"},          {L"windows95", L"410"},         {L"windows98", L"490"},
    };
    for (const Row& row : kRows)
        if (EqualsNoCase(name, row.name)) return row.digits;
    return std::wstring();
}

bool COSValidator::IsListed(const std::wstring& allowed, const std::wstring& name) const {
    for (const std::wstring& entry : SplitList(allowed)) {
        if (EqualsNoCase(entry, name)) return true;
        if (entry.back() != L'+') continue;
        std::wstring base = ToLower(entry);
        ReplaceAll(base, L"+", L"");
        std::wstring digits = NameToVersionDigits(base);
        if (digits.empty()) {
            digits = base;
            ReplaceAll(digits, L"windows", L"");
        }
        if (EndsWith(digits, L"64") && Is64Bit == 0) continue;
        // Only the major version counts: "Windows7+" also admits 6.0.
        const DWORD major = !digits.empty() && digits[0] >= L'0' && digits[0] <= L'9' ? digits[0] - L'0' : 0;
        if (MajorVersion >= major) return true;
    }
    return false;
}

int COSValidator::CheckVariantsOf(const wchar_t* suffix, int matchCode, bool allowedTextAsPrefix) {
    bool found = false;
    const std::wstring allowed = ToLower(Lookup(OsSection, L"osallowed", &found));
    if (!found) return -1;
    // A "+" list keys its variants by the whole OSAllowed text, as in
    // "windows7+exclude".
    const bool plusList = allowedTextAsPrefix && !allowed.empty() && allowed.back() == L'+';
    int result = -1;
    if (IsListed(allowed, FriendlyName))
        result = CheckOSVariant((plusList ? allowed : FriendlyName) + suffix) == 0 ? matchCode : 300;
    if (IsListed(allowed, VersionToken) && (result == 300 || result == -1))
        result = CheckOSVariant((plusList ? allowed : VersionToken) + suffix) == 0 ? matchCode : 300;
    return result;
}

int COSValidator::CheckOSVariantsForExclusion() { return CheckVariantsOf(L"exclude", 302, true); }

int COSValidator::CheckOSVariantsForWarning() { return CheckVariantsOf(L"warning", 301, false); }

int COSValidator::CheckOSVariant(const std::wstring& key) {
    bool found = false;
    const std::wstring value = Lookup(OsSection, key, &found);
    if (!found) return 1;
    theLog.LogText(8, L"CheckOSVariant", key + L"  : " + value);
    if (value == L";") {
        theLog.LogText(8, L"CheckOSVariant", L"All variants of " + FriendlyName + L" are supported");
        return 0;
    }
    for (const std::wstring& variant : SplitList(value))
        if (GetOSVariantConditionResult(variant) == 1) return 0;
    return 1;
}

int COSValidator::GetOSVariantConditionResult(const std::wstring& expression) {
    std::wstring separated = expression;
    ReplaceAll(separated, L"&&!", L";");
    ReplaceAll(separated, L"&&", L";");
    ReplaceAll(separated, L"||", L";");
    const std::vector<std::wstring> terms = SplitList(separated);
    if (terms.empty()) return 0;

    std::wstring e = expression;
    bool anyHolds = false, anyFails = false;
    for (const std::wstring& term : terms) {
        bool holds = false;
        e = RewriteVariant(term, e, holds);
        (holds ? anyHolds : anyFails) = true;
    }
    if (terms.size() <= 2) return ReduceVariant(e) == L"T" ? 1 : 0;

    // Longer variants are not reduced: they must keep to one kind of operator.
    const VariantOp op = MainOperator(e);
    for (VariantOp other : OperatorsIn(e)) {
        if (other == op) continue;
        theLog.LogMessage(8, L"GetOSVariantConditionResult",
                          L"Invalid variant combination. Current OS will be included");
        return 0;
    }
    switch (op) {
    case VariantOp::Or: return anyHolds ? 1 : 0;
    case VariantOp::And: return anyFails ? 0 : 1;
    // "a&&!b&&!c" cannot tell which term is negated once the terms are
    // values: it matches only when none of them holds.
    case VariantOp::AndNot: return anyHolds ? 0 : 1;
    case VariantOp::None: break;
    }
    return 0;
}

std::wstring COSValidator::ValiodateOSVariants(const std::wstring& term, const std::wstring& expression) {
    bool holds = false;
    return RewriteVariant(term, expression, holds);
}

std::wstring COSValidator::RewriteVariant(const std::wstring& term, const std::wstring& expression, bool& holds) {
    const wchar_t* source = L"ValiodateOSVariants";
    // "0" and "SP0" name a system without any service pack.
    if ((term == L"0" || EqualsNoCase(term, L"SP0")) && ServicePack.empty()) ServicePack = L"0";

    holds = true;
    if (EqualsNoCase(term, EditionToken)) {
        theLog.LogText(8, source, L"Edition : " + EditionToken);
    } else if (EqualsNoCase(term, EditionName)) {
        theLog.LogText(8, source, L"Edition : " + EditionName);
    } else if (EqualsNoCase(term, ServicePack) || EqualsNoCase(term, L"SP" + ServicePack)) {
        theLog.LogText(8, source, L"Service Pack : " + ServicePack);
    } else if (EqualsNoCase(term, ProductTypeToken)) {
        theLog.LogText(8, source, L"Product Type : " + ProductTypeToken);
    } else if (EqualsNoCase(term, L"Unknown Product")) {
        theLog.LogMessage(8, source, L"Unknown Product");
    } else {
        holds = false;
    }

    std::wstring marked = expression;
    ReplaceAll(marked, L"&&!", L";ANDNOT;");
    ReplaceAll(marked, L"&&", L";AND;");
    ReplaceAll(marked, L"||", L";OR;");
    std::wstring result;
    for (const std::wstring& piece : SplitList(marked)) {
        // Only the marker words themselves are operators, so a term written
        // in capitals ("STANDARD", "STORAGE") stays a term.
        if (piece == L"OR") result += L"||";
        else if (piece == L"ANDNOT") result += L"&&!";
        else if (piece == L"AND") result += L"&&";
        else if (EqualsNoCase(piece, term)) result += holds ? L"T" : L"F";
        else result += piece;
    }
    return result;
}

std::wstring COSValidator::ReduceVariant(std::wstring e) {
    auto negated = [](wchar_t value) { return value == L'T' ? L"F" : L"T"; };
    const size_t n = e.size();
    if (e.compare(0, 3, L"&&!") == 0) {
        if (n >= 4 && (e[3] == L'T' || e[3] == L'F')) e.replace(0, 4, negated(e[3]));
    } else if (n >= 6 && e.compare(n - 4, 3, L"&&!") == 0 && e.compare(n - 6, 2, L"||") == 0) {
        if (e[n - 1] == L'T' || e[n - 1] == L'F') e.replace(n - 4, 4, negated(e[n - 1]));
    } else if (e.compare(0, 2, L"&&") == 0 || e.compare(0, 2, L"||") == 0) {
        if (n >= 3 && (e[2] == L'T' || e[2] == L'F')) e.replace(0, 3, std::wstring(1, e[2]));
    }
    static const wchar_t* const kRewrites[][2] = {
        {L"T&&F", L"F"}, {L"F&&T", L"F"}, {L"F&&F", L"F"}, {L"T&&T", L"T"},
        {L"T||F", L"T"}, {L"F||T", L"T"}, {L"F||F", L"F"}, {L"T||T", L"T"},
        {L"T&&!F", L"T"}, {L"F&&!T", L"F"}, {L"F&&!F", L"F"}, {L"T&&!T", L"F"},
    };
    for (const auto& rewrite : kRewrites) ReplaceAll(e, rewrite[0], rewrite[1]);
    return e;
}

std::wstring COSValidator::GetOSExtractPath() const {
    if (SettingsPath.empty()) return std::wstring();
    CSettingsFile settings(SettingsPath);
    std::wstring value;
    // A system without a base name has no key of its own.
    for (const std::wstring* base : {&BaseFriendlyName, &BaseVersionToken}) {
        if (base->empty()) continue;
        const std::wstring key = *base + L"ExtractPath";
        value = settings.GetString(L"OS", key.c_str());
        theLog.LogText(8, L"", key + L" : " + value);
        if (!value.empty()) break;
    }
    return value;
}
