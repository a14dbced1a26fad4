#include "app/CommandOptions.h"
#include "core/RunMode.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Expected {
    int silent = 0, unattended = 0, debug = 0, noCondition = 0, noOs = 0;
    std::wstring extractPath, autoLaunch, setupLanguage, password;
};

struct Case {
    const char* name;
    std::vector<std::wstring> args;  // as the run-time split them (argv[1..])
    Expected expected;
};

CExtractorCommandOpt Parse(const std::vector<std::wstring>& args) {
    std::vector<const wchar_t*> argv{L"Setup.exe"};
    for (const auto& a : args) argv.push_back(a.c_str());
    CExtractorCommandOpt options;
    zel::FeedArguments(options, static_cast<int>(argv.size()), argv.data());
    return options;
}

Expected E(std::initializer_list<int> flags, std::wstring path = L"", std::wstring autolaunch = L"",
           std::wstring language = L"", std::wstring password = L"") {
    std::vector<int> f(flags);
    f.resize(5, 0);
    return Expected{f[0], f[1], f[2], f[3], f[4], path, autolaunch, language, password};
}

//                        silent unattended debug noCondition noOS
const Case kCases[] = {
    {"no arguments", {}, E({})},
    {"slash silent", {L"/SILENT"}, E({1})},
    {"dash silent", {L"-silent"}, E({1})},
    {"silent without prefix is ignored", {L"silent"}, E({})},
    {"silentmode sets nothing", {L"-silentmode"}, E({})},
    {"unattended", {L"/Unattended"}, E({0, 1})},
    {"silent and unattended", {L"-unattended", L"-silent"}, E({1, 1})},
    {"d", {L"-d"}, E({0, 0, 1})},
    {"debug", {L"/DEBUG"}, E({0, 0, 1})},
    {"debugx sets nothing", {L"-debugx"}, E({})},
    {"NoConditioncheck any case", {L"-noconditionCHECK"}, E({0, 0, 0, 1})},
    {"NoOSCheck", {L"/NoOSCheck"}, E({0, 0, 0, 0, 1})},
    {"extractpath", {L"-extractpath=D:\\Data"}, E({}, L"D:\\Data")},
    {"extractpath keeps the part after the last =", {L"-extractpath=D:\\a=b"}, E({}, L"b")},
    {"extractpath with blanks, one quoted argument", {L"-extractpath = D:\\Data"}, E({}, L"D:\\Data")},
    {"extractpath prefix rule", {L"-extractpathX=D:\\Data"}, E({}, L"D:\\Data")},
    {"extractpath without =", {L"-extractpath"}, E({})},
    {"extractpath= then blanks", {L"-extractpath=   "}, E({})},
    {"value option given twice: last wins", {L"-extractpath=C:\\One", L"/EXTRACTPATH=C:\\Two"}, E({}, L"C:\\Two")},
    {"autolaunch", {L"-autolaunch=no"}, E({}, L"", L"no")},
    {"setupLanguage", {L"-SETUPLANGUAGE=1031"}, E({}, L"", L"", L"1031")},
    {"extractionpassword", {L"/extractionpassword=s3cret"}, E({}, L"", L"", L"", L"s3cret")},
    {"unknown switch ignored", {L"-foo", L"/bar=baz"}, E({})},
    {"argument without prefix ignored", {L"extractpath=C:\\X", L"debug"}, E({})},
    {"empty switch", {L"-", L"/"}, E({})},
};

TEST(CommandOptions, SwitchTable) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        CExtractorCommandOpt o = Parse(c.args);
        EXPECT_EQ(o.Silent, c.expected.silent);
        EXPECT_EQ(o.Unattended, c.expected.unattended);
        EXPECT_EQ(o.Debug, c.expected.debug);
        EXPECT_EQ(o.NoConditionCheck, c.expected.noCondition);
        EXPECT_EQ(o.NoOSCheck, c.expected.noOs);
        EXPECT_EQ(o.ExtractPathArg, c.expected.extractPath);
        EXPECT_EQ(o.AutoLaunchArg, c.expected.autoLaunch);
        EXPECT_EQ(o.SetupLanguageArg, c.expected.setupLanguage);
        EXPECT_EQ(o.PasswordArg, c.expected.password);
    }
}

TEST(CommandOptions, GetValue) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"extractpath=D:\\Data", L"D:\\Data"}, {L"extractpath = D:\\Data", L"D:\\Data"},
        {L"extractpath=", L""},                 {L"extractpath", L""},
        {L"extractpath==x", L"x"},              {L"=x", L""},
        {L"a=b=c", L"c"},                       {L"a=b=  ", L"b"},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(CExtractorCommandOpt::GetValue(text), value) << text;
}

TEST(RunMode, SilentWins) {
    EXPECT_EQ(RunModeFromFlags(0, 0), ModeFullGui);
    EXPECT_EQ(RunModeFromFlags(0, 1), ModeUnattended);
    EXPECT_EQ(RunModeFromFlags(1, 0), ModeSilent);
    EXPECT_EQ(RunModeFromFlags(1, 1), ModeSilent);
}

// The child parses its own process command line the way the stub does and
// prints what it recorded.
const bool kRegistered = [] {
    zel_test::RegisterChildMode(L"--dump-options", [](int, wchar_t**) {
        CExtractorCommandOpt o;
        zel::ParseProcessCommandLine(o);
        std::printf("silent=%d unattended=%d debug=%d path=[%ls] password=[%ls]\n", o.Silent, o.Unattended,
                    o.Debug, o.ExtractPathArg.c_str(), o.PasswordArg.c_str());
        return 0;
    });
    return true;
}();

TEST(CommandOptions, SplitsAsTheRunTimeDoes) {
    struct {
        const wchar_t* commandLine;
        const char* expected;
    } cases[] = {
        {L"-silent \"-extractpath = C:\\My Data\"", "silent=1 unattended=0 debug=0 path=[C:\\My Data] password=[]\n"},
        // An unbalanced quote runs to the end of the line: everything after it is one argument.
        {L"\"-extractpath=C:\\A B -silent", "silent=0 unattended=0 debug=0 path=[C:\\A B -silent] password=[]\n"},
        {L"-extractionpassword=\"pa ss\" /d", "silent=0 unattended=0 debug=1 path=[] password=[pa ss]\n"},
        {L"-extractionpassword=a\\\"b -d", "silent=0 unattended=0 debug=1 path=[] password=[a\"b]\n"},
    };
    for (const auto& c : cases) {
        DWORD code = 99;
        std::string out = zel_test::RunSelf(std::wstring(L"--dump-options ") + c.commandLine, &code);
        EXPECT_EQ(code, 0u);
        out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
        EXPECT_EQ(out, c.expected) << "command line: " << std::string(c.commandLine, c.commandLine + wcslen(c.commandLine));
    }
}

}  // namespace
