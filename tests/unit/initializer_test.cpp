#include "payload/Initializer.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

struct InitCase {
    const char* name;
    std::wstring settings;
    CommandLineSettings commandLine;
    // expectations; by default those of empty settings
    std::wstring packageName = L"", displayName = L" ";
    int autoLaunch = 0, wait = 1, noOsCheck = 0, multiPart = 0, allowChange = 0, fileCount = 0;
    unsigned setId = 0;
};

CommandLineSettings Cmd(RunMode mode = ModeSilent, int noOs = 0) {
    CommandLineSettings c;
    c.Mode = mode;
    c.NoOSCheck = noOs;
    return c;
}

const InitCase kCases[] = {
    {.name = "empty settings: defaults, display name is one blank", .settings = L"", .commandLine = Cmd()},
    {.name = "central keys",
     .settings = L"[Package]\r\nName=Pkg\r\nNameDispl=Demo Package\r\nVersionString=2.1\r\nMultiPartDownload=1\r\n"
                 L"[Runtime]\r\nAllowChangeTarget=1\r\nAutoLaunch=setup.exe\r\nWaitForAutolaunchFinish=0\r\n"
                 L"[FileCount]\r\nCount=12\r\n[Tavo]\r\nGUID2=  70000\r\n",
     .commandLine = Cmd(),
     .packageName = L"Pkg",
     .displayName = L"Demo Package 2.1",
     .autoLaunch = 1,
     .wait = 0,
     .multiPart = 1,
     .allowChange = 1,
     .fileCount = 12,
     .setId = 70000 & 0xFFFF},
    {.name = "invalid wait value keeps waiting; MultiPartDownload 2 is off",
     .settings = L"[Package]\r\nMultiPartDownload=2\r\n[Runtime]\r\nAutoLaunch=a.exe\r\nWaitForAutolaunchFinish=yes\r\n",
     .commandLine = Cmd(),
     .autoLaunch = 1,
     .wait = 1},
    {.name = "multilaunch with only AutoLaunch: not enabled",
     .settings = L"[Runtime]\r\nMultilaunch=1\r\nAutoLaunch=a.exe\r\nWaitForAutolaunchFinish=0\r\n",
     .commandLine = Cmd(),
     .autoLaunch = 0,
     .wait = 1},
    {.name = "multilaunch with AutoLaunch1",
     .settings = L"[Runtime]\r\nMultilaunch=1\r\nAutoLaunch1=a.exe\r\nAllowChangeTarget=yes\r\n",
     .commandLine = Cmd(),
     .autoLaunch = 1,
     .allowChange = 0},
    {.name = "NoOSCheck from the command line",
     .settings = L"[Runtime]\r\nAutoLaunch=a.exe\r\n",
     .commandLine = Cmd(ModeSilent, 1),
     .autoLaunch = 1,
     .noOsCheck = 1},
    {.name = "NoOSCheck from the settings",
     .settings = L"[Runtime]\r\nAutoLaunch=a.exe\r\n[OS]\r\nNoOSCheck=1\r\n",
     .commandLine = Cmd(),
     .autoLaunch = 1,
     .noOsCheck = 1},
    {.name = "CheckOs wins over the NoOSCheck switch",
     .settings = L"[Package]\r\nCheckOs=1\r\n[Runtime]\r\nAutoLaunch=a.exe\r\n[OS]\r\nNoOSCheck=1\r\n",
     .commandLine = Cmd(ModeSilent, 1),
     .autoLaunch = 1,
     .noOsCheck = 0},
    {.name = "without autolaunch NoOSCheck is not looked at",
     .settings = L"[OS]\r\nNoOSCheck=1\r\n",
     .commandLine = Cmd(ModeSilent, 1),
     .autoLaunch = 0,
     .noOsCheck = 0},
    {.name = "set id: digits up to the first non-digit",
     .settings = L"[Tavo]\r\nGUID2=-1x9\r\n",
     .commandLine = Cmd(),
     .setId = 0xFFFF},
};

TEST(Initializer, ReadsThePackageSettings) {
    for (const InitCase& c : kCases) {
        SCOPED_TRACE(c.name);
        zel_test::TempDir dir;
        zel_test::WriteUtf16File(dir.File(L"Properties_Tavo.ini"), c.settings);
        CTavoInitalizer init;
        init.WorkingFolder = dir.Path();
        init.Init(c.commandLine);
        EXPECT_EQ(init.SettingsFilePath, dir.File(L"Properties_Tavo.ini"));
        EXPECT_EQ(init.RunMode, c.commandLine.Mode);
        EXPECT_EQ(init.PackageName, c.packageName);
        EXPECT_EQ(init.DisplayName, c.displayName);
        EXPECT_EQ(init.AutoLaunchEnabled, c.autoLaunch);
        EXPECT_EQ(init.WaitForAutolaunchFinish, c.wait);
        EXPECT_EQ(init.NoOSCheck, c.noOsCheck);
        EXPECT_EQ(init.MultiPartDownload, c.multiPart);
        EXPECT_EQ(init.AllowChangeTarget, c.allowChange);
        EXPECT_EQ(init.FileCount, c.fileCount);
        EXPECT_EQ(init.CabinetSetId, c.setId);
    }
}

TEST(Initializer, BufferSizePerStarted128MiB) {
    const struct {
        unsigned per128;
        std::uint32_t memory;
        int expected;
    } rows[] = {
        {0, 128u << 20, 5242880},              // 0 means the default
        {5242880, 128u << 20, 5242880},        // exactly 128 MiB
        {5242880, (128u << 20) + 1, 10485760}, // one byte more
        {1000, 2048u << 20, 16000},
        {5242880, 0, 0},
    };
    for (const auto& r : rows) EXPECT_EQ(ComputeBufferSize(r.per128, r.memory), r.expected) << r.memory;
}

}  // namespace
