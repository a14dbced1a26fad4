#include "checks/Condition.h"
#include "checks/ConditionValidator.h"
#include "logging/LogFile.h"
#include "log_capture.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <regex>
#include <shlwapi.h>

#include <string>
#include <vector>

namespace {

using zel_test::ExpectInOrder;
using zel_test::LogCapture;

// A registry key of its own under HKCU, removed afterwards.
class TestKey {
public:
    TestKey() : path_(L"Software\\ZelCondTest\\" + std::to_wstring(::GetCurrentProcessId())) {
        ::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    }
    ~TestKey() {
        ::RegCloseKey(key_);
        ::SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\ZelCondTest");
    }
    const std::wstring& Path() const { return path_; }
    void Set(const std::wstring& name, DWORD type, const void* data, size_t bytes) {
        ASSERT_EQ(::RegSetValueExW(key_, name.c_str(), 0, type, static_cast<const BYTE*>(data),
                                   static_cast<DWORD>(bytes)),
                  ERROR_SUCCESS);
    }
    void SetString(const std::wstring& name, const std::wstring& value, DWORD type = REG_SZ) {
        Set(name, type, value.c_str(), (value.size() + 1) * sizeof(wchar_t));
    }

private:
    std::wstring path_;
    HKEY key_ = nullptr;
};

class ConditionSettings : public ::testing::Test {
protected:
    zel_test::TempDir dir;
    std::wstring path = dir.File(L"Properties_Tavo.ini");
    void Write(const std::wstring& text) { zel_test::WriteUtf16File(path, text); }
};

TEST(CollectConditionNamesTest, NamesInOrderOfAppearance) {
    struct Case {
        std::wstring expression;
        std::list<std::wstring> names;
    } cases[] = {
        {L"Condition1 AND (Condition2 OR NOT Condition3)", {L"condition1", L"condition2", L"condition3"}},
        {L"(Condition2) OR Condition1", {L"condition2", L"condition1"}},
        {L"Condition1 AND Condition1", {L"condition1", L"condition1"}},
        {L"NOT(CONDITION12)", {L"condition12"}},
        {L"Condition4", {L"condition4"}},
        {L"", {}},
        {L"no references here", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CConditionValidator::ConditionNamesIn(c.expression), c.names)
            << std::string(c.expression.begin(), c.expression.end());
}

TEST_F(ConditionSettings, CollectReadsTheActionExpression) {
    Write(L"[conditions]\r\naction1condition=Condition3 or Condition1\r\n");
    std::list<std::wstring> names{L"kept"};
    CConditionValidator().CollectConditionNames(path, names);
    EXPECT_EQ(names, (std::list<std::wstring>{L"kept", L"condition3", L"condition1"}));
}

TEST_F(ConditionSettings, ReadsReferencedDefinitionsFieldByField) {
    Write(L"[Conditions]\r\n"
          L"Action1Condition=(Condition2) OR Condition1 OR Condition70000 OR Condition9\r\n"
          L"Condition1={File};;{EXIST};{};{Msg}\r\n"
          L"Condition2= {Registry} ; {HKEY_CURRENT_USER\\A\\B} ; { = } ; {x y} ; {Msg2} ; {extra}\r\n"
          L"Condition70000={File};{C:\\a.txt}\r\n"
          L"Condition5={File};{never read};{EXIST};{};{}\r\n");
    LogCapture log;
    CCondition condition(path);
    condition.ReadConditions(1033);
    ASSERT_EQ(condition.Conditions.size(), 3u);  // Condition9 has no definition: reading stops there
    auto it = condition.Conditions.begin();
    EXPECT_EQ(it->Number, 2);
    EXPECT_EQ(it->ValueType, L"{Registry}");
    EXPECT_EQ(it->Location, L"{HKEY_CURRENT_USER\\A\\B}");
    EXPECT_EQ(it->Operator, L"{ = }");
    EXPECT_EQ(it->Value, L"{x y}");
    EXPECT_EQ(it->MessageKey, L"{Msg2}");
    ++it;
    // The empty field is dropped, so the later fields move forward.
    EXPECT_EQ(it->Number, 1);
    EXPECT_EQ(it->ValueType, L"{File}");
    EXPECT_EQ(it->Location, L"{EXIST}");
    EXPECT_EQ(it->Operator, L"{}");
    EXPECT_EQ(it->Value, L"{Msg}");
    EXPECT_EQ(it->MessageKey, L"");
    ++it;
    EXPECT_EQ(it->Number, 70000 & 0xFFFF);
    EXPECT_EQ(it->Location, L"{C:\\a.txt}");
    EXPECT_EQ(it->Operator, L"");
    EXPECT_EQ(it->MessageKey, L"");
    ExpectInOrder(log.Text(), {"CCondition::ReadConditions |condition2 : {Registry} ; {HKEY_CURRENT_USER\\A\\B} ;",
                               "CCondition::ReadConditions |condition1 : {File};;{EXIST};{};{Msg}",
                               "CCondition::ReadConditions |condition70000 : {File};{C:\\a.txt}"});
}

TEST_F(ConditionSettings, UndefinedReferenceStopsTheReading) {
    Write(L"[Conditions]\r\nAction1Condition=Condition1 OR Condition2 OR Condition3\r\n"
          L"Condition1={File};{a};{EXIST};{};{}\r\nCondition3={File};{c};{EXIST};{};{}\r\n");
    CCondition condition(path);
    condition.ReadConditions(1033);
    ASSERT_EQ(condition.Conditions.size(), 1u);
    EXPECT_EQ(condition.Conditions.front().Number, 1);
}

TEST_F(ConditionSettings, ReadsTheActionOnlyWithAnExpression) {
    Write(L"[Conditions]\r\nAction1=Extract\r\nAction1Message=Msg\r\n");
    CCondition without(path);
    without.ReadActions();
    EXPECT_TRUE(without.Actions.empty());

    Write(L"[Conditions]\r\nAction1Condition=condition1 And X\r\nAction1=extract\r\nAction1Message={Msg}\r\n");
    CCondition with(path);
    with.ReadActions();
    ASSERT_EQ(with.Actions.size(), 1u);
    EXPECT_EQ(with.Actions.front().Condition, L"condition1 And X");
    EXPECT_EQ(with.Actions.front().Name, L"extract");
    EXPECT_EQ(with.Actions.front().MessageKey, L"{Msg}");
    EXPECT_EQ(with.Actions.front().Satisfied, 0);
}

TEST_F(ConditionSettings, PropertiesComeFromTheRegistryIntoLocations) {
    TestKey key;
    key.SetString(L"Path", L"C:\\X");
    key.SetString(L"Full", L"D:\\Y\\");
    Write(L"[ReadRegEntries]\r\n"
          L"Root1=1\r\nKey1=" + key.Path() + L"\r\nEntry1=Path\r\nProperty1=XDIR\r\n"
          L"Root2=7\r\nKey2=" + key.Path() + L"\r\nEntry2=Path\r\nProperty2=GONE\r\n"
          L"Root3=65537\r\nKey3=" + key.Path() + L"\r\nEntry3=Path\r\nProperty3=WRAPPED\r\n"
          L"Root4=1\r\nKey4=" + key.Path() + L"\r\nEntry4=Full\r\nProperty4=YDIR\r\n"
          L"Root6=1\r\nKey6=x\r\nEntry6=x\r\nProperty6=AFTERGAP\r\n");
    LogCapture log;
    CCondition condition(path);
    condition.ReadRegEntries();
    ASSERT_EQ(condition.Properties.size(), 4u);  // stops at the missing Root5
    condition.EvaluateReadRegEntries();
    auto it = condition.Properties.begin();
    EXPECT_EQ(it->Value, L"C:\\X");
    EXPECT_EQ((++it)->Value, L"");  // root 7 does not exist
    EXPECT_EQ((++it)->Value, L"C:\\X");  // the index counts in 16 bits: 65537 is 1
    EXPECT_EQ((++it)->Value, L"D:\\Y\\");

    auto add = [&](const wchar_t* type, const wchar_t* location) {
        CConditionParts parts;
        parts.ValueType = type;
        parts.Location = location;
        condition.Conditions.push_back(parts);
    };
    add(L"{file}", L"{[XDIR]bin\\tool.exe}");
    add(L"{Registry}", L"{[XDIR]}");
    add(L"{File}", L"{[GONE]a[xdir][XDIR][XDIR]}");
    add(L"{File}", L"{[YDIR]z}");
    condition.SubstituteProperties();
    it = condition.Properties.begin();
    auto c = condition.Conditions.begin();
    EXPECT_EQ((c++)->Location, L"{C:\\X\\bin\\tool.exe}");
    EXPECT_EQ((c++)->Location, L"{C:\\X}");  // no backslash added for registry locations
    EXPECT_EQ((c++)->Location, L"{a[xdir]C:\\X\\C:\\X\\}");
    EXPECT_EQ((c++)->Location, L"{D:\\Y\\z}");

    std::string keyPath(key.Path().begin(), key.Path().end());
    ExpectInOrder(log.Text(), {"EvaluateReadRegEntries |Reading Registry : Root = 1 Key = " + keyPath + " Entry = Path",
                               "EvaluateReadRegEntries |Registry Value : C:\\X",
                               "EvaluateReadRegEntries |Property : XDIR = C:\\X",
                               "Reading Registry : Root = 7 Key = ", "Registry Value : \r\n",
                               "Property : GONE = \r\n"});
}

TEST_F(ConditionSettings, RootWrittenAsMinusOneEndsTheList) {
    Write(L"[ReadRegEntries]\r\nRoot1=-1\r\nKey1=a\r\nRoot2=1\r\n");
    CCondition condition(path);
    condition.ReadRegEntries();
    EXPECT_TRUE(condition.Properties.empty());
}

TEST(ReadRegistryValueTest, EveryValueType) {
    TestKey key;
    key.SetString(L"Sz", L"Hello World");
    key.SetString(L"Expand", L"%TEMP%\\x", REG_EXPAND_SZ);
    DWORD allBits = 0xFFFFFFFF, answer = 42;
    key.Set(L"AllBits", REG_DWORD, &allBits, sizeof(allBits));
    key.Set(L"Answer", REG_DWORD, &answer, sizeof(answer));
    const wchar_t multi[] = L"first\0second\0";
    key.Set(L"Multi", REG_MULTI_SZ, multi, sizeof(multi));
    const unsigned char bytes[] = {1, 2, 3, 4};
    key.Set(L"Binary", REG_BINARY, bytes, sizeof(bytes));
    key.Set(L"EmptySz", REG_SZ, L"", 0);
    key.Set(L"Unterminated", REG_SZ, L"abc", 3 * sizeof(wchar_t));
    const std::wstring huge(100000, L'h');
    key.SetString(L"Huge", huge);
    key.SetString(L"", L"default value");

    struct Case {
        const wchar_t* keyPath;
        const wchar_t* name;
        int status;
        std::wstring text;
    } cases[] = {
        {nullptr, L"Sz", 1, L"Hello World"},
        {nullptr, L"Expand", 1, L"%TEMP%\\x"},
        {nullptr, L"AllBits", 1, L"-1"},
        {nullptr, L"Answer", 1, L"42"},
        {nullptr, L"Multi", 1, L"first"},
        {nullptr, L"Binary", 1, L""},
        {nullptr, L"EmptySz", 1, L""},
        {nullptr, L"Unterminated", 1, L"abc"},
        {nullptr, L"Huge", 1, huge},  // read whole, not cut at 1024 characters
        {nullptr, L"", 1, L"default value"},
        {nullptr, L"Missing", -2, L""},
        {L"Software\\ZelCondTest\\NoSuchKey", L"Sz", -2, L""},
    };
    for (const Case& c : cases) {
        std::wstring text = L"stale";
        EXPECT_EQ(CCondition::ReadRegistryValue(HKEY_CURRENT_USER, c.keyPath ? c.keyPath : key.Path(), c.name, text),
                  c.status)
            << std::string(c.name, c.name + wcslen(c.name));
        EXPECT_EQ(text, c.text) << std::string(c.name, c.name + wcslen(c.name));
    }
}

TEST_F(ConditionSettings, MessageOfTheLanguageSectionWithoutBraces) {
    Write(L"[1033]\r\nConditionMessage1=Needs the tool.\r\nPlain=Plain text\r\n[1031]\r\nConditionMessage1=Braucht\r\n");
    CCondition condition(path);
    EXPECT_EQ(condition.GetMessage(1033, L"{ConditionMessage1}"), L"Needs the tool.");
    EXPECT_EQ(condition.GetMessage(1031, L"{{ConditionMessage1}}"), L"Braucht");
    EXPECT_EQ(condition.GetMessage(1033, L"Plain"), L"Plain text");
    EXPECT_EQ(condition.GetMessage(1036, L"{ConditionMessage1}"), L"");
    EXPECT_EQ(condition.GetMessage(1033, L"{}"), L"");
}

}  // namespace
