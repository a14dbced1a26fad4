#include "checks/Condition.h"
#include "checks/ExtractorValidator.h"
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

using zel_test::Narrow;

// A registry key of its own, removed afterwards.
class TestKey {
public:
    explicit TestKey(HKEY root = HKEY_CURRENT_USER)
        : root_(root), path_(L"Software\\ZelCondTest" + std::to_wstring(::GetCurrentProcessId())) {
        ::RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    }
    ~TestKey() {
        ::RegCloseKey(key_);
        ::SHDeleteKeyW(root_, path_.c_str());
    }
    bool Created() const { return key_ != nullptr; }
    const std::wstring& Path() const { return path_; }
    void Set(const std::wstring& name, DWORD type, const void* data, size_t bytes) {
        ::RegSetValueExW(key_, name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(bytes));
    }
    void SetString(const std::wstring& name, const std::wstring& value, DWORD type = REG_SZ) {
        Set(name, type, value.c_str(), (value.size() + 1) * sizeof(wchar_t));
    }

private:
    HKEY root_;
    std::wstring path_;
    HKEY key_ = nullptr;
};

std::wstring TestProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

int Evaluate(const std::wstring& type, const std::wstring& location, const std::wstring& op,
             const std::wstring& value) {
    CCondition condition(L"");
    CConditionParts parts;
    parts.Number = 1;
    parts.ValueType = type;
    parts.Location = location;
    parts.Operator = op;
    parts.Value = value;
    condition.Conditions.push_back(parts);
    condition.EvaluateConditions();
    return condition.Conditions.front().Result;
}

