#include "app/App.h"
#include "app/Password.h"
#include "logging/LogFile.h"
#include "payload/Initializer.h"
#include "platform/SettingsFile.h"
#include "test_support.h"
#include "ui/UnattendedExtracter.h"

#include <gtest/gtest.h>

#include <array>
#include <cwchar>
#include <string>

namespace {

// The packer's scrambling: ((p - 32 + N) mod 95) + 32.
std::wstring Scramble(const std::wstring& plain, int shift) {
    std::wstring stored;
    for (wchar_t p : plain) stored += static_cast<wchar_t>((p - 32 + shift) % 95 + 32);
    return stored;
}

struct DecodeCase {
    std::wstring stored;
    int shift;
    std::wstring decoded;
};

class DecodePasswordTable : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodePasswordTable, DecodesEachCodeUnit) {
    EXPECT_EQ(DecodePassword(GetParam().stored, GetParam().shift), GetParam().decoded);
}

INSTANTIATE_TEST_SUITE_P(
    Shifts, DecodePasswordTable,
    testing::Values(DecodeCase{L"abc", 0, L"abc"},       // no shift
                    DecodeCase{L"bcd", 1, L"abc"},       // every unit one below
                    DecodeCase{L" ", 1, L"~"},           // 32 wraps to the top
                    DecodeCase{L"!", 2, L"~"},           // 33 - 2 wraps to 126
                    DecodeCase{L"\"", 2, L" "},          // 34 - 2 is the lowest printable
                    DecodeCase{L"~", 94, L" "},          // the largest shift
                    DecodeCase{L" ~", 94, L"! "},        // 32 wraps to 127 - 94 = 33
                    DecodeCase{L"", 7, L""}));

TEST(DecodePassword, UndoesTheScramblingForEveryShift) {
    std::wstring printable;
    for (wchar_t c = 32; c <= 126; ++c) printable += c;
    for (int shift = 0; shift <= 94; ++shift)
        EXPECT_EQ(DecodePassword(Scramble(printable, shift), shift), printable) << "shift " << shift;
}

// A working settings file and the run mode, restored afterwards.
class PasswordCheck : public testing::Test {
protected:
    void SetUp() override {
        savedPath_ = theInitializer.SettingsFilePath;
        savedFolder_ = theInitializer.WorkingFolder;
        // No lock on the settings file of a test folder.
        theInitializer.WorkingFolder.clear();
        savedFlags_ = {theApp.Silent, theApp.Unattended};
        savedLog_ = theLog.GetFilePath();
        savedLevel_ = theLog.GetLogLevel();
        theLog.InitLog(dir_.File(L"test.log"), 11);
        theInitializer.SettingsFilePath = dir_.File(L"Properties_Tavo.ini");
        theApp.Silent = 1;
        theApp.Unattended = 0;
    }
    void TearDown() override {
        theApp.UnlockSettingsFile();
        theInitializer.SettingsFilePath = savedPath_;
        theInitializer.WorkingFolder = savedFolder_;
        theApp.Silent = savedFlags_[0];
        theApp.Unattended = savedFlags_[1];
        theLog.InitLog(savedLog_, savedLevel_);
    }
    void Settings(const std::wstring& text) { zel_test::WriteUtf16File(theInitializer.SettingsFilePath, text); }
    std::string Log() const {
        std::string text;
        for (char c : zel_test::ReadBytes(dir_.File(L"test.log")))
            if (c != '\0') text += c;
        return text;
    }
    // Both keys present and empty, whatever the file held.
    void ExpectKeysEmptied() {
        const std::wstring& path = theInitializer.SettingsFilePath;
        wchar_t value[64] = L"unchanged";
        EXPECT_EQ(::GetPrivateProfileStringW(L"Runtime", L"ExtractionPassword", L"missing", value, 64, path.c_str()),
                  0u);
        EXPECT_STREQ(value, L"");
        wcscpy(value, L"unchanged");
        EXPECT_EQ(::GetPrivateProfileStringW(L"Temporary", L"Number", L"missing", value, 64, path.c_str()), 0u);
        EXPECT_STREQ(value, L"");
    }

    zel_test::TempDir dir_;
    std::wstring savedPath_;
    std::wstring savedFolder_;
    std::array<int, 2> savedFlags_{};
    std::wstring savedLog_;
    int savedLevel_ = 0;
};

TEST_F(PasswordCheck, RightPasswordPassesAndTheWorkingCopyLosesBothKeys) {
    Settings(L"[Runtime]\r\nExtractPasswordRequired=1\r\nExtractionPassword=" + Scramble(L"Open Sesame!", 5) +
             L"\r\n[Temporary]\r\nNumber=5\r\n");
    EXPECT_EQ(theApp.CheckPassword(L"Open Sesame!"), 1);
    EXPECT_EQ(theApp.StoredPassword, L"Open Sesame!");
    EXPECT_NE(Log().find("Password provided by user is correct"), std::string::npos);
    ExpectKeysEmptied();
}

TEST_F(PasswordCheck, MissingOrWrongPasswordEndsTheQuietRun) {
    const std::wstring settings = L"[Runtime]\r\nExtractPasswordRequired=1\r\nExtractionPassword=  " +
                                  Scramble(L"Secret", 3) + L"  \r\n[Temporary]\r\nNumber=3\r\n";
    Settings(settings);
    EXPECT_EQ(theApp.CheckPassword(L""), 0);
    EXPECT_NE(Log().find("|ERROR     |CheckPassword"), std::string::npos);
    EXPECT_NE(Log().find("Please provide the Password from the command line parameter : -ExtractionPassword"),
              std::string::npos);
    ExpectKeysEmptied();

    Settings(settings);
    EXPECT_EQ(theApp.CheckPassword(L"secret"), 0);  // case counts
    EXPECT_EQ(theApp.StoredPassword, L"Secret");    // blanks around the stored text are trimmed
    EXPECT_NE(Log().find("Password provided by user is invalid"), std::string::npos);
}

TEST_F(PasswordCheck, NotRequiredOrFullGuiGoesOnButStillEmptiesTheKeys) {
    for (const wchar_t* required : {L"", L"0", L"yes", L" 1x"}) {
        Settings(std::wstring(L"[Runtime]\r\nExtractPasswordRequired=") + required +
                 L"\r\nExtractionPassword=abc\r\n[Temporary]\r\nNumber=1\r\n");
        EXPECT_EQ(theApp.CheckPassword(L""), 1) << required;
        ExpectKeysEmptied();
    }
    theApp.Silent = 0;
    Settings(L"[Runtime]\r\nExtractPasswordRequired=1\r\nExtractionPassword=abc\r\n");
    EXPECT_EQ(theApp.CheckPassword(L""), 1);
    ExpectKeysEmptied();
}

TEST(ProgressRangeUpper, IsTheSumAsASixteenBitBound) {
    EXPECT_EQ(ProgressRangeUpper(1, 10), 11);
    EXPECT_EQ(ProgressRangeUpper(1, 65534), 65535);
    EXPECT_EQ(ProgressRangeUpper(1, 65535), 0);
    EXPECT_EQ(ProgressRangeUpper(2, 65535), 1);
    EXPECT_EQ(ProgressRangeUpper(5, 70000), 4469);
}

}  // namespace
