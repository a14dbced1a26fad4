#include "checks/ConditionParser.h"

#include "platform/Text.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

// The expression is rewritten as text, not parsed, and the verdict is
// whatever the rewriting leaves. Packages in the field depend on this exact
// behaviour, including where it departs from conventional precedence:
// "T OR F AND (F)" gives F, because OR fires before the parentheses around F
// are gone.
//
//   1. Upper-case the whole expression.
//   2. Unequal counts of "(" and ")"               -> -2.
//   3. CONDITION<n> -> "T" when its result is 1, "F" otherwise; a reference
//      counts only when no decimal digit follows it (CONDITION1 never eats the
//      start of CONDITION12).
//   4. Drop every blank (U+0020); a tab stays and blocks the reduction.
//   5. Passes: each applies the rules below once, in order, every rule
//      replacing all non-overlapping matches left to right on the result of
//      the previous rule. Stop when one character is left; a pass that does
//      not shorten the text                       -> -1.
//        NOTT->F  NOTF->T
//        TANDF->F FANDT->F FANDF->F TANDT->T
//        TORF->T  FORT->T  FORF->F  TORT->T
//        (T)->T   (F)->F
//   6. "T" -> 1, any other single character        -> 0.

namespace {

struct RewriteRule {
    const wchar_t* find;
    const wchar_t* replace;
};

constexpr RewriteRule kRules[] = {
    {L"NOTT", L"F"},  {L"NOTF", L"T"},  {L"TANDF", L"F"}, {L"FANDT", L"F"},
    {L"FANDF", L"F"}, {L"TANDT", L"T"}, {L"TORF", L"T"},  {L"FORT", L"T"},
    {L"FORF", L"F"},  {L"TORT", L"T"},  {L"(T)", L"T"},   {L"(F)", L"F"},
};


bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Returns whether at least one whole reference was replaced.
bool SubstituteReference(std::wstring& text, const std::wstring& reference, const std::wstring& letter) {
    bool replaced = false;
    size_t pos = 0;
    while ((pos = text.find(reference, pos)) != std::wstring::npos) {
        size_t end = pos + reference.size();
        if (end < text.size() && IsDigit(text[end])) {
            pos = end;
            continue;
        }
        text.replace(pos, reference.size(), letter);
        pos += letter.size();
        replaced = true;
    }
    return replaced;
}

void SubstituteReferences(std::wstring& text, const std::map<int, int>& results,
                          std::list<std::wstring>& referenced) {
    for (const auto& [number, result] : results) {
        std::wstring reference = L"CONDITION" + std::to_wstring(number);
        if (SubstituteReference(text, reference, result == 1 ? L"T" : L"F")) referenced.push_back(reference);
    }
}

void RemoveBlanks(std::wstring& text) { text.erase(std::remove(text.begin(), text.end(), L' '), text.end()); }

void ApplyRule(std::wstring& text, const RewriteRule& rule) {
    const std::wstring find = rule.find;
    const std::wstring replace = rule.replace;
    std::wstring out;
    size_t start = 0;
    size_t pos;
    while ((pos = text.find(find, start)) != std::wstring::npos) {
        out.append(text, start, pos - start);
        out += replace;
        start = pos + find.size();
    }
    if (start == 0) return;
    out.append(text, start, std::wstring::npos);
    text.swap(out);
}

void RunPass(std::wstring& text) {
    for (const RewriteRule& rule : kRules) ApplyRule(text, rule);
}

// -1 when a pass stops shortening the text before one character is left.
int Reduce(std::wstring& text) {
    size_t previous = text.size();
    for (;;) {
        RunPass(text);
        if (text.size() == 1) return 0;
        if (text.size() == previous) return -1;
        previous = text.size();
    }
}

}  // namespace

bool CTavoConditionParser::HasBalancedParentheses(const std::wstring& expression) {
    return std::count(expression.begin(), expression.end(), L'(') ==
           std::count(expression.begin(), expression.end(), L')');
}

int CTavoConditionParser::Evaluate(const std::wstring& expression, const std::map<int, int>& results,
                                   std::list<std::wstring>& referenced) const {
    std::wstring text = zel::ToUpper(expression);
    if (!HasBalancedParentheses(text)) return -2;
    SubstituteReferences(text, results, referenced);
    RemoveBlanks(text);
    if (Reduce(text) != 0) return -1;
    return text == L"T" ? 1 : 0;
}
