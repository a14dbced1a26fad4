// The package's [OS] rules against system identities given as data.
#include "checks/ExtractorValidator.h"
#include "checks/OSValidator.h"
#include "logging/LogFile.h"
#include "payload/Initializer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
}

// An identity as the identification leaves it: friendly name and token in
// lower case, the base names as set.
struct Identity {
    const wchar_t* osName;
    const wchar_t* baseFriendly;
    const wchar_t* baseToken;
    const wchar_t* editionToken;
    const wchar_t* editionName;
    const wchar_t* servicePack;
    int productType;
    DWORD major;
    int is64;

    COSValidator Make() const {
        COSValidator v;
        v.OsName = osName;
        v.FriendlyName = Lower(osName);
        v.BaseFriendlyName = baseFriendly;
        v.BaseVersionToken = baseToken;
        v.VersionToken = Lower(std::wstring(baseToken) + (is64 ? L"64" : L""));
        v.EditionToken = editionToken;
        v.EditionName = editionName;
        v.ServicePack = servicePack;
        v.ProductTypeToken = L"prod" + std::to_wstring(productType);
        v.MajorVersion = major;
        v.Is64Bit = is64;
        return v;
    }
};

const Identity kWin7x64Ultimate{L"Windows764", L"Windows7", L"Windows61", L"SKU1", L"Ultimate", L"1", 1, 6, 1};
const Identity kWin7x64Pro{L"Windows764", L"Windows7", L"Windows61", L"SKU48", L"Professional", L"1", 1, 6, 1};
const Identity kWin7x64HomePremium{L"Windows764", L"Windows7", L"Windows61", L"SKU3", L"Home Premium", L"", 1, 6, 1};
const Identity kWin7x86HomeBasic{L"Windows7", L"Windows7", L"Windows61", L"SKU2", L"Home Basic", L"1", 1, 6, 0};
const Identity kWin7x86Pro{L"Windows7", L"Windows7", L"Windows61", L"SKU48", L"Professional", L"1", 1, 6, 0};
const Identity kWin7x86Standard{L"Windows7", L"Windows7", L"Windows61", L"Standard", L"Standard", L"", 1, 6, 0};
const Identity kVistaX86Ultimate{L"WindowsVista", L"WindowsVista", L"Windows60", L"SKU1", L"Ultimate", L"2", 1, 6, 0};
const Identity kVistaX64Business{L"WindowsVista64", L"WindowsVista", L"Windows60", L"SKU6", L"Business", L"", 1, 6, 1};
const Identity kXpHomeNoSp{L"WindowsXP", L"WindowsXP", L"Windows51", L"Home", L"Home", L"", 1, 5, 0};
const Identity kXpHomeSp3{L"WindowsXP", L"WindowsXP", L"Windows51", L"Home", L"Home", L"3", 1, 5, 0};
const Identity kXpProSp3{L"WindowsXP", L"WindowsXP", L"Windows51", L"Professional", L"Professional", L"3", 1, 5, 0};

// Points theLog at a file of the test's own and back at the end.
class LogCapture {
public:
    LogCapture() : savedPath_(theLog.GetFilePath()), savedLevel_(theLog.GetLogLevel()) {
        theLog.InitLog(dir_.File(L"rules.log"), 11);
    }
    ~LogCapture() { theLog.InitLog(savedPath_, savedLevel_); }

    std::wstring Text() const {
        const std::string bytes = zel_test::ReadBytes(dir_.File(L"rules.log"));
        std::wstring text;
        size_t start = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF ? 2 : 0;
        if (start == 2) {
            for (size_t i = start; i + 1 < bytes.size(); i += 2)
                text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8));
        } else {
            for (char c : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
        }
        return text;
    }
    bool Has(const std::wstring& part) const { return Text().find(part) != std::wstring::npos; }

private:
    zel_test::TempDir dir_;
    std::wstring savedPath_;
    int savedLevel_;
};

