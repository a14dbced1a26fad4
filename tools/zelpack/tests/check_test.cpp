#include <gtest/gtest.h>

#include "PackageFixture.h"
#include "SettingsCheck.h"

namespace zelpack {
namespace {

// A settings file with nothing to warn about, to which each case adds lines.
const char kClean[] = "[Package]\nName=Demo\n[Images]\nTopImage=top.bmp\n";

std::string RunCheck(PackageFolder& p, std::vector<std::string> extra, int& rc) {
    std::vector<std::string> args = {"check", p.root.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    std::string err;
    rc = p.Run(args, &err);
    return err;
}

TEST(Check, EachWarningNamesItsCauseAndBuildStillSucceeds) {
    struct Case {
        const char* settings;  // appended to kClean
        const char* text;
    } cases[] = {
        {"[Pakage]\nName=X\n", "[Pakage] is not a section the stub reads; did you mean [Package]?"},
        {"[Runtime]\nAutoLanuch=x.exe\n", "did you mean AutoLaunch?"},
        {"[Runtime]\nExtractPth=C:\\x\n", "[Runtime] ExtractPth is not a key the stub reads; did you mean ExtractPath?"},
        {"[Runtime]\nFrobnicate=1\n", "[Runtime] Frobnicate is not a key the stub reads\n"},
        {"[Runtime]\nMode=a\nMode=b\n", "[Runtime] Mode appears again"},
        {"[Images]\nBottomImage=top.bmp\n", "[Images] appears again (first at line 3); the stub reads only the first"},
        {"just some words\n", "'just some words' is neither [Section], key=value nor a ;comment"},
        {"[Conditions]\nCondition4={File};{C:\\x};{EXIST};{};{}\n",
         "Condition4 is defined but there is no Action1Condition, so it is never checked"},
        {"[Conditions]\nAction1=Extract\nAction1Condition=Condition1\nCondition1={File};{C:\\x};{EXIST};{};{}\n"
         "Condition2={File};{C:\\y};{EXIST};{};{}\n",
         "[Conditions] Condition2 is defined but Action1Condition does not use it"},
        {"[Conditions]\nAction1=Extract\nAction1Condition=Condition1\nAction1Message={NotReady}\n"
         "Condition1={File};{C:\\x};{EXIST};{};{TooOld}\n[1031]\nNotReady=Nein\n",
         "[Conditions] Condition1 names the message TooOld, which no language section"},
        {"[AutoLaunch]\nReturnCode_0=SUCCESS:{Done}\n", "[AutoLaunch] ReturnCode_0 names the message Done"},
        {"[Runtime]\nMultilaunch=1\nAutoLaunch=bin\\setup.exe\n", "Multilaunch=1 starts AutoLaunch1, AutoLaunch2, ...; AutoLaunch alone starts nothing"},
        {"[LicenseFiles]\n1033=top.bmp\n", "[LicenseFiles] 1033 names top.bmp, which is neither .txt nor .rtf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        PackageFolder p(std::string(kClean) + c.settings);
        int rc;
        std::string err = RunCheck(p, {}, rc);
        EXPECT_EQ(rc, kExitOk);
        EXPECT_NE(err.find(c.text), std::string::npos) << err;
        EXPECT_NE(RunCheck(p, {"--strict"}, rc).find("an error with --strict"), std::string::npos);
        EXPECT_EQ(rc, kExitFailed);
        std::string buildErr;
        EXPECT_EQ(p.Build({}, &buildErr), kExitOk) << buildErr;
        EXPECT_NE(buildErr.find("warning: "), std::string::npos);
    }
}

// Settings whose effect depends on more than one key: only the settings
// file is given, the warning's full text is expected.
TEST(Check, SettingsThatSilentlyDoNothing) {
    struct Case {
        std::string settings;
        const char* text;  // empty: no warning at all
    } cases[] = {
        {"[Runtime]\nAutoLaunch=bin\\setup.exe\n",
         "[Runtime] AutoLaunch is set but [OS] OSAllowed is missing, so no system is supported and the setup never "
         "starts; add [OS] OSAllowed"},
        {"[Runtime]\nAutoLaunch=bin\\setup.exe\n[OS]\nNoOSCheck=1\n", ""},
        {"[Package]\nCheckOs=1\n[Runtime]\nAutoLaunch=bin\\setup.exe\n[OS]\nNoOSCheck=1\n", "OSAllowed is missing"},
        {"[Runtime]\nMultilaunch=1\nAutoLaunch1=bin\\setup.exe\n", "AutoLaunch1 is set but [OS] OSAllowed is missing"},
        {"[Runtime]\nAutoLaunch1=bin\\setup.exe\n", "AutoLaunch1 is read only with Multilaunch=1"},
        {"[OS]\nOSAllowed=Windows51+\n[Runtime]\nMultilaunch=1\nAutoLaunch1=bin\\setup.exe\nAutoLaunch3=bin\\setup.exe\n",
         "[Runtime] AutoLaunch3 is never started: the list ends before AutoLaunch2"},
        {"[OS]\nOSAllowed=Windows8+\n", "OSAllowed entry Windows8+ matches no system the stub reports: only the first "
                                        "digit of the version counts (8)"},
        {"[OS]\nOSAllowed=Windows10+\n", "OSAllowed entry Windows10+ matches more than its name suggests: only the "
                                         "first digit of the version counts (1), so it admits every system, Windows "
                                         "XP and Windows 7 included"},
        {"[OS]\nOSAllowed=Windows7+\n", "Windows7+ matches more than its name suggests: only the first digit of the "
                                        "version counts (6), so it admits every system from Windows Vista (6.0) on"},
        {"[OS]\nOSAllowed=WindowsVista+;WindowsXP+;windows764;Windows6164;Windows8.1\n", ""},
        {"[OS]\nOSAllowed=Windows10\n", "OSAllowed entry Windows10 matches no system the stub reports"},
        {"[Package]\nName=a:b\n", "[Package] Name 'a:b' holds a character Windows does not allow in file names; the "
                                  "extraction log, named after it, falls back"},
        {"[Package]\nName=a:b\n[LogFiles]\nExtractLogFileName=pkg.log\n", ""},
        {"[LogFiles]\nExtractLogFileName=pkg?.log\n", "[LogFiles] ExtractLogFileName 'pkg?.log' holds a character"},
        {"[OS]\n" + std::string(2100, ';') + "\nWindows7Exclude=SKU2\n", ""},  // a comment line costs nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        SettingsText s;
        std::string text = c.settings, error;
        ASSERT_TRUE(SettingsText::Parse(Bytes(text.begin(), text.end()), s, error));
        std::vector<Finding> findings;
        CheckSettings(s, findings);
        std::string all;
        for (const Finding& f : findings) {
            EXPECT_FALSE(f.error) << f.text;
            all += f.text + "\n";
        }
        if (*c.text) EXPECT_NE(all.find(c.text), std::string::npos) << all;
        else EXPECT_EQ(all, "");
    }
}

TEST(Check, KeysBeyondWhatTheStubReadsAreFound) {
    std::string os = "[OS]\nOSAllowed=Windows51+\n";
    for (int i = 0; i < 120; ++i) os += "Windows7Warning=SKU" + std::to_string(i) + "\n";
    os += "Windows7Exclude=SKU2\n[Runtime]\nExtractPath=" + std::string(1100, 'x') + "\n";
    SettingsText s;
    std::string error;
    ASSERT_TRUE(SettingsText::Parse(Bytes(os.begin(), os.end()), s, error));
    std::vector<Finding> findings;
    CheckSettings(s, findings);
    std::string all;
    for (const Finding& f : findings) all += f.text + "\n";
    EXPECT_NE(all.find("line 123: [OS] Windows7Exclude lies beyond the first 2000 characters of [OS]"), std::string::npos)
        << all;
    EXPECT_NE(all.find("[Runtime] ExtractPath is 1100 characters long; the stub reads only the first 1023"),
              std::string::npos)
        << all;
}

TEST(Check, SettingsThatCanNeverWorkAreErrors) {
    struct Case {
        std::string settings;
        std::vector<std::string> options;
        const char* text;
    } cases[] = {
        {"[Conditions]\nAction1=Extract\nAction1Condition=Condition1 AND Condition2\n"
         "Condition1={File};{C:\\x};{EXIST};{};{}\n",
         {}, "Action1Condition names Condition2, which [Conditions] does not define: extraction is never allowed"},
        {"[Conditions]\nAction1Condition=Condition1\nCondition1={File};{C:\\x};{EXIST};{};{}\n", {},
         "Action1Condition is set but Action1 is missing, not Extract"},
        {"[Conditions]\nAction1=Extract\nAction1Condition=Condition1 XOR Condition1\n"
         "Condition1={File};{C:\\x};{EXIST};{};{}\n",
         {}, "holds 'XOR', which is not AND, OR, NOT"},
        {"[Conditions]\nAction1=Extract\nAction1Condition=Condition01\nCondition1={File};{C:\\x};{EXIST};{};{}\n", {},
         "names Condition01, which is not a reference the stub resolves"},
        {"[Conditions]\nAction1=Extract\nAction1Condition=((Condition1)\nCondition1={File};{C:\\x};{EXIST};{};{}\n", {},
         "unequal numbers of ( and )"},
        {"[Runtime]\nExtractPasswordRequired=1\n", {}, "no password is given, so none could ever be right"},
        {"", {"--password", "a=b"}, "the password holds \"=\""},
        {"", {"--password", " lead"}, "begins or ends with a blank"},
        {"", {"--password", "trail "}, "begins or ends with a blank"},
        {"[Images]\nBottomImage=gone.bmp\n", {}, "BottomImage names gone.bmp, which is not in the package folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings + (c.options.empty() ? "" : c.options[1]));
        PackageFolder p(c.settings);
        int rc;
        std::string err = RunCheck(p, c.options, rc);
        EXPECT_EQ(rc, kExitFailed);
        EXPECT_NE(err.find(c.text), std::string::npos) << err;
        EXPECT_NE(err.find("zelpack check: error: "), std::string::npos) << err;
        std::string buildErr;
        EXPECT_EQ(p.Build(c.options, &buildErr), kExitFailed);
        EXPECT_NE(buildErr.find(c.text), std::string::npos) << buildErr;
        EXPECT_NE(buildErr.find("nothing was written"), std::string::npos) << buildErr;
        EXPECT_TRUE(std::filesystem::is_empty(p.out.parent_path()));
    }
}

TEST(Check, TheExamplePackageIsClean) {
    std::filesystem::path demo = std::filesystem::path(__FILE__).parent_path() / "../../../examples/demo-package";
    std::ostringstream out, err;
    EXPECT_EQ(RunZelpack({"check", demo.string(), "--strict"}, out, err), kExitOk) << err.str();
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(out.str(), "0 errors, 0 warnings\n");
}

// Garbage lines, 100 KB values and unknown sections in every encoding the
// settings may come in: reported, never a crash, nothing written on refusal.
TEST(Check, GarbageSettingsAreReportedInEveryEncoding) {
    std::string text = "[Package]\nName=" + std::string(100 * 1024, 'N') + "\n[Weird Section]\n=\n==\n[\n]\n" +
                       "[Runtime]\n" + std::string(3000, '=') + "\nExtractPath\n\x01\x02garbage\n[Conditions]\n" +
                       "Action1=Extract\nAction1Condition=" + std::string(5000, '(') + "Condition1\n";
    auto utf16 = [](const std::string& utf8, bool bom) {
        std::u16string w;
        Utf8ToUtf16(utf8, w);
        Bytes b;
        if (bom) b = {0xFF, 0xFE};
        for (char16_t c : w) AppendLe16(b, uint16_t(c));
        return b;
    };
    std::string bomText = "\xEF\xBB\xBF" + text;
    for (const Bytes& raw : {Bytes(text.begin(), text.end()), Bytes(bomText.begin(), bomText.end()),
                             utf16(text, true), utf16(text, false)}) {
        PackageFolder p;
        test::WriteBytes(p.root / "Properties_Tavo.ini", raw);
        int rc;
        std::string err = RunCheck(p, {}, rc);
        EXPECT_EQ(rc, kExitFailed);
        EXPECT_NE(err.find("[Weird Section] is not a section the stub reads"), std::string::npos) << err.substr(0, 2000);
        EXPECT_NE(err.find("[Package] Name is 102400 characters long"), std::string::npos);
        EXPECT_NE(err.find("unequal numbers of ( and )"), std::string::npos);
        EXPECT_EQ(p.Build({}, &err), kExitFailed);
        EXPECT_TRUE(std::filesystem::is_empty(p.out.parent_path()));
    }
}

TEST(Check, NearestNameNeedsACloseMatch) {
    const std::vector<std::string> known = {"AutoLaunch", "ExtractPath", "Package", "OS"};
    EXPECT_EQ(NearestName("autolanuch", known), "AutoLaunch");
    EXPECT_EQ(NearestName("ExtractPth", known), "ExtractPath");
    EXPECT_EQ(NearestName("Pakage", known), "Package");
    EXPECT_EQ(NearestName("XY", known), "");
    EXPECT_EQ(NearestName("Completely", known), "");
}

// The stub reads only the start of [Runtime] for the password.
TEST(Check, ThePasswordIsWrittenFirstInItsSection) {
    PackageFolder p("[Runtime]\nExtractPath=" + std::string(1000, 'x') + "\nMode=" + std::string(1000, 'y') +
                    "\nExtractionPassword=old\n[Runtime]\nExtractionPassword=older\n");
    std::string err;
    ASSERT_EQ(p.Build({"--password", "secret"}, &err), kExitOk) << err;
    SettingsText s = p.Settings();
    std::vector<SettingsLine> lines = s.Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "[Runtime]");
    EXPECT_EQ(lines[1].key, "ExtractPasswordRequired");
    EXPECT_EQ(lines[2].key, "ExtractionPassword");
    size_t passwords = 0;  // in the section the stub reads, the first [Runtime]
    for (const auto& [key, value] : s.Keys("Runtime")) passwords += EqualsNoCase(key, "ExtractionPassword");
    EXPECT_EQ(passwords, 1u);
}

TEST(Cli, ConflictingAndMisplacedOptionsAreUsageErrors) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"build", "d", "-o", "a.exe", "-o", "b.exe"}, "-o is given twice"},
        {{"build", "d", "-o", "a.exe", "--password", "x", "--password-env", "X"}, "give one"},
        {{"build", "d", "-o", "a.exe", "--sign-cert", "c.pem"}, "both --sign-cert and --sign-key"},
        {{"check", "d", "-o", "a.exe"}, "does not apply to check"},
        {{"build", "d", "-o", "a.exe", "--threads", "1.5"}, "--threads wants"},
        {{"sign", "a.exe"}, "usage: zelpack sign"},
        {{"check"}, "exactly one package folder"},
    };
    for (const Case& c : cases) {
        std::ostringstream o, e;
        EXPECT_EQ(RunZelpack(c.args, o, e), kExitUsage) << c.message;
        EXPECT_NE(e.str().find(c.message), std::string::npos) << e.str();
    }
    for (const char* command : {"build", "inspect", "check", "sign"}) {
        std::ostringstream o, e;
        EXPECT_EQ(RunZelpack({command, "--help"}, o, e), kExitOk);
        EXPECT_EQ(o.str().rfind(std::string("usage: zelpack ") + command, 0), 0u) << o.str();
    }
    std::ostringstream o, e;
    EXPECT_EQ(RunZelpack({"--version"}, o, e), kExitOk);
    EXPECT_EQ(o.str().rfind("zelpack ", 0), 0u);
}

