// Setup language, autolaunch switch, extraction folder and space, license
// files, and the operating-system question before extraction.
//
// Free space comes from two places: a free-space function the tests bound
// (FreeSpaceQuery), and a real Wine drive J: mapped to a 2 MiB tmpfs by
// tests/unit/small_drive_fixture.sh (skipped when the mount is not allowed).
#include "app/App.h"
#include "checks/ExtractorValidator.h"
#include "checks/OSValidator.h"
#include "logging/LogFile.h"
#include "payload/Initializer.h"
#include "payload/LanguageTexts.h"
#include "platform/UtilSystem.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using zel_test::Narrow;

std::wstring LogTextOf(const std::wstring& path) {
    const std::string bytes = zel_test::ReadBytes(path);
    std::wstring text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8));
    } else {
        for (char c : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return text;
}

size_t Count(const std::wstring& text, const std::wstring& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// The process-wide objects these checks read and write, kept and given back;
// the log goes to a file of the test's own.
class PreExtraction : public ::testing::Test {
protected:
    void SetUp() override {
        savedLogPath_ = theLog.GetFilePath();
        savedLogLevel_ = theLog.GetLogLevel();
        theLog.InitLog(dir_.File(L"pre.log"), 11);
        savedValidator_ = theValidator;
        savedOs_ = theOSValidator;
        saved_ = theInitializer;
        savedApp_ = {theApp.Silent, theApp.Unattended, theApp.OsCheckResult, theApp.OsCheckedBeforeExtraction};
        theInitializer.WorkingFolder = dir_.Path();
        theInitializer.AutoLaunchEnabled = 0;
        theInitializer.NoOSCheck = 0;
    }
    void TearDown() override {
        theLog.InitLog(savedLogPath_, savedLogLevel_);
        theValidator = savedValidator_;
        theOSValidator = savedOs_;
        theInitializer = saved_;
        theApp.Silent = savedApp_[0];
        theApp.Unattended = savedApp_[1];
        theApp.OsCheckResult = savedApp_[2];
        theApp.OsCheckedBeforeExtraction = savedApp_[3];
        LoadLanguageFile(1033, L"");
    }

    void Settings(const std::wstring& text) {
        const std::wstring path = dir_.File(L"Properties_Tavo.ini");
        zel_test::WriteUtf16File(path, text);
        theValidator.SetSettingsPath(path);
        theInitializer.SettingsFilePath = path;
        theOSValidator.SetSettingsPath(path);
    }
    // A run's initializer of its own, on the test's settings and folder.
    CTavoInitalizer Run() const {
        CTavoInitalizer run;
        run.WorkingFolder = dir_.Path();
        run.SettingsFilePath = dir_.File(L"Properties_Tavo.ini");
        return run;
    }
    std::wstring Log() const { return LogTextOf(dir_.File(L"pre.log")); }
    bool Logged(const std::wstring& part) const { return Log().find(part) != std::wstring::npos; }

    zel_test::TempDir dir_;

private:
    std::wstring savedLogPath_;
    int savedLogLevel_ = 0;
    CExtractorValidator savedValidator_;
    COSValidator savedOs_;
    CTavoInitalizer saved_;
    std::vector<int> savedApp_;
};

// ---- Setup language ----

TEST_F(PreExtraction, SetupLanguageFromTheCommandLine) {
    struct {
        const wchar_t* offered;
        const wchar_t* argument;
        int language;
        const wchar_t* line;  // a line that must be written, or nullptr
    } cases[] = {
        {.offered = L"1033;1041;", .argument = L"1041", .language = 1041,
         .line = L"Command line parameter for SetupLanguage : 1041"},
        {.offered = L"1033;1041;", .argument = L"  1041abc", .language = 1041, .line = nullptr},
        {.offered = L"1033;1041;", .argument = L"abc", .language = 1033,
         .line = L"Invalid Command line parameter for SetupLanguage. English taken as default SetupLanguage"},
        {.offered = L"1033;1041;", .argument = L"1031", .language = 1033,
         .line = L"Language not supported. Default English taken as Setup language"},
        {.offered = L"1033;1041;", .argument = L"", .language = 1033, .line = nullptr},
        {.offered = L"01041;1033", .argument = L"1041", .language = 1033, .line = L"Language not supported"},
        // Offered by the package but no locale the system knows.
        {.offered = L"1033;30000", .argument = L"30000", .language = 1033,
         .line = L"Language : 30000 not supported by OS. Default English taken as Setup language"},
        {.offered = L"garbage;;  ;x1041", .argument = L"1041", .language = 1033, .line = L"Language not supported"},
        {.offered = L"", .argument = L"1041", .language = 1033, .line = L"SetupLanguages not found."},
    };
    theInitializer.SetupLanguage = -7;
    for (const auto& c : cases) {
        Settings(std::wstring(L"[Languages]\r\nSetupLanguages=") + c.offered + L"\r\n");
        CTavoInitalizer run = Run();
        run.SetupLanguage = -7;
        run.ValidateSetupLangPassedFromCommandLine(c.argument);
        EXPECT_EQ(run.GetSetupLanguage(), c.language) << Narrow(c.offered) << " / " << Narrow(c.argument);
        if (c.line) { EXPECT_TRUE(Logged(c.line)) << Narrow(c.line); }
    }
    EXPECT_EQ(Count(Log(), L"Command line parameter for SetupLanguage : "), 8u);
    // The checks decide; only the initializer that asked keeps the decision.
    EXPECT_EQ(theInitializer.SetupLanguage, -7);
}

// What the checks decide, without any run state.
TEST_F(PreExtraction, SetupLanguageDecisions) {
    Settings(L"[Languages]\r\nSetupLanguages=1033;1041\r\n");
    EXPECT_EQ(theValidator.CommandLineLanguage(L""), 1033);
    EXPECT_EQ(theValidator.CommandLineLanguage(L"0"), 1033);
    EXPECT_EQ(theValidator.CommandLineLanguage(L"1031"), 1031);
    EXPECT_EQ(theValidator.SupportedSetupLanguage(1041), 1041);
    EXPECT_EQ(theValidator.SupportedSetupLanguage(1031), 1033);
}

TEST_F(PreExtraction, SetupLanguageLoadsItsLanguageFile) {
    Settings(L"[Languages]\r\nSetupLanguages=1033;1041\r\n");
    zel_test::WriteUtf16File(dir_.File(L"Default1041.ulf"), L"[FileInfo]\r\nID=1041\r\n[Strings]\r\n407=JA-407\r\n");
    CTavoInitalizer run = Run();
    run.ValidateSetupLangPassedFromCommandLine(L"1041");
    ASSERT_EQ(run.GetSetupLanguage(), 1041);
    EXPECT_EQ(GetLangString(407), L"JA-407");
}

TEST_F(PreExtraction, DefaultSetupLanguage) {
    Settings(L"[Languages]\r\nSetupLanguages= 1031 ; 1041\r\n");
    EXPECT_EQ(theValidator.GetDefaultSetupLanguage(1041), 1041);
    EXPECT_EQ(theValidator.GetDefaultSetupLanguage(1031), 1031);
    EXPECT_EQ(theValidator.GetDefaultSetupLanguage(1036), 1033);
    EXPECT_EQ(theValidator.GetDefaultSetupLanguage(-1), 1033);
    EXPECT_TRUE(theValidator.IsLanguageSupported(1031));
    EXPECT_FALSE(theValidator.IsLanguageSupported(103));
}

// ---- Autolaunch switch ----

TEST_F(PreExtraction, AutolaunchFromTheCommandLine) {
    const wchar_t* kSingle = L"[Runtime]\r\nAutoLaunch=setup.exe\r\n";
    const wchar_t* kMulti = L"[Runtime]\r\nMultilaunch=1\r\nAutoLaunch1=a.exe\r\n";
    const wchar_t* kMultiWithoutFirst = L"[Runtime]\r\nMultilaunch=1\r\nAutoLaunch=setup.exe\r\n";
    const wchar_t* kNone = L"[Runtime]\r\nMode=1\r\n";
    struct {
        const wchar_t* settings;
        const wchar_t* argument;
        int before, after;
        const wchar_t* line;
    } cases[] = {
        {.settings = kSingle, .argument = L"NO", .before = 1, .after = 0, .line = L"Autolaunch disabled"},
        {.settings = kSingle, .argument = L"Yes", .before = 0, .after = 1, .line = L"Autolaunch enabled"},
        {.settings = kSingle, .argument = L"maybe", .before = 0, .after = 1,
         .line = L"Invalid value for Autolaunch. Autolaunch is enabled by default"},
        {.settings = kMulti, .argument = L"no", .before = 1, .after = 0, .line = L"Autolaunch disabled"},
        {.settings = kMultiWithoutFirst, .argument = L"no", .before = 1, .after = 1,
         .line = L"Autolaunch is not enabled for the Web Package"},
        {.settings = kNone, .argument = L"yes", .before = 0, .after = 0,
         .line = L"Autolaunch is not enabled for the Web Package"},
        {.settings = kNone, .argument = L"no", .before = 1, .after = 1,
         .line = L"Autolaunch is not enabled for the Web Package"},
    };
    theInitializer.AutoLaunchEnabled = 7;
    for (const auto& c : cases) {
        Settings(c.settings);
        CTavoInitalizer run = Run();
        run.AutoLaunchEnabled = c.before;
        run.ValidateAndSetAutolaunchFromCommandLine(c.argument);
        EXPECT_EQ(run.IsAutoLaunchEnabled(), c.after) << Narrow(c.argument);
        EXPECT_TRUE(Logged(std::wstring(L"Command line parameter for Autolaunch : ") + c.argument));
        EXPECT_TRUE(Logged(c.line)) << Narrow(c.line);
    }
    EXPECT_EQ(theInitializer.AutoLaunchEnabled, 7);

    // No switch: nothing happens, nothing is written.
    const std::wstring before = Log();
    EXPECT_FALSE(theValidator.CommandLineAutolaunch(L"").has_value());
    CTavoInitalizer run = Run();
    run.AutoLaunchEnabled = 1;
    run.ValidateAndSetAutolaunchFromCommandLine(L"");
    EXPECT_EQ(run.IsAutoLaunchEnabled(), 1);
    EXPECT_EQ(Log(), before);
}

// ---- Space ----

zel::FreeSpaceQuery Bytes(std::uint64_t freeBytes) {
    return [freeBytes](const std::wstring&, std::uint64_t& out) {
        out = freeBytes;
        return true;
    };
}

TEST_F(PreExtraction, FreeSpaceEqualIsEnough) {
    std::wstring message;
    EXPECT_EQ(theValidator.CheckFreeSpace(L"C:\\Pkg", 1572864, message, Bytes(1572864)), 1);
    EXPECT_EQ(message, L"Drive C:\\Pkg  Available space: 1.50 MB\nRequired space: 1.50 MB");
    EXPECT_TRUE(Logged(L"Drive C:\\Pkg.  Available space : 1.50 MB"));
    EXPECT_TRUE(Logged(L"Required space : 1.50 MB"));
    EXPECT_TRUE(Logged(L"Comparing Available space : 1572864 Bytes and Required space  1572864 Bytes"));

    EXPECT_EQ(theValidator.CheckFreeSpace(L"C:\\Pkg", 1572865, message, Bytes(1572864)), 0);
    EXPECT_EQ(message, L"There is not sufficient space on drive C:\\Pkg.\nRequired space: 1.50 MB");
    EXPECT_TRUE(Logged(L"Space on drive C:\\Pkg is not sufficient"));

    // Sizes above 2^63 stay unsigned.
    EXPECT_EQ(theValidator.CheckFreeSpace(L"C:\\Pkg", 1, message, Bytes(0x8000000000000000ULL)), 1);

    auto failing = [](const std::wstring&, std::uint64_t&) { return false; };
    EXPECT_EQ(theValidator.CheckFreeSpace(L"C:\\Pkg", 1, message, failing), 0);
    EXPECT_EQ(message, L"Please check the path : C:\\Pkg");
}

TEST_F(PreExtraction, MessagesForInvalidPaths) {
    struct {
        int code;
        const wchar_t* message;
        const wchar_t* line;
    } cases[] = {
        {161, L"Invalid path: C:\\a*b", L"Invalid path : C:\\a*b"},
        {5, L"Please check the permission of the path: C:\\a*b", L"Please check the permission of the path : C:\\a*b"},
        {82, L"You cannot extract to the folder: C:\\a*b. Please choose another directory.",
         L"You cannot extract in the folder : C:\\a*b"},
        {206, L"The path you have specified is too long.\nPlease specify a different path.",
         L"The path you have specified is too long."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(theValidator.ErrorMessagesForInvalidPath(c.code, L"C:\\a*b", 0), c.message) << c.code;
        EXPECT_TRUE(Logged(c.line)) << c.code;
    }
    const std::wstring before = Log();
    EXPECT_EQ(theValidator.ErrorMessagesForInvalidPath(3, L"C:\\x", 0), L"");
    EXPECT_EQ(Log(), before);
}

// A query that gives little room below any folder named "small".
zel::FreeSpaceQuery SmallWhereNamed() {
    return [](const std::wstring& path, std::uint64_t& out) {
        out = path.find(L"small") != std::wstring::npos ? 1000 : 1u << 30;
        return true;
    };
}

class SavedTemp {
public:
    SavedTemp() {
        wchar_t value[MAX_PATH] = {};
        ::GetEnvironmentVariableW(L"TEMP", value, MAX_PATH);
        value_ = value;
    }
    ~SavedTemp() { ::SetEnvironmentVariableW(L"TEMP", value_.c_str()); }

private:
    std::wstring value_;
};

TEST_F(PreExtraction, ExtractPathCandidatesInOrder) {
    SavedTemp savedTemp;
    const std::wstring root = dir_.Path();
    ::SetEnvironmentVariableW(L"TEMP", (root + L"tmp").c_str());
    ::SetEnvironmentVariableW(L"ZEL_PE_ROOT", root.substr(0, root.size() - 1).c_str());
    theOSValidator.BaseFriendlyName = L"Windows7";
    theOSValidator.BaseVersionToken = L"Windows61";

    struct {
        const char* name;
        const wchar_t* commandLine;
        const wchar_t* osPath;       // relative to the test folder, or empty
        const wchar_t* packagePath;  // as written in the settings
        std::wstring expected;       // relative to the test folder; empty: none found
    } cases[] = {
        {.name = "command line first", .commandLine = L"cmd", .osPath = L"os",
         .packagePath = L"%ZEL_PE_ROOT%\\pkg", .expected = L"cmd\\"},
        {.name = "too small command-line drive: OS path", .commandLine = L"small\\cmd", .osPath = L"os",
         .packagePath = L"%ZEL_PE_ROOT%\\pkg", .expected = L"os\\"},
        {.name = "invalid command-line path: OS path", .commandLine = L"a*b", .osPath = L"os",
         .packagePath = L"%ZEL_PE_ROOT%\\pkg", .expected = L"os\\"},
        {.name = "then the package path, expanded", .commandLine = L"small\\cmd", .osPath = L"small\\os",
         .packagePath = L"%ZEL_PE_ROOT%\\pkg", .expected = L"pkg\\"},
        {.name = "then %TEMP%\\package name", .commandLine = L"small\\cmd", .osPath = L"small\\os",
         .packagePath = L"%ZEL_PE_ROOT%\\small\\pkg", .expected = L"tmp\\Zel Pkg\\"},
        {.name = "no command line, no OS path", .commandLine = L"", .osPath = L"",
         .packagePath = L"%ZEL_PE_ROOT%\\pkg", .expected = L"pkg\\"},
        {.name = "nothing fits", .commandLine = L"small\\cmd", .osPath = L"", .packagePath = L"", .expected = L""},
    };
    for (const auto& c : cases) {
        std::wstring settings = L"[Runtime]\r\nExtractPath=" + std::wstring(c.packagePath) + L"\r\n";
        if (*c.osPath) settings += L"[OS]\r\nWindows61ExtractPath=" + root + c.osPath + L"\r\n";
        Settings(settings);
        if (std::string(c.name) == "nothing fits") ::SetEnvironmentVariableW(L"TEMP", (root + L"small").c_str());
        const std::wstring commandLine = *c.commandLine ? root + c.commandLine : std::wstring();
        theInitializer.ExtractionPath = L"untouched";

        const std::wstring found =
            theValidator.GetFinalExtractPathParam(commandLine, L"Zel Pkg", 5000, SmallWhereNamed());
        const std::wstring expected = c.expected.empty() ? std::wstring() : root + c.expected;
        EXPECT_EQ(Narrow(found), Narrow(expected)) << c.name;
        // The caller keeps the path it is given; the checks store nothing.
        EXPECT_EQ(Narrow(theInitializer.ExtractionPath), "untouched") << c.name;
    }
    EXPECT_TRUE(Logged(L"Extract path from command line : " + root + L"small\\cmd"));
    EXPECT_TRUE(Logged(L"Extract path for the OS : " + root + L"os"));
    EXPECT_TRUE(Logged(L"Extract path from the Web Package properties : %ZEL_PE_ROOT%\\pkg"));
    EXPECT_TRUE(Logged(L"Space on drive " + root + L"small\\cmd is not sufficient"));
    // The path check leaves nothing behind.
    EXPECT_EQ(::GetFileAttributesW((root + L"small").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(::GetFileAttributesW((root + L"cmd").c_str()), INVALID_FILE_ATTRIBUTES);
}

// The path check removes the folders it made, so the free space of a folder
// that does not exist yet is that of its volume.
TEST_F(PreExtraction, RealSpaceOfAFolderStillToBeMade) {
    std::wstring path = dir_.Path() + L"new\\deeper";
    EXPECT_EQ(theValidator.ValidatePathAndSpaceAvailable(path, 0, 1), 0) << Narrow(Log());
    EXPECT_EQ(path, dir_.Path() + L"new\\deeper\\");

    path = dir_.Path() + L"new2";
    EXPECT_EQ(theValidator.ValidatePathAndSpaceAvailable(path, 0, ~0ULL), -1);
    EXPECT_TRUE(Logged(L"is not sufficient"));
}

// J: is a 2 MiB tmpfs mapped by the drive fixture.
bool SmallDriveReady() { return ::GetFileAttributesW(L"C:\\zel-small-drive.ok") != INVALID_FILE_ATTRIBUTES; }

TEST_F(PreExtraction, RealSmallDrive) {
    if (!SmallDriveReady()) GTEST_SKIP() << "small drive fixture not set up (run through ctest as root)";
    std::uint64_t freeBytes = 0;
    ASSERT_TRUE(zel::QueryVolumeFreeBytes(L"J:\\Pkg\\", freeBytes));
    EXPECT_GT(freeBytes, 1u << 20);
    EXPECT_LE(freeBytes, 2u << 20);

    std::wstring message;
    EXPECT_EQ(theValidator.CheckFreeSpace(L"J:\\", freeBytes, message), 1) << Narrow(message);
    EXPECT_EQ(theValidator.CheckFreeSpace(L"J:\\", freeBytes + 1, message), 0);
    EXPECT_EQ(message, L"There is not sufficient space on drive J:\\.\nRequired space: " + zel::SizeText(freeBytes + 1));

    // A command-line path on the small drive falls through to the package path.
    Settings(L"[Runtime]\r\nExtractPath=" + dir_.Path() + L"pkg\r\n");
    theOSValidator.BaseFriendlyName.clear();
    theOSValidator.BaseVersionToken.clear();
    EXPECT_EQ(theValidator.GetFinalExtractPathParam(L"J:\\Pkg", L"Small", 3u << 20), dir_.Path() + L"pkg\\");
    EXPECT_TRUE(Logged(L"Space on drive J:\\Pkg is not sufficient"));
    EXPECT_EQ(theValidator.GetFinalExtractPathParam(L"J:\\Pkg", L"Small", 1u << 20), L"J:\\Pkg\\");
    EXPECT_EQ(::GetFileAttributesW(L"J:\\Pkg"), INVALID_FILE_ATTRIBUTES);
}

// ---- License files ----

TEST_F(PreExtraction, LicenseFiles) {
    const std::wstring folder = dir_.Path();
    zel_test::WriteBytes(folder + L"Lic_ja.rtf", "{\\rtf1}");
    zel_test::WriteBytes(folder + L"Lic_ja.pdf", "%PDF");
    zel_test::WriteBytes(folder + L"SEC_JA.TXT", "security");
    ASSERT_TRUE(::CreateDirectoryW((folder + L"LicDir.txt").c_str(), nullptr));
    struct {
        const wchar_t* settings;
        int language;
        int kind;
        const wchar_t* expected;  // relative to the folder; nullptr: empty
        const wchar_t* line;
    } cases[] = {
        {.settings = L"[LicenseFiles]\r\n1041=Lic_ja.rtf\r\n", .language = 1041, .kind = 1, .expected = L"Lic_ja.rtf",
         .line = L"License File for language 1041 : Lic_ja.rtf"},
        {.settings = L"[LicenseFiles]\r\n1041=Lic_ja.pdf\r\n1033=Lic_en.rtf\r\n", .language = 1041, .kind = 1,
         .expected = nullptr, .line = L"Invalid License File for language 1041 : Lic_ja.pdf"},
        {.settings = L"[LicenseFiles]\r\n1033=Lic_en.rtf\r\n", .language = 1041, .kind = 1, .expected = L"Lic_en.rtf",
         .line = L"English file taken as default."},
        {.settings = L"[LicenseFiles]\r\n1033=Lic_en.rtf\r\n", .language = 1033, .kind = 1, .expected = nullptr,
         .line = L"Invalid License File for language 1033 : Lic_en.rtf"},
        {.settings = L"[LicenseFiles]\r\n1031=x.txt\r\n", .language = 1033, .kind = 1, .expected = nullptr,
         .line = L"License File for language 1033 not found."},
        {.settings = L"[SecurityLicenseFiles]\r\n1041=SEC_JA.TXT\r\n[LicenseFiles]\r\n1041=Lic_ja.pdf\r\n",
         .language = 1041, .kind = 2, .expected = L"SEC_JA.TXT",
         .line = L"Security License File for language 1041 : SEC_JA.TXT"},
        {.settings = L"[LicenseFiles]\r\n1041=Lic_ja.rtf\r\n", .language = 1041, .kind = 2, .expected = nullptr,
         .line = L"Security License File for language 1041 not found."},
        {.settings = L"[LicenseFiles]\r\n1041=LicDir.txt\r\n", .language = 1041, .kind = 1, .expected = nullptr,
         .line = L"Invalid License File for language 1041 : LicDir.txt"},
        {.settings = L"[LicenseFiles]\r\n1041=*.rtf\r\n", .language = 1041, .kind = 1, .expected = nullptr,
         .line = L"Invalid License File for language 1041 : *.rtf"},
        {.settings = L"[LicenseFiles]\r\n1041=missing.txt\r\n", .language = 1041, .kind = 1, .expected = nullptr,
         .line = L"Invalid License File for language 1041 : missing.txt"},
    };
    for (const auto& c : cases) {
        Settings(c.settings);
        const std::wstring found = theValidator.CheckLicenseFiles(c.language, folder, c.kind);
        EXPECT_EQ(Narrow(found), c.expected ? Narrow(folder + c.expected) : std::string()) << Narrow(c.settings);
        EXPECT_TRUE(Logged(c.line)) << Narrow(c.line);
    }
    EXPECT_FALSE(CExtractorValidator::IsValidLicenseFile(L".txt"));
}

// ---- The operating-system question before extraction ----

// A package no Wine version satisfies, with setups to launch.
const wchar_t kUnsupportedPackage[] =
    L"[OS]\r\nOSAllowed=Windows95\r\n[Runtime]\r\nAutoLaunch=setup.exe\r\n[Package]\r\nCheckOs=1\r\n"
    L"[1033]\r\nMsgOSError=Not on [OSNAME]\r\n";

TEST_F(PreExtraction, QuietRunOnAnUnsupportedSystemLogsAndGoesOn) {
    Settings(kUnsupportedPackage);
    theInitializer.AutoLaunchEnabled = 1;
    for (int silent : {1, 0}) {
        theApp.Silent = silent;
        theApp.Unattended = 1 - silent;
        int asked = 0;
        theApp.ValidateOSBeforeExtraction([&](const std::wstring&) { return ++asked, IDNO; });
        EXPECT_EQ(asked, 0);
        EXPECT_EQ(theApp.OsCheckResult, 302);
        EXPECT_EQ(theApp.OsCheckedBeforeExtraction, 1);
        EXPECT_EQ(theInitializer.SupportedOSMessage.rfind(L"Not on ", 0), 0u);
    }
    EXPECT_EQ(Count(Log(), L"Current operating system not supported"), 2u);
}

TEST_F(PreExtraction, PackageWithoutAutolaunchNeverAsks) {
    Settings(kUnsupportedPackage);
    theApp.Silent = theApp.Unattended = 0;
    theInitializer.AutoLaunchEnabled = 0;
    int asked = 0;
    theApp.ValidateOSBeforeExtraction([&](const std::wstring&) { return ++asked, IDNO; });
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(theApp.OsCheckResult, 302);
    EXPECT_EQ(theApp.OsCheckedBeforeExtraction, 0);
    EXPECT_FALSE(Logged(L"Current operating system not supported"));
}

TEST_F(PreExtraction, FullGuiRunAsksOnAnUnsupportedSystem) {
    Settings(kUnsupportedPackage);
    theApp.Silent = theApp.Unattended = 0;
    theInitializer.AutoLaunchEnabled = 1;
    std::vector<std::wstring> questions;
    theApp.ValidateOSBeforeExtraction([&](const std::wstring& q) { return questions.push_back(q), IDYES; });
    ASSERT_EQ(questions.size(), 1u);
    const COSValidator& os = theOSValidator;
    EXPECT_EQ(questions[0].rfind(L"Windows", 0), 0u) << Narrow(questions[0]);
    EXPECT_NE(questions[0].find(L" " + os.EditionName + L" "), std::wstring::npos) << Narrow(questions[0]);
    EXPECT_NE(questions[0].find(L"is not supported. Do you want to continue?"), std::wstring::npos);
    EXPECT_TRUE(Logged(L"Operating System will be validated before extraction"));
    EXPECT_TRUE(Logged(L"User confirmed to continue the extraction"));

    // Without [Package] CheckOs only the log line.
    Settings(L"[OS]\r\nOSAllowed=Windows95\r\n[Runtime]\r\nAutoLaunch=setup.exe\r\n");
    questions.clear();
    theApp.ValidateOSBeforeExtraction([&](const std::wstring& q) { return questions.push_back(q), IDYES; });
    EXPECT_TRUE(questions.empty());

    // A supported system is not asked about.
    Settings(L"[OS]\r\nOSAllowed=Windows51+\r\n[Runtime]\r\nAutoLaunch=setup.exe\r\n[Package]\r\nCheckOs=1\r\n");
    theApp.ValidateOSBeforeExtraction([&](const std::wstring& q) { return questions.push_back(q), IDYES; });
    EXPECT_TRUE(questions.empty());
    EXPECT_EQ(theApp.OsCheckResult, 300);
}

TEST_F(PreExtraction, NoOSCheckSkipsEverything) {
    Settings(kUnsupportedPackage);
    theInitializer.NoOSCheck = 1;
    theInitializer.AutoLaunchEnabled = 1;
    theApp.OsCheckResult = 12345;
    theApp.ValidateOSBeforeExtraction([](const std::wstring&) { return IDNO; });
    EXPECT_EQ(theApp.OsCheckResult, 12345);
    EXPECT_TRUE(Logged(L"NoOSCheck is set"));
}

// The child answers No: the run ends at once with exit code -1.
const bool kRegistered = [] {
    zel_test::RegisterChildMode(L"os-question-no", [](int argc, wchar_t** argv) {
        if (argc < 3) return 2;
        const std::wstring folder = std::wstring(argv[2]) + L"\\";
        theLog.InitLog(folder + L"child.log", 11);
        theInitializer.WorkingFolder = folder + L"work\\";
        ::CreateDirectoryW(theInitializer.WorkingFolder.c_str(), nullptr);
        theInitializer.SettingsFilePath = theInitializer.WorkingFolder + L"Properties_Tavo.ini";
        zel_test::WriteUtf16File(theInitializer.SettingsFilePath, kUnsupportedPackage);
        theValidator.SetSettingsPath(theInitializer.SettingsFilePath);
        theOSValidator.SetSettingsPath(theInitializer.SettingsFilePath);
        theInitializer.AutoLaunchEnabled = 1;
        theApp.Silent = theApp.Unattended = 0;
        theApp.ValidateOSBeforeExtraction([](const std::wstring&) { return IDNO; });
        return 0;
    });
    return true;
}();

TEST_F(PreExtraction, AnsweringNoEndsTheRunWithMinusOne) {
    DWORD code = 0;
    // Without the trailing backslash, which would escape the closing quote.
    const std::wstring folder = dir_.Path().substr(0, dir_.Path().size() - 1);
    zel_test::RunSelf(L"os-question-no \"" + folder + L"\"", &code);
    EXPECT_EQ(code, 0xFFFFFFFFu);
    const std::wstring log = LogTextOf(dir_.File(L"child.log"));
    EXPECT_NE(log.find(L"User confirmed to cancel the extraction"), std::wstring::npos) << Narrow(log);
}

}  // namespace
