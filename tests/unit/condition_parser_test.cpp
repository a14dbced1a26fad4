#include "checks/ConditionParser.h"

#include <gtest/gtest.h>

#include <cctype>
#include <list>
#include <map>
#include <string>

namespace {

struct ReduceCase {
    const char* name;
    std::wstring expression;
    std::map<int, int> results;
    int expected;
    std::list<std::wstring> referenced;  // in any order
};

const ReduceCase kCases[] = {
    {"single true", L"Condition1", {{1, 1}}, 1, {L"CONDITION1"}},
    {"single false", L"Condition1", {{1, 0}}, 0, {L"CONDITION1"}},
    {"any result but 1 is false", L"Condition1", {{1, 2}}, 0, {L"CONDITION1"}},
    {"case and blanks do not matter", L"condition1 and not CONDITION2", {{1, 1}, {2, 0}}, 1,
     {L"CONDITION1", L"CONDITION2"}},
    {"group then AND", L"(Condition1 OR Condition2) AND Condition3", {{1, 0}, {2, 1}, {3, 1}}, 1,
     {L"CONDITION1", L"CONDITION2", L"CONDITION3"}},
    {"1 does not eat the start of 12", L"Condition1 AND Condition12", {{1, 1}, {12, 0}}, 0,
     {L"CONDITION1", L"CONDITION12"}},
    {"12 alone leaves 1 to its own entry", L"Condition12", {{1, 0}, {12, 1}}, 1, {L"CONDITION12"}},
    // OR fires before the parentheses around the right operand are gone.
    {"OR before a parenthesised AND operand", L"Condition1 OR Condition2 AND (Condition3)",
     {{1, 1}, {2, 0}, {3, 0}}, 0, {L"CONDITION1", L"CONDITION2", L"CONDITION3"}},
    {"AND before OR within a pass", L"Condition1 OR Condition2 AND Condition3", {{1, 1}, {2, 0}, {3, 0}}, 1,
     {L"CONDITION1", L"CONDITION2", L"CONDITION3"}},
    {"NOT binds before AND", L"NOT Condition1 AND Condition2", {{1, 1}, {2, 0}}, 0,
     {L"CONDITION1", L"CONDITION2"}},
    {"more open than close", L"((Condition1)", {{1, 1}}, -2, {}},
    {"counts only, order not checked", L")Condition1(", {{1, 1}}, -1, {L"CONDITION1"}},
    {"empty expression", L"", {{1, 1}}, -1, {}},
    {"only blanks", L"   ", {}, -1, {}},
    {"reference without result", L"Condition5", {}, -1, {}},
    {"NOT NOT true", L"NOT NOT Condition1", {{1, 1}}, 1, {L"CONDITION1"}},
    {"NOT NOT false takes two passes", L"NOT NOT Condition1", {{1, 0}}, 0, {L"CONDITION1"}},
    {"unknown operator", L"Condition1 XOR Condition2", {{1, 1}, {2, 0}}, -1, {L"CONDITION1", L"CONDITION2"}},
    {"leading zero is not a reference", L"Condition01", {{1, 1}}, -1, {}},
    {"tab blocks the reduction", L"Condition1\tAND Condition2", {{1, 1}, {2, 1}}, -1,
     {L"CONDITION1", L"CONDITION2"}},
    {"nested groups", L"NOT ((Condition1 AND Condition2) OR NOT (Condition3))", {{1, 1}, {2, 0}, {3, 1}}, 1,
     {L"CONDITION1", L"CONDITION2", L"CONDITION3"}},
    {"repeated reference", L"Condition1 AND Condition1", {{1, 1}}, 1, {L"CONDITION1"}},
    {"negative number", L"Condition-1", {{-1, 1}}, 1, {L"CONDITION-1"}},
    {"garbage", L"hello world", {{1, 1}}, -1, {}},
    {"lone letter that is not T", L"X", {}, 0, {}},
    {"operator without operands", L"AND", {}, -1, {}},
};

class ReducerTable : public ::testing::TestWithParam<ReduceCase> {};

TEST_P(ReducerTable, GivesCodeAndReferences) {
    const ReduceCase& c = GetParam();
    CTavoConditionParser parser;
    std::list<std::wstring> referenced;
    EXPECT_EQ(parser.Evaluate(c.expression, c.results, referenced), c.expected);
    referenced.sort();
    std::list<std::wstring> expected = c.referenced;
    expected.sort();
    EXPECT_EQ(referenced, expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReducerTable, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ReduceCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

TEST(ReducerTest, ReferencesAreAddedToTheCallersList) {
    CTavoConditionParser parser;
    std::list<std::wstring> referenced{L"EARLIER"};
    parser.Evaluate(L"Condition2", {{2, 1}}, referenced);
    EXPECT_EQ(referenced, (std::list<std::wstring>{L"EARLIER", L"CONDITION2"}));
}

TEST(ReducerTest, ParenthesisCountsOnly) {
    EXPECT_TRUE(CTavoConditionParser::HasBalancedParentheses(L""));
    EXPECT_TRUE(CTavoConditionParser::HasBalancedParentheses(L")("));
    EXPECT_TRUE(CTavoConditionParser::HasBalancedParentheses(L"(a(b))"));
    EXPECT_FALSE(CTavoConditionParser::HasBalancedParentheses(L"(()"));
    EXPECT_FALSE(CTavoConditionParser::HasBalancedParentheses(L")"));
}

}  // namespace
