#include "platform/Launch.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

TEST(LaunchPlan, ByExtensionAndElevationRule) {
    struct Row {
        const wchar_t* file;
        LaunchContext context;
        const wchar_t* program;
        const wchar_t* parameters;
        const wchar_t* verb;
        bool pipe;
    } rows[] = {
        {L"C:\\P\\Setup\\Product.MSI", {6, true, L""}, L"msiexec.exe", L"/i \"C:\\P\\Setup\\Product.MSI\" /qn", L"runas", true},
        {L"C:\\P\\a.msi", {5, true, L"0"}, L"msiexec.exe", L"/i \"C:\\P\\a.msi\" /qn", L"", true},
        {L"C:\\P\\a.msi", {5, false, L"0"}, L"msiexec.exe", L"/i \"C:\\P\\a.msi\" /qn", L"runas", true},
        {L"C:\\P\\a.msi", {5, false, L"1"}, L"msiexec.exe", L"/i \"C:\\P\\a.msi\" /qn", L"", true},
        {L"C:\\P\\setup.EXE", {10, false, L"0"}, L"C:\\P\\setup.EXE", L"/qn", L"", true},
        {L"C:\\P\\msiexec.exe", {10, true, L""}, L"C:\\P\\msiexec.exe", L"/qn", L"", true},
        {L"C:\\P\\readme.txt", {6, true, L""}, L"C:\\P\\readme.txt", L"/qn", L"", false},
        {L"C:\\P\\folder", {6, true, L""}, L"C:\\P\\folder", L"/qn", L"", false},
    };
    for (const Row& r : rows) {
        LaunchPlan plan = PlanLaunch(r.file, L"/qn", r.context);
        EXPECT_EQ(plan.Program, r.program) << r.file;
        EXPECT_EQ(plan.Parameters, r.parameters) << r.file;
        EXPECT_EQ(plan.Verb, r.verb) << r.file << " major " << r.context.MajorVersion;
        EXPECT_EQ(plan.UsePipe, r.pipe) << r.file;
    }
}

TEST(LaunchParameters, ExpansionRules) {
    const std::map<std::wstring, std::wstring> env = {
        {L"%temp%", L"C:\\Temp"}, {L"%TEMP%", L"C:\\Temp"}, {L"%myvar%", L"mine"}, {L"%windir%", L"C:\\windows"},
        {L"%t%", L"X"}, {L"%pct%", L"50%"}};
    auto expand = [&](const std::wstring& token) {
        auto it = env.find(token);
        return it == env.end() ? std::wstring() : it->second;
    };
    struct Row {
        const wchar_t* in;
        const wchar_t* out;
        std::vector<std::wstring> warned;
    } rows[] = {
        {L"/log %temp%\\x.log", L"/log C:\\Temp\\x.log", {}},
        {L"/log %temp%", L"/log %temp%", {}},                      // at the very end: left
        {L"/a %temp%x /b %windir%\\y", L"/a %temp%x /b %windir%\\y", {}},  // a letter stops it all
        {L"%myvar% /q", L"mine /q", {L"%myvar%"}},                 // unknown: warned, still expanded
        {L"%nothere% /q", L"%nothere% /q", {L"%nothere%"}},        // no value: unchanged
        {L"\"%TEMP%\\a\" \"%temp%\\b\"", L"\"C:\\Temp\\a\" \"C:\\Temp\\b\"", {}},
        {L"100% sure", L"100% sure", {}},
        // A value shorter than its token does not make the search skip the next one.
        {L"%t%\\%windir%\\y", L"X\\C:\\windows\\y", {L"%t%"}},
        // A "%" in a value is not the start of a token.
        {L"%pct% %temp%\\a", L"50% C:\\Temp\\a", {L"%pct%"}},
        {L"", L"", {}},
    };
    for (const Row& r : rows) {
        std::vector<std::wstring> warned;
        std::wstring out = ExpandLaunchParameters(r.in, expand, [&](const std::wstring& t) { warned.push_back(t); });
        EXPECT_EQ(out, r.out) << r.in;
        EXPECT_EQ(warned, r.warned) << r.in;
    }
}

}  // namespace