struct RuleCase {
    const char* name;
    Identity identity;
    std::vector<std::pair<const wchar_t*, const wchar_t*>> os;  // [OS] keys as an author writes them
    int code;
    const wchar_t* logLine;  // a line the check must write, or nullptr
};

std::vector<RuleCase> RuleCases() {
    return {
        {"no OSAllowed", kWin7x64Pro, {}, 302, L"No OSes are supported"},
        {"empty OSAllowed", kWin7x64Pro, {{L"OSAllowed", L""}}, 302, L"No OSes are supported"},
        {"listed by friendly name", kWin7x64Pro, {{L"OSAllowed", L"WindowsXP;Windows764"}}, 300,
         L"Supported OSes : WindowsXP;Windows764"},
        {"32-bit names do not list a 64-bit system", kWin7x64Pro, {{L"OSAllowed", L"WindowsXP;Windows7"}}, 302,
         L"Show Error for OS"},
        {"listed by version token, any case", kWin7x64Pro, {{L"OSAllowed", L" wINDOWS6164 "}}, 300, nullptr},
        {"only separators list nothing", kWin7x64Pro, {{L"OSAllowed", L";;"}}, 302, L"Show Error for OS"},
        {"Exclude by edition token", kWin7x64HomePremium,
         {{L"OSAllowed", L"Windows764"}, {L"Windows764Exclude", L"SKU2;SKU3"}}, 302,
         L"windows764exclude  : SKU2;SKU3"},
        {"Exclude by edition token, other edition", kWin7x64Pro,
         {{L"OSAllowed", L"Windows764"}, {L"Windows764Exclude", L"SKU2;SKU3"}}, 300, nullptr},
        {"Exclude by edition name with a blank", kWin7x64HomePremium,
         {{L"OSAllowed", L"Windows764"}, {L"WINDOWS764EXCLUDE", L"home premium"}}, 302, L"Edition : Home Premium"},
        {"Exclude under the version token", kWin7x64Pro,
         {{L"OSAllowed", L"Windows764;Windows6164"}, {L"Windows6164Exclude", L"SKU48"}}, 302, nullptr},
        {"Exclude all variants", kWin7x64Pro, {{L"OSAllowed", L"Windows764"}, {L"Windows764Exclude", L";"}}, 302,
         L"All variants of windows764 are supported"},
        {"Warning for all variants", kWin7x86Pro, {{L"OSAllowed", L"Windows61"}, {L"Windows61Warning", L";"}}, 301,
         L"All variants of windows7 are supported"},
        {"Warning by service pack", kWin7x86Pro, {{L"OSAllowed", L"Windows7"}, {L"Windows7Warning", L"SP1"}}, 301,
         L"Show Warning for OS"},
        {"Warning by product type", kWin7x86Pro, {{L"OSAllowed", L"Windows7"}, {L"Windows7Warning", L"prod3;prod1"}},
         301, L"Product Type : prod1"},
        {"Exclude wins over Warning", kWin7x86Pro,
         {{L"OSAllowed", L"Windows7"}, {L"Windows7Exclude", L"SKU48"}, {L"Windows7Warning", L";"}}, 302, nullptr},
        {"0 and Home on XP Home without service pack", kXpHomeNoSp,
         {{L"OSAllowed", L"WindowsXP"}, {L"WindowsXPExclude", L"0&&Home"}}, 302, L"Service Pack : 0"},
        {"0 and Home on XP Home SP3", kXpHomeSp3, {{L"OSAllowed", L"WindowsXP"}, {L"WindowsXPExclude", L"0&&Home"}},
         300, nullptr},
        {"SP0 on XP without service pack", kXpHomeNoSp, {{L"OSAllowed", L"WindowsXP"}, {L"WindowsXPExclude", L"sp0"}},
         302, nullptr},
        {"not Professional on XP Professional", kXpProSp3,
         {{L"OSAllowed", L"WindowsXP"}, {L"WindowsXPExclude", L"&&!Professional"}}, 300, nullptr},
        {"not Professional on XP Home", kXpHomeSp3,
         {{L"OSAllowed", L"WindowsXP"}, {L"WindowsXPExclude", L"&&!Professional"}}, 302, nullptr},
        {"or-not: Home or not SP3, on XP Professional SP3", kXpProSp3,
         {{L"OSAllowed", L"WindowsXP"}, {L"WindowsXPExclude", L"Home||&&!SP3"}}, 300, nullptr},
        {"or-not: Home or not SP3, on XP Home SP3", kXpHomeSp3,
         {{L"OSAllowed", L"WindowsXP"}, {L"WindowsXPExclude", L"Home||&&!SP3"}}, 302, nullptr},
        {"three terms joined by or", kWin7x86HomeBasic,
         {{L"OSAllowed", L"Windows7"}, {L"Windows7Exclude", L"SKU1||SKU2||SKU3"}}, 302, nullptr},
        {"three terms joined by or, none holds", kWin7x86Pro,
         {{L"OSAllowed", L"Windows7"}, {L"Windows7Exclude", L"SKU1||SKU2||SKU3"}}, 300, nullptr},
        {"three terms joined by and", kWin7x86Pro,
         {{L"OSAllowed", L"Windows7"}, {L"Windows7Exclude", L"SKU48&&prod1&&SP1"}}, 302, nullptr},
        {"three terms joined by and, one fails", kWin7x86Pro,
         {{L"OSAllowed", L"Windows7"}, {L"Windows7Exclude", L"SKU48&&prod3&&SP1"}}, 300, nullptr},
        {"mixed operators are ignored", kWin7x64Ultimate,
         {{L"OSAllowed", L"Windows764"}, {L"Windows764Exclude", L"SKU1&&prod1||SP1"}}, 300,
         L"Invalid variant combination. Current OS will be included"},
        {"three terms of and-not, none holds", kWin7x86Pro,
         {{L"OSAllowed", L"Windows7"}, {L"Windows7Exclude", L"&&!SKU1&&!SKU2&&!SKU3"}}, 302, nullptr},
        {"three terms of and-not, one holds", kWin7x86HomeBasic,
         {{L"OSAllowed", L"Windows7"}, {L"Windows7Exclude", L"&&!SKU1&&!SKU2&&!SKU3"}}, 300, nullptr},
        {"a term in capitals stays a term", kWin7x86Standard,
         {{L"OSAllowed", L"Windows7"}, {L"Windows7Exclude", L"STANDARD"}}, 302, nullptr},
        {"Unknown Product always holds", kXpProSp3,
         {{L"OSAllowed", L"WindowsXP"}, {L"WindowsXPExclude", L"unknown product"}}, 302, L"Unknown Product"},
        {"Windows7+ on 6.0", kVistaX86Ultimate, {{L"OSAllowed", L"Windows7+"}}, 300, nullptr},
        {"Windows7+ keys its variants by the whole list", kVistaX86Ultimate,
         {{L"OSAllowed", L"Windows7+"}, {L"Windows7+Exclude", L"SKU1"}}, 302, L"windows7+exclude  : SKU1"},
        {"Windows7+ on XP", kXpProSp3, {{L"OSAllowed", L"Windows7+"}}, 302, nullptr},
        {"Windows764+ on a 32-bit system", kWin7x86Pro, {{L"OSAllowed", L"Windows764+"}}, 302, nullptr},
        {"Windows764+ on a 64-bit 6.0", kVistaX64Business, {{L"OSAllowed", L"Windows764+"}}, 300, nullptr},
        {"Windows8+ on 6.1", kWin7x64Pro, {{L"OSAllowed", L"Windows8+"}}, 302, nullptr},
        {"Windows61+ by its digits", kVistaX86Ultimate, {{L"OSAllowed", L"Windows61+"}}, 300, nullptr},
        {"empty variant list matches nothing", kWin7x86Pro, {{L"OSAllowed", L"Windows7"}, {L"Windows7Exclude", L""}},
         300, nullptr},
        {"only operators", kWin7x86Pro, {{L"OSAllowed", L"Windows7"}, {L"Windows7Exclude", L"&&;||;&&!"}}, 300,
         nullptr},
        {"dangling operator", kWin7x86Pro, {{L"OSAllowed", L"Windows7"}, {L"Windows7Exclude", L"SKU48&&"}}, 300,
         nullptr},
        {"empty pieces between variants", kWin7x86Pro,
         {{L"OSAllowed", L"Windows7"}, {L"Windows7Exclude", L";;SKU9; ;SKU48;"}}, 302, nullptr},
    };
}

