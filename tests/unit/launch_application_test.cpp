// Starting real programs and an installer package under the platform's shell.
#include "logging/LogFile.h"
#include "logging/LogSetup.h"
#include "platform/Util.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

std::wstring TestProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text(path);
    return text.substr(0, text.rfind(L'\\') + 1);
}

// A copy of the stand-in setup under the given name.
std::wstring PlaceProbe(const zel_test::TempDir& dir, const std::wstring& name) {
    std::wstring target = dir.File(name);
    EXPECT_TRUE(::CopyFileW((TestProgramFolder() + L"setup_probe.exe").c_str(), target.c_str(), FALSE))
        << "setup_probe.exe is built beside the test program";
    return target;
}

std::string Utf8(const std::wstring& text) {
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD n = ::GetEnvironmentVariableW(name, value, 1024);
    return n > 0 && n < 1024 ? value : L"";
}

// Waits until a probe that was not waited for has ended, so its folder can go.
void AwaitProbeEnd(const zel_test::TempDir& dir, const std::string& name) {
    for (int i = 0; i < 200; ++i) {
        if (zel_test::ReadBytes(dir.File(L"launch_order.txt")).find("end " + name) != std::string::npos) break;
        ::Sleep(50);
    }
    ::Sleep(200);
}

class LogCapture {
public:
    LogCapture() : oldPath_(theLog.GetFilePath()), oldLevel_(theLog.GetLogLevel()) {
        theLog.InitLog(dir_.File(L"test.log"), 11);
    }
    ~LogCapture() { theLog.InitLog(oldPath_, oldLevel_); }
    std::string Text() const { return zel_test::ReadBytes(dir_.File(L"test.log")); }

private:
    zel_test::TempDir dir_;
    std::wstring oldPath_;
    int oldLevel_;
};

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

TEST(LaunchApplication, WaitsAndReturnsTheExitCodeWithExpandedParameters) {
    zel_test::TempDir dir;
    std::wstring probe = PlaceProbe(dir, L"setup.exe");
    std::wstring error;
    int code = theUtil.LaunchApplication(probe, L"--exit=7 /log %temp%\\probe.log /end", error, 1);
    EXPECT_EQ(code, 7);
    EXPECT_TRUE(error.empty());
    std::string record = zel_test::ReadBytes(probe + L".record");
    EXPECT_NE(record.find(Utf8(L"--exit=7 /log " + Environment(L"TEMP") + L"\\probe.log /end")), std::string::npos)
        << record;
}

TEST(LaunchApplication, UnsupportedVariableIsWarnedOnceAndStillExpanded) {
    zel_test::TempDir dir;
    std::wstring probe = PlaceProbe(dir, L"setup.exe");
    ::SetEnvironmentVariableW(L"ZELPROBEVAR", L"probevalue");
    LogCapture log;
    std::wstring error;
    EXPECT_EQ(theUtil.LaunchApplication(probe, L"%ZELPROBEVAR% %ZELPROBEVAR%", error, 1, LogUnsupportedLaunchVariable), 0);
    ::SetEnvironmentVariableW(L"ZELPROBEVAR", nullptr);
    EXPECT_NE(zel_test::ReadBytes(probe + L".record").find("probevalue probevalue"), std::string::npos);
    EXPECT_EQ(Count(log.Text(), "Env variable not supported.."), 1u) << log.Text();
    EXPECT_NE(log.Text().find("|WARNING   |IsEnvVarPresent"), std::string::npos) << log.Text();
}

TEST(LaunchApplication, MissingFilesCannotBeStarted) {
    zel_test::TempDir dir;
    for (const wchar_t* name : {L"nothere.exe", L"nothere.txt"}) {
        std::wstring error;
        EXPECT_EQ(theUtil.LaunchApplication(dir.File(name), L"/q", error, 1), -1) << name;
        EXPECT_TRUE(error.empty());
        EXPECT_NE(theUtil.LastStartError(), 0u) << name;
    }
    // A program that returns -1 itself was started.
    std::wstring probe = PlaceProbe(dir, L"setup.exe");
    std::wstring error;
    EXPECT_EQ(theUtil.LaunchApplication(probe, L"--exit=-1", error, 1), -1);
    EXPECT_EQ(theUtil.LastStartError(), 0u);
}

TEST(LaunchApplication, StillRunningProgramGivesStillActiveWithinTheWait) {
    struct Row {
        int wait;
        DWORD atMostMs;
    } rows[] = {{0, 1500}, {300, 1800}};
    for (const Row& r : rows) {
        zel_test::TempDir dir;
        std::wstring probe = PlaceProbe(dir, L"setup.exe");
        std::wstring error;
        DWORD start = ::GetTickCount();
        int code = theUtil.LaunchApplication(probe, L"--sleep=2500 --exit=3", error, r.wait);
        DWORD took = ::GetTickCount() - start;
        EXPECT_EQ(code, CUtilLaunch::kStillActive) << "wait " << r.wait;
        EXPECT_LT(took, r.atMostMs) << "wait " << r.wait;
        AwaitProbeEnd(dir, "setup.exe");
    }
}

TEST(LaunchApplication, CrashedProgramGivesItsExceptionCode) {
    // Under Wine a crash otherwise waits in the debugger's dialog for a user.
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\WineDbg", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                &key, nullptr),
              ERROR_SUCCESS);
    DWORD off = 0;
    ::RegSetValueExW(key, L"ShowCrashDialog", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof(off));
    ::RegCloseKey(key);

    zel_test::TempDir dir;
    std::wstring probe = PlaceProbe(dir, L"setup.exe");
    std::wstring error;
    EXPECT_EQ(theUtil.LaunchApplication(probe, L"--crash", error, 1), static_cast<int>(EXCEPTION_ACCESS_VIOLATION));
}

TEST(LaunchApplication, InstallerPackageRunsThroughMsiexec) {
    std::wstring package = TestProgramFolder() + L"launch_probe.msi";
    if (::GetFileAttributesW(package.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "wixl was not found";
    zel_test::TempDir dir;
    ::CreateDirectoryW(dir.File(L"Setup").c_str(), nullptr);
    std::wstring target = dir.File(L"Setup\\Product.MSI");
    ASSERT_TRUE(::CopyFileW(package.c_str(), target.c_str(), FALSE));

    // A 32-bit package lands in the 32-bit program folder, which a 64-bit
    // test program knows as %ProgramFiles(x86)%.
    wchar_t programFiles[MAX_PATH] = {};
    const wchar_t* folder = sizeof(void*) == 8 ? L"%ProgramFiles(x86)%" : L"%ProgramFiles%";
    ::ExpandEnvironmentStringsW((std::wstring(folder) + L"\\ZelLaunchProbe\\probe.txt").c_str(), programFiles,
                                MAX_PATH);
    std::wstring installed(programFiles);

    std::wstring error;
    EXPECT_EQ(theUtil.LaunchApplication(target, L"/qn", error, 1), 0);
    EXPECT_NE(::GetFileAttributesW(installed.c_str()), INVALID_FILE_ATTRIBUTES) << Utf8(installed);

    EXPECT_EQ(CUtilLaunch::ShellStart(L"msiexec.exe", L"/x \"" + target + L"\" /qn", L"", 1), 0);
    EXPECT_EQ(::GetFileAttributesW(installed.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
