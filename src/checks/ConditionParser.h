// Reduces the package's action expression ("Condition1 AND NOT Condition2")
// to one verdict from the results of its conditions.
#pragma once

#include <list>
#include <map>
#include <string>

class CTavoConditionParser {
public:
    CTavoConditionParser() = default;
    virtual ~CTavoConditionParser() = default;

    // 1 true, 0 false, -1 not reducible, -2 unbalanced parentheses. A result
    // of 1 means satisfied, anything else not. Adds the text of every
    // condition reference it substituted (upper case) to referenced.
    int Evaluate(const std::wstring& expression, const std::map<int, int>& results,
                 std::list<std::wstring>& referenced) const;

    // Compares only the counts of "(" and ")": ")(" is balanced.
    static bool HasBalancedParentheses(const std::wstring& expression);
};