class OsRulesTable : public ::testing::TestWithParam<RuleCase> {};

TEST_P(OsRulesTable, Code) {
    const RuleCase& c = GetParam();
    LogCapture log;
    COSValidator v = c.identity.Make();
    for (const auto& [key, value] : c.os) v.OsSection.emplace(Lower(key), value);
    EXPECT_EQ(v.CheckSupport(), c.code);
    if (c.logLine) { EXPECT_TRUE(log.Has(c.logLine)) << Narrow(log.Text()); }
}

INSTANTIATE_TEST_SUITE_P(Cases, OsRulesTable, ::testing::ValuesIn(RuleCases()),
                         [](const ::testing::TestParamInfo<RuleCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

TEST(OsRules, TheTermZeroMarksTheSystemWithoutServicePack) {
    LogCapture log;
    COSValidator v = kXpHomeNoSp.Make();
    EXPECT_EQ(v.ValiodateOSVariants(L"0", L"0&&Home"), L"T&&Home");
    EXPECT_EQ(v.ServicePack, L"0");
    EXPECT_EQ(v.ValiodateOSVariants(L"Home", L"T&&Home"), L"T&&T");

    COSValidator sp3 = kXpHomeSp3.Make();
    EXPECT_EQ(sp3.ValiodateOSVariants(L"0", L"0||&&!Home"), L"F||&&!Home");
    EXPECT_EQ(sp3.ServicePack, L"3");
}

TEST(OsRules, ReduceVariant) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"T", L"T"},          {L"&&!T", L"F"},       {L"&&!F", L"T"},       {L"&&!F&&T", L"T"},
        {L"F||&&!F", L"T"},    {L"T||&&!T", L"T"},    {L"F||&&!T", L"F"},    {L"||T", L"T"},
        {L"&&F", L"F"},        {L"T&&!T", L"F"},      {L"T&&!F", L"T"},      {L"F&&!F", L"F"},
        {L"T&&", L"T&&"},      {L"&&", L"&&"},        {L"", L""},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(COSValidator::ReduceVariant(in), out) << Narrow(in);
}