TEST(CompareVersionsTest, Table) {
    struct Case {
        const wchar_t* first;
        const wchar_t* second;
        int expected;  // 0 first greater, 1 first smaller, 2 equal
    } cases[] = {
        {L"V13_00.5", L"13.0.5", 2},
        {L"1.2", L"1.2.0.0", 2},
        {L"1.2.0.0", L"1.2", 2},
        {L"01.2", L"1.2", 2},
        {L"", L"1.0", 2},
        {L"1.0", L"", 2},
        {L"...", L"1.0", 2},  // no pieces at all
        {L"2.1.0.5", L"2.1", 0},
        {L"2.0.9.9", L"2.1", 1},
        {L"1.10", L"1.9", 0},
        {L"1.2", L"1.2.0.1", 1},
        {L"1.2.3", L"1.2", 0},
        {L"13.0.1.0", L"V13_00.1", 2},
        {L"1_2_3", L"1.2", 2},  // only the first "_" becomes ".": "2_3" counts as 2
        {L"abc", L"0", 2},      // no digits: kept whole, counts as 0
        {L"abc", L"1", 1},
        {L"5.4.1", L"5.4", 0},
        {L" 1 . 2 ", L"1.2", 2},
        {L"1.2beta", L"1.2", 2},
        {L"99999999999", L"99999999998", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CCondition::CompareVersions(c.first, c.second), c.expected)
            << Narrow(c.first) << " vs " << Narrow(c.second);
}

TEST(ApplyOperatorTest, Table) {
    struct Case {
        const wchar_t* op;
        int greater, smaller, equal;
    } cases[] = {
        {.op = L"{=}", .greater = 0, .smaller = 0, .equal = 1},
        {.op = L"{>=}", .greater = 1, .smaller = 0, .equal = 1},
        {.op = L"{<=}", .greater = 0, .smaller = 1, .equal = 1},
        {.op = L"{!=}", .greater = 1, .smaller = 1, .equal = 0},
        {.op = L"{>}", .greater = 1, .smaller = 0, .equal = 0},
        {.op = L"{<}", .greater = 0, .smaller = 1, .equal = 0},
        {.op = L"{==}", .greater = 0, .smaller = 0, .equal = 0},
        {.op = L"{EXIST}", .greater = 0, .smaller = 0, .equal = 0},
        {.op = L">=", .greater = 0, .smaller = 0, .equal = 0},
        {.op = L"", .greater = 0, .smaller = 0, .equal = 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CCondition::ApplyOperator(c.op, 0), c.greater) << Narrow(c.op);
        EXPECT_EQ(CCondition::ApplyOperator(c.op, 1), c.smaller) << Narrow(c.op);
        EXPECT_EQ(CCondition::ApplyOperator(c.op, 2), c.equal) << Narrow(c.op);
    }
    EXPECT_EQ(CCondition::CompareStrings(L"PRO", L"pro", L"{=}"), 1);
    EXPECT_EQ(CCondition::CompareStrings(L"PRO", L"home", L"{!=}"), 1);
    EXPECT_EQ(CCondition::CompareStrings(L"b", L"a", L"{>}"), 0);
}

TEST(ExpandFileLocationTest, OnlyALeadingVariable) {
    ::SetEnvironmentVariableW(L"ZELCOND_A", L"C:\\Base");
    ::SetEnvironmentVariableW(L"ZELCOND_B", L"C:\\Slash\\");
    ::SetEnvironmentVariableW(L"ZELCOND_EMPTY", nullptr);
    struct Case {
        const wchar_t* location;
        const wchar_t* expected;
    } cases[] = {
        {L"{[%ZELCOND_A%]Tool\\tool.exe}", L"C:\\Base\\Tool\\tool.exe"},
        {L"{{ [%ZELCOND_B%]x.exe }}", L"C:\\Slash\\x.exe"},
        {L"{[%zelcond_a%]x}", L"C:\\Base\\x"},  // names without regard to case
        {L"{[%ZELCOND_A%]a;[%ZELCOND_A%]b}", L"C:\\Base\\a;C:\\Base\\b"},
        {L"{C:\\Tools\\[%ZELCOND_A%]x.exe}", L"C:\\Tools\\[%ZELCOND_A%]x.exe"},
        {L"{[%ZELCOND_EMPTY%]x.exe}", L"[%ZELCOND_EMPTY%]x.exe"},
        {L"{[%ZELCOND_A%}", L"[%ZELCOND_A%"},
        {L"{[%%]}", L"[%%]"},
        {L"{}", L""},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(CCondition::ExpandFileLocation(c.location), c.expected) << Narrow(c.location);
}

class FileConditions : public ::testing::Test {
protected:
    zel_test::TempDir dir;
    void SetUp() override {
        const std::wstring from = TestProgramFolder();
        ASSERT_TRUE(::CopyFileW((from + L"versioned_2_1_0_5.exe").c_str(), dir.File(L"tool.exe").c_str(), FALSE));
        ASSERT_TRUE(::CopyFileW((from + L"versioned_2_0_9_9.exe").c_str(), dir.File(L"old.exe").c_str(), FALSE));
        ASSERT_TRUE(::CopyFileW((from + L"versioned_13_0_1_0.exe").c_str(), dir.File(L"v13.exe").c_str(), FALSE));
        zel_test::WriteBytes(dir.File(L"plain.txt"), "no version");
        ASSERT_TRUE(::CreateDirectoryW(dir.File(L"folder").c_str(), nullptr));
        std::wstring noSlash = dir.Path().substr(0, dir.Path().size() - 1);
        ::SetEnvironmentVariableW(L"ZELCONDDIR", noSlash.c_str());
    }
};

TEST_F(FileConditions, VersionsOfTheTestPrograms) {
    EXPECT_EQ(CCondition::GetFileVersion(dir.File(L"tool.exe")), L"2.1.0.5");
    EXPECT_EQ(CCondition::GetFileVersion(dir.File(L"v13.exe")), L"13.0.1.0");
    EXPECT_EQ(CCondition::GetFileVersion(dir.File(L"plain.txt")), L"");
    EXPECT_EQ(CCondition::GetFileVersion(dir.File(L"missing.exe")), L"");
}

TEST_F(FileConditions, Table) {
    const std::wstring d = dir.Path();
    struct Case {
        std::wstring type, location, op, value;
        int expected;
    } cases[] = {
        {.type = L"{File}", .location = d + L"tool.exe", .op = L"{EXIST}", .value = L"{}", .expected = 1},
        {.type = L"{file}", .location = L"{" + d + L"tool.exe}", .op = L"{exist}", .value = L"{}", .expected = 1},
        {.type = L"{File}", .location = d + L"missing.exe", .op = L"{EXIST}", .value = L"{}", .expected = 0},
        {.type = L"{File}", .location = d + L"missing.exe", .op = L"{NOTEXIST}", .value = L"{}", .expected = 1},
        {.type = L"{File}", .location = d + L"tool.exe", .op = L"{NotExist}", .value = L"{}", .expected = 0},
        {.type = L"{File}", .location = d + L"tool.exe", .op = L"{}", .value = L"{}", .expected = 1},
        {.type = L"{File}", .location = d + L"missing.exe", .op = L"{}", .value = L"{}", .expected = 0},
        {.type = L"{File}", .location = d + L"t??l.*", .op = L"{EXIST}", .value = L"{}", .expected = 1},
        {.type = L"{File}", .location = d + L"*.dll", .op = L"{EXIST}", .value = L"{}", .expected = 0},
        {.type = L"{File}", .location = d + L"folder", .op = L"{EXIST}", .value = L"{}", .expected = 1},
        {.type = L"{File}", .location = L"{[%ZELCONDDIR%]tool.exe}", .op = L"{>=}", .value = L"{2.1}", .expected = 1},
        {.type = L"{File}", .location = L"{[%ZELCONDDIR%]old.exe}", .op = L"{>=}", .value = L"{2.1}", .expected = 0},
        {.type = L"{File}", .location = L"{[%ZELCONDDIR%]old.exe}", .op = L"{<}", .value = L"{2.1}", .expected = 1},
        {.type = L"{File}", .location = d + L"tool.exe", .op = L"{=}", .value = L"{2.1.0.5}", .expected = 1},
        {.type = L"{File}", .location = d + L"tool.exe", .op = L"{=}", .value = L"{ 2.1.0.5 }", .expected = 1},
        {.type = L"{File}", .location = d + L"tool.exe", .op = L"{ = }", .value = L"{2.1.0.5}", .expected = 1},
        {.type = L"{File}", .location = d + L"tool.exe", .op = L"{!=}", .value = L"{2.1.0.5}", .expected = 0},
        {.type = L"{File}", .location = d + L"tool.exe", .op = L"{!=}", .value = L"{2.1.0.4}", .expected = 1},
        {.type = L"{File}", .location = d + L"tool.exe", .op = L"{<=}", .value = L"{2.1.0.5}", .expected = 1},
        {.type = L"{File}", .location = d + L"tool.exe", .op = L"{>}", .value = L"{2.1.0.5}", .expected = 0},
        {.type = L"{File}", .location = d + L"tool.exe", .op = L"{<}", .value = L"{2.1.0.6}", .expected = 1},
        {.type = L"{File}", .location = d + L"tool.exe", .op = L"{==}", .value = L"{2.1.0.5}", .expected = 0},
        {.type = L"{File}", .location = d + L"v13.exe", .op = L"{=}", .value = L"{V13_00.1}", .expected = 1},
        // an empty value equals every version
        {.type = L"{File}", .location = d + L"tool.exe", .op = L"{=}", .value = L"{}", .expected = 1},
        {.type = L"{File}", .location = d + L"missing.dll", .op = L"{=}", .value = L"{}", .expected = 1},
        {.type = L"{File}", .location = d + L"plain.txt", .op = L"{=}", .value = L"{}", .expected = 1},
        {.type = L"{File}", .location = d + L"plain.txt", .op = L"{>=}", .value = L"{1.0}", .expected = 0},
        {.type = L"{File}", .location = d + L"missing.dll", .op = L"{!=}", .value = L"{1.0}", .expected = 0},
        {.type = L"{File}", .location = L"{C:\\Tools\\[%ZELCONDDIR%]tool.exe}", .op = L"{EXIST}", .value = L"{}",
         .expected = 0},
        {.type = L"{Folder}", .location = d + L"tool.exe", .op = L"{EXIST}", .value = L"{}", .expected = 0},
        {.type = L"", .location = d + L"tool.exe", .op = L"{EXIST}", .value = L"{}", .expected = 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Evaluate(c.type, c.location, c.op, c.value), c.expected)
            << Narrow(c.location) << " " << Narrow(c.op) << " " << Narrow(c.value);
}

TEST_F(FileConditions, LogsEachStep) {
    LogCapture log;
    EXPECT_EQ(Evaluate(L"{File}", L"{[%ZELCONDDIR%]old.exe}", L"{>=}", L"{2.1}"), 0);
    const std::string path = Narrow(dir.File(L"old.exe"));
    ExpectInOrder(log.Text(), {"CCondition::EvaluateConditions |Operator : {>=}",
                               "CCondition::EvaluateConditions |Finding file : " + path,
                               "CCondition::EvaluateConditions |Compare Versions : 2.0.9.9 and 2.1 \r\n",
                               "CCondition::EvaluateConditions |Condition1 = 0"});
}

class RegistryConditions : public ::testing::Test {
protected:
    TestKey key;
    std::wstring at;  // location prefix of the test key
    void SetUp() override {
        at = L"{HKEY_CURRENT_USER\\" + key.Path() + L"\\";
        key.SetString(L"Version", L"5.4.1");
        key.SetString(L"Edition", L"PRO");
        key.SetString(L"Spaced", L"Hello World");
        key.Set(L"EmptySz", REG_SZ, L"", 0);
        key.SetString(L"Expand", L"%TEMP%\\x", REG_EXPAND_SZ);
        DWORD allBits = 0xFFFFFFFF, answer = 42;
        key.Set(L"AllBits", REG_DWORD, &allBits, sizeof(allBits));
        key.Set(L"Answer", REG_DWORD, &answer, sizeof(answer));
        const wchar_t multi[] = L"first\0second\0";
        key.Set(L"Multi", REG_MULTI_SZ, multi, sizeof(multi));
        const unsigned char bytes[] = {1, 2, 3};
        key.Set(L"Binary", REG_BINARY, bytes, sizeof(bytes));
    }
};

TEST_F(RegistryConditions, Table) {
    const std::wstring hkcuShort = L"{HKCU\\" + key.Path() + L"\\";
    const std::wstring lowerRoot = L"{hkey_current_user\\" + key.Path() + L"\\";
    struct Case {
        std::wstring location, op, value;
        int expected;
    } cases[] = {
        {.location = at + L"Version}", .op = L"{>=}", .value = L"{5.4}", .expected = 1},
        {.location = at + L"Version}", .op = L"{<}", .value = L"{5.4}", .expected = 0},
        {.location = hkcuShort + L"Version}", .op = L"{>=}", .value = L"{5.4}", .expected = 0},
        {.location = lowerRoot + L"Version}", .op = L"{EXIST}", .value = L"{}", .expected = 0},
        {.location = at + L"Version}", .op = L"{=}", .value = L"{5.4.1.0}", .expected = 0},  // "=" compares text
        {.location = at + L"Edition}", .op = L"{=}", .value = L"{pro}", .expected = 1},
        {.location = at + L"Edition}", .op = L"{>}", .value = L"{abc}", .expected = 0},
        {.location = at + L"Edition}", .op = L"{<}", .value = L"{abc}", .expected = 0},
        {.location = at + L"Edition}", .op = L"{!=}", .value = L"{}", .expected = 1},
        {.location = at + L"Edition}", .op = L"{!=}", .value = L"{Pro}", .expected = 0},
        {.location = at + L"Edition}", .op = L"{!=}", .value = L"{Home}", .expected = 1},
        {.location = at + L"Spaced}", .op = L"{=}", .value = L"{Hello World}", .expected = 1},
        {.location = at + L"Edition}", .op = L"{EXIST}", .value = L"{}", .expected = 1},
        {.location = at + L"Edition}", .op = L"{}", .value = L"{}", .expected = 1},
        {.location = at + L"Missing}", .op = L"{exist}", .value = L"{}", .expected = 0},
        {.location = at + L"Missing}", .op = L"{NOTEXIST}", .value = L"{}", .expected = 1},
        {.location = at + L"Missing}", .op = L"{=}", .value = L"{}", .expected = 0},
        {.location = at + L"Missing}", .op = L"{!=}", .value = L"{x}", .expected = 0},
        {.location = L"{HKEY_CURRENT_USER\\Software\\ZelCondNoSuchKey\\Value}", .op = L"{NOTEXIST}", .value = L"{}",
         .expected = 1},
        {.location = at + L"EmptySz}", .op = L"{=}", .value = L"{}", .expected = 1},
        {.location = at + L"EmptySz}", .op = L"{!=}", .value = L"{x}", .expected = 1},
        {.location = at + L"EmptySz}", .op = L"{>=}", .value = L"{1}", .expected = 0},
        {.location = at + L"Expand}", .op = L"{=}", .value = L"{%TEMP%\\x}", .expected = 1},
        {.location = at + L"AllBits}", .op = L"{=}", .value = L"{-1}", .expected = 1},
        {.location = at + L"Answer}", .op = L"{>}", .value = L"{41}", .expected = 1},
        {.location = at + L"Answer}", .op = L"{<=}", .value = L"{41}", .expected = 0},
        // an empty value counts as a version equal to any
        {.location = at + L"Answer}", .op = L"{>=}", .value = L"{}", .expected = 1},
        {.location = at + L"Multi}", .op = L"{=}", .value = L"{first}", .expected = 1},
        {.location = at + L"Binary}", .op = L"{EXIST}", .value = L"{}", .expected = 1},
        {.location = at + L"Binary}", .op = L"{=}", .value = L"{}", .expected = 1},
        {.location = at + L"Binary}", .op = L"{>=}", .value = L"{1}", .expected = 0},
        {.location = at + L"Edition}", .op = L"{~}", .value = L"{PRO}", .expected = 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Evaluate(L"{Registry}", c.location, c.op, c.value), c.expected)
            << Narrow(c.location) << " " << Narrow(c.op) << " " << Narrow(c.value);
}

TEST_F(RegistryConditions, LocationWithoutValueNameReadsTheDefaultValue) {
    std::wstring text;
    key.SetString(L"", L"default");
    EXPECT_EQ(CCondition::ReadRegistryLocation(L"{HKEY_CURRENT_USER\\" + key.Path() + L"\\}", text), -2);
    EXPECT_EQ(CCondition::ReadRegistryLocation(L"HKEY_CURRENT_USER\\" + key.Path() + L"\\\\Edition", text), 1);
    EXPECT_EQ(text, L"PRO");
    EXPECT_EQ(CCondition::ReadRegistryLocation(L"{HKEY_CURRENT_USER\\ \\Software\\ZelCondNoSuchKey\\X}", text), -2);
    EXPECT_EQ(CCondition::ReadRegistryLocation(L"{}", text), -2);
    EXPECT_EQ(text, L"");
}

// A 32-bit stub reads the registry view of 32-bit programs: HKLM\SOFTWARE\X
// is HKLM\SOFTWARE\WOW6432Node\X on a 64-bit system.
TEST(RegistryViewTest, MachineValuesComeFromThisProcessView) {
    TestKey machine(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(machine.Created());
    machine.SetString(L"Version", L"7.1");
    EXPECT_EQ(Evaluate(L"{Registry}", L"{HKEY_LOCAL_MACHINE\\" + machine.Path() + L"\\Version}", L"{>=}", L"{7}"), 1);
    EXPECT_EQ(Evaluate(L"{Registry}", L"{HKLM\\" + machine.Path() + L"\\Version}", L"{>=}", L"{7}"), 0);

    BOOL wow64 = FALSE;
    if (sizeof(void*) == 4 && ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64) {
        HKEY native = nullptr;
        std::wstring redirected = L"Software\\Wow6432Node\\" + machine.Path().substr(wcslen(L"Software\\"));
        ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, redirected.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &native),
                  ERROR_SUCCESS);
        ::RegCloseKey(native);
    }
}

// ---- Whole checks on a settings file ----

struct Def {
    int number;
    bool satisfied;
    std::wstring messageKey;
};

std::wstring Settings(const std::wstring& expression, const std::vector<Def>& defs,
                      const std::wstring& action = L"Extract") {
    std::wstring text = L"[Conditions]\r\nAction1Condition=" + expression + L"\r\nAction1=" + action +
                        L"\r\nAction1Message=ActMsg\r\n";
    for (const Def& d : defs)
        text += L"Condition" + std::to_wstring(d.number) +
                (d.satisfied ? L"={File};{C:\\windows};{EXIST};{};" : L"={File};{C:\\zel-none.txt};{EXIST};{};") +
                d.messageKey + L"\r\n";
    return text;
}

class CheckConditionsTest : public ::testing::Test {
protected:
    zel_test::TempDir dir;
    CExtractorValidator validator;
    void SetUp() override { validator.SetSettingsPath(dir.File(L"Properties_Tavo.ini")); }
    void Write(const std::wstring& text) { zel_test::WriteUtf16File(validator.GetSettingsPath(), text); }
};

TEST_F(CheckConditionsTest, MessageKeysOfTheConditionsThatCausedTheRefusal) {
    struct Case {
        const char* name;
        std::wstring expression;
        std::vector<Def> defs;
        int allowed;
        std::wstring keys;
    } cases[] = {
        {.name = "failed condition listed", .expression = L"Condition1 AND Condition2",
         .defs = {{1, true, L"{Msg1}"}, {2, false, L"{Msg2}"}}, .allowed = 0, .keys = L"{ActMsg};{Msg2};"},
        {.name = "negated condition left out", .expression = L"NOT Condition1 AND Condition2",
         .defs = {{1, false, L"{Msg1}"}, {2, false, L"{Msg2}"}}, .allowed = 0, .keys = L"{ActMsg};{Msg2};"},
        {.name = "negated group left out", .expression = L"NOT (Condition1 OR Condition2)",
         .defs = {{1, false, L"{Msg1}"}, {2, false, L"{Msg2}"}}, .allowed = 1, .keys = L"{ActMsg};"},
        {.name = "group after AND NOT", .expression = L"Condition1 AND NOT (Condition2 OR Condition3)",
         .defs = {{1, false, L"{Msg1}"}, {2, true, L"{Msg2}"}, {3, false, L"{Msg3}"}}, .allowed = 0,
         .keys = L"{ActMsg};{Msg1};"},
        {.name = "plain occurrence beats a negated one", .expression = L"Condition1 AND NOT Condition1",
         .defs = {{1, false, L"{Msg1}"}}, .allowed = 0, .keys = L"{ActMsg};{Msg1};"},
        {.name = "duplicate key listed once", .expression = L"Condition1 AND Condition2",
         .defs = {{1, false, L"{Dup}"}, {2, false, L"{dup}"}}, .allowed = 0, .keys = L"{ActMsg};{Dup};"},
        {.name = "no message", .expression = L"Condition1 OR Condition2",
         .defs = {{1, false, L"{}"}, {2, false, L"{Msg2}"}}, .allowed = 0, .keys = L"{ActMsg};{Msg2};"},
        {.name = "action key not repeated", .expression = L"Condition1", .defs = {{1, false, L"{ActMsg}"}},
         .allowed = 0, .keys = L"{ActMsg};"},
        {.name = "unbalanced: nothing referenced", .expression = L"((Condition1)", .defs = {{1, false, L"{Msg1}"}},
         .allowed = 0, .keys = L"{ActMsg};"},
        {.name = "undefined reference stops the reading, read ones still count",
         .expression = L"Condition1 OR Condition2", .defs = {{1, false, L"{Msg1}"}}, .allowed = 0,
         .keys = L"{ActMsg};{Msg1};"},
        {.name = "all satisfied", .expression = L"Condition1 OR Condition2",
         .defs = {{1, true, L"{Msg1}"}, {2, false, L"{Msg2}"}}, .allowed = 1, .keys = L"{ActMsg};{Msg2};"},
    };
    for (const Case& c : cases) {
        Write(Settings(c.expression, c.defs));
        EXPECT_EQ(validator.CheckConditions(1033), c.allowed) << c.name;
        EXPECT_EQ(validator.ConditionMessageKeys, c.keys) << c.name;
    }
}

TEST_F(CheckConditionsTest, NoExpressionMeansNoRequirements) {
    Write(L"[Conditions]\r\nAction1=Extract\r\nCondition1={File};{C:\\zel-none.txt};{EXIST};{};{Msg1}\r\n");
    validator.ConditionMessageKeys = L"{Earlier};";
    LogCapture log;
    EXPECT_EQ(validator.CheckConditions(1033), 1);
    EXPECT_EQ(validator.ConditionMessageKeys, L"{Earlier};");
    EXPECT_EQ(log.Text(), "");
}

TEST_F(CheckConditionsTest, OnlyTheExtractActionAllowsExtraction) {
    for (const wchar_t* action : {L"", L"Install", L"Extract it", L"eXtRaCt"}) {
        Write(Settings(L"Condition1", {{1, true, L"{Msg1}"}}, action));
        LogCapture log;
        EXPECT_EQ(validator.CheckConditions(1033), std::wstring(action) == L"eXtRaCt" ? 1 : 0) << Narrow(action);
        ExpectInOrder(log.Text(), {"Condition1 = 1", "|CCondition::EvaluateActionConditions |Action condition is satisfied"});
    }
}

// The whole package check as a quiet run does it: a file found through a
// registry property and an environment variable, compared by version.
TEST_F(CheckConditionsTest, WholeSettingsFileRefusesAndAllows) {
    zel_test::TempDir tools;
    ASSERT_TRUE(::CopyFileW((TestProgramFolder() + L"versioned_2_0_9_9.exe").c_str(), tools.File(L"tool.exe").c_str(),
                            FALSE));
    ::SetEnvironmentVariableW(L"ZELCOND_TOOLS", tools.Path().c_str());
    TestKey key;
    key.SetString(L"InstallDir", tools.Path().substr(0, tools.Path().size() - 1));
    key.SetString(L"Edition", L"Pro");
    const std::wstring settings =
        L"[Conditions]\r\n"
        L"Action1Condition=(Condition1 AND Condition2) AND NOT Condition3\r\n"
        L"Action1=Extract\r\nAction1Message={ActMsg}\r\n"
        L"Condition1={File};{[TOOLDIR]tool.exe};{>=};{2.1};{ToolTooOld}\r\n"
        L"Condition2={Registry};{HKEY_CURRENT_USER\\" + key.Path() + L"\\Edition};{=};{pro};{NeedsPro}\r\n"
        L"Condition3={File};{[%ZELCOND_TOOLS%]blocker.txt};{EXIST};{};{Blocked}\r\n"
        L"[ReadRegEntries]\r\nRoot1=1\r\nKey1=" + key.Path() + L"\r\nEntry1=InstallDir\r\nProperty1=TOOLDIR\r\n"
        L"[1033]\r\nToolTooOld=Tool 2.1 or later is needed.\r\n";
    Write(settings);
    {
        LogCapture log;
        EXPECT_EQ(validator.CheckConditions(1033), 0);
        EXPECT_EQ(validator.ConditionMessageKeys, L"{{ActMsg}};{ToolTooOld};");
        const std::string tool = Narrow(tools.File(L"tool.exe"));
        ExpectInOrder(log.Text(), {"CCondition::ReadConditions |condition1 : {File};{[TOOLDIR]tool.exe}",
                                   "CCondition::ReadConditions |condition2 : ",
                                   "CCondition::ReadConditions |condition3 : ",
                                   "EvaluateReadRegEntries |Reading Registry : Root = 1 Key = ",
                                   "EvaluateReadRegEntries |Property : TOOLDIR = ",
                                   "CCondition::EvaluateConditions |Operator : {>=}",
                                   "CCondition::EvaluateConditions |Finding file : " + tool,
                                   "Compare Versions : 2.0.9.9 and 2.1 ", "Condition1 = 0",
                                   "Compare Values : Pro and pro ", "Condition2 = 1",
                                   "Finding file : " + Narrow(tools.File(L"blocker.txt")), "Condition3 = 0",
                                   "WARNING   |CCondition::EvaluateActionConditions |Action condition is not satisfied"});
        EXPECT_EQ(CCondition(validator.GetSettingsPath()).GetMessage(1033, L"{ToolTooOld}"),
                  L"Tool 2.1 or later is needed.");
    }

    ASSERT_TRUE(::CopyFileW((TestProgramFolder() + L"versioned_2_1_0_5.exe").c_str(), tools.File(L"tool.exe").c_str(),
                            FALSE));
    EXPECT_EQ(validator.CheckConditions(1033), 1);
    EXPECT_EQ(validator.ConditionMessageKeys, L"{{ActMsg}};");

    zel_test::WriteBytes(tools.File(L"blocker.txt"), "x");
    EXPECT_EQ(validator.CheckConditions(1033), 0);
    EXPECT_EQ(validator.ConditionMessageKeys, L"{{ActMsg}};");  // the blocker is negated: no message
}

}  // namespace

namespace {

TEST_F(CheckConditionsTest, GarbageRefusesWithoutHarm) {
    const std::wstring hugeName(5000, L'x');
    struct Case {
        const char* name;
        std::wstring conditions;
    } cases[] = {
        {"only separators", L"Action1Condition=Condition1\r\nCondition1=;;;;;;\r\n"},
        {"unbalanced", L"Action1Condition=((Condition1\r\nCondition1={File};{C:\\windows};{EXIST};{};{M}\r\n"},
        {"garbage words", L"Action1Condition=Condition1 ))(( $%&\r\nCondition1={File};{C:\\windows};{EXIST};{};{M}\r\n"},
        {"huge location", L"Action1Condition=Condition1\r\nCondition1={File};{C:\\" + hugeName + L"};{>=};{1};{M}\r\n"},
        {"registry root only", L"Action1Condition=Condition1\r\nCondition1={Registry};{HKEY_USERS};{=};{x};{M}\r\n"},
        {"number overflow", L"Action1Condition=Condition99999999999\r\nCondition99999999999={File};{C:\\windows};{EXIST};{};{M}\r\n"},
    };
    for (const Case& c : cases) {
        Write(L"[Conditions]\r\nAction1=Extract\r\n" + c.conditions);
        EXPECT_EQ(validator.CheckConditions(1033), 0) << c.name;
    }
}

}  // namespace