TEST(Inspect, ListsContentFilesAndPartsWithTheirHashes) {
    PackageFolder single;
    ASSERT_EQ(single.Build(), kExitOk);
    std::string err, out;
    ASSERT_EQ(single.Run({"inspect", single.out.string()}, &err, &out), kExitOk) << err;
    EXPECT_NE(out.find("content of WebCab1:\n"), std::string::npos) << out;
    EXPECT_NE(out.find("    \\bin\\setup.exe  "), std::string::npos) << out;
    EXPECT_NE(out.find("    \\Data\\big file.bin  70000 bytes"), std::string::npos) << out;
    EXPECT_NE(out.find("signature: none"), std::string::npos) << out;

    PackageFolder parted("[Package]\nMultiPartDownload=1\nMultipartFileName=Setup\n");
    ASSERT_EQ(parted.Build({"--part-size", "30K"}), kExitOk);
    test::WriteText(parted.dir / "out/Setup.002", "damaged");
    ASSERT_EQ(parted.Run({"inspect", parted.out.string()}, &err, &out), kExitOk) << err;
    EXPECT_NE(out.find("parts:\n  Setup.001  "), std::string::npos) << out;
    EXPECT_NE(out.find("(matches [HashCode])"), std::string::npos) << out;
    EXPECT_NE(out.find("Setup.002  7 bytes  sha1/128 "), std::string::npos) << out;
    EXPECT_NE(out.find("(differs from [HashCode]"), std::string::npos) << out;
    EXPECT_NE(out.find("(continues in the next part)"), std::string::npos) << out;
}

}  // namespace
}  // namespace zelpack