TEST(OsRules, NameToVersionDigits) {
    EXPECT_EQ(COSValidator::NameToVersionDigits(L"WINDOWS2008r264"), L"6164");
    EXPECT_EQ(COSValidator::NameToVersionDigits(L"windowsxp64"), L"5264");
    EXPECT_EQ(COSValidator::NameToVersionDigits(L"windows98"), L"490");
    EXPECT_EQ(COSValidator::NameToVersionDigits(L"windows8.1"), L"");
}

// The settings file as the package author writes it, UTF-16 with a BOM.
std::wstring WriteSettings(const zel_test::TempDir& dir, const std::wstring& text) {
    const std::wstring path = dir.File(L"Properties_Tavo.ini");
    zel_test::WriteUtf16File(path, text);
    return path;
}

TEST(OsRules, ExtractPathByBaseNameThenBaseToken) {
    LogCapture log;
    zel_test::TempDir dir;
    COSValidator v = kWin7x64Pro.Make();
    v.SettingsPath = WriteSettings(dir, L"[OS]\r\nWindows61ExtractPath=D:\\Pkg\r\n");
    EXPECT_EQ(v.GetOSExtractPath(), L"D:\\Pkg");
    EXPECT_TRUE(log.Has(L"Windows7ExtractPath : ")) << Narrow(log.Text());
    EXPECT_TRUE(log.Has(L"Windows61ExtractPath : D:\\Pkg"));

    v.SettingsPath = WriteSettings(dir, L"[OS]\r\nwindows7extractpath=E:\\Seven\r\nWindows61ExtractPath=D:\\Pkg\r\n");
    EXPECT_EQ(v.GetOSExtractPath(), L"E:\\Seven");

    COSValidator unknown = v;
    unknown.BaseFriendlyName.clear();
    unknown.BaseVersionToken.clear();
    EXPECT_EQ(unknown.GetOSExtractPath(), L"");
}

// Keeps the process-wide validator's settings.
class CheckOsMessage : public ::testing::Test {
protected:
    void SetUp() override { savedSettings_ = theValidator.GetSettingsPath(); }
    void TearDown() override { theValidator.SetSettingsPath(savedSettings_); }
    zel_test::TempDir dir_;
    LogCapture log_;

private:
    std::wstring savedSettings_;
};

TEST_F(CheckOsMessage, TokensOfTheErrorAndWarningMessages) {
    theValidator.SetSettingsPath(WriteSettings(
        dir_, L"[1033]\r\nMsgOSError=Not on [OSNAME] [OSEDITION] [OSSERVICEPACK]\r\n"
              L"MsgOSWarning=[OSNAME] is untested.[NEWLINE]Supported:[TAB][MsgSupportedOS]\r\n"
              L"MsgSupportedOS=Windows XP[NEWLINE]Windows 7 ([OSNAME])\r\n"
              L"[1031]\r\nMsgOSError=Nicht auf [OSNAME]\r\n"));
    const COSValidator ultimate = kWin7x64Ultimate.Make();

    EXPECT_EQ(theValidator.CheckOS(302, 1033, 1, ultimate), L"Not on Windows7 64 Bit Ultimate SP1");
    EXPECT_TRUE(log_.Has(L"Message to be displayed : Not on Windows7 64 Bit Ultimate SP1"));

    // The supported-systems text gets the line breaks but keeps its [OSNAME].
    EXPECT_EQ(theValidator.CheckOS(301, 1033, 0, ultimate),
              L"Windows7 64 Bit is untested.\nSupported:\tWindows XP\nWindows 7 ([OSNAME])");

    EXPECT_EQ(theValidator.CheckOS(302, 1031, 0, kXpHomeNoSp.Make()), L"Nicht auf WindowsXP");

    EXPECT_EQ(theValidator.CheckOS(300, 1033, 0, ultimate), L"");
}

TEST_F(CheckOsMessage, ServicePackTexts) {
    theValidator.SetSettingsPath(WriteSettings(dir_, L"[1033]\r\nMsgOSError=[OSSERVICEPACK]|\r\n"));
    COSValidator os = kXpHomeNoSp.Make();
    EXPECT_EQ(theValidator.CheckOS(302, 1033, 0, os), L"|");
    os.ServicePack = L"0";
    EXPECT_EQ(theValidator.CheckOS(302, 1033, 0, os), L"without any service pack|");
    os.ServicePack = L"3";
    EXPECT_EQ(theValidator.CheckOS(302, 1033, 0, os), L"SP3|");
}

// The identification applies the rules it read from the settings file.
TEST(OsRules, IdentificationAppliesTheSettingsFileRules) {
    LogCapture log;
    zel_test::TempDir dir;
    COSValidator v;
    v.SetSettingsPath(WriteSettings(dir, L"[OS]\r\nOSALLOWED=WindowsXP;Windows764\r\nwindows764WARNING=SKU48\r\n"));
    zel::OsFacts facts;
    facts.major = 6;
    facts.minor = 1;
    facts.platformId = VER_PLATFORM_WIN32_NT;
    facts.productType = 1;
    facts.processorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
    facts.productInfoAvailable = true;
    facts.productInfoType = 48;
    EXPECT_EQ(v.OSVersionFromFacts(&facts, 0), 301);
    facts.productInfoType = 1;
    EXPECT_EQ(v.OSVersionFromFacts(&facts, 0), 300);
    facts.processorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
    EXPECT_EQ(v.OSVersionFromFacts(&facts, 0), 302);
}

}  // namespace
