#include "checks/OSValidator.h"
#include "logging/LogFile.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using zel::OsFacts;
using zel::OsNames;

constexpr WORD kX86 = PROCESSOR_ARCHITECTURE_INTEL;
constexpr WORD kAmd64 = PROCESSOR_ARCHITECTURE_AMD64;
constexpr WORD kIa64 = PROCESSOR_ARCHITECTURE_IA64;
constexpr WORD kArm = 5;
constexpr BYTE kWorkstation = 1, kDomainController = 2, kServer = 3;

struct Facts {
    DWORD major, minor;
    BYTE productType;
    WORD architecture;
    DWORD productInfoType = 0;
    WORD suiteMask = 0;
    int serverR2Metric = 0;
    DWORD platformId = VER_PLATFORM_WIN32_NT;

    OsFacts Make() const {
        OsFacts f;
        f.major = major;
        f.minor = minor;
        f.build = 1234;
        f.platformId = platformId;
        f.productType = productType;
        f.processorArchitecture = architecture;
        f.productInfoAvailable = true;
        f.productInfoType = productInfoType;
        f.suiteMask = suiteMask;
        f.serverR2Metric = serverR2Metric;
        return f;
    }
};

struct Expected {
    const wchar_t* versionToken;
    const wchar_t* friendlyName;
    const wchar_t* baseVersionToken;
    const wchar_t* baseFriendlyName;
    const wchar_t* editionToken;
    const wchar_t* editionName;
    int is64Bit;
};

struct NamingCase {
    const char* name;
    Facts facts;
    Expected expected;
};

// Product-info type 0 leaves the edition as the version rules set it.
const NamingCase kNamingCases[] = {
    // 6.3
    {.name = "8.1 x86",
     .facts = {.major = 6, .minor = 3, .productType = kWorkstation, .architecture = kX86},
     .expected = {.versionToken = L"Windows63", .friendlyName = L"Windows8.1",
                  .baseVersionToken = L"Windows63", .baseFriendlyName = L"Windows8.1",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 0}},
    {.name = "8.1 amd64",
     .facts = {.major = 6, .minor = 3, .productType = kWorkstation, .architecture = kAmd64},
     .expected = {.versionToken = L"Windows6364", .friendlyName = L"Windows8.164",
                  .baseVersionToken = L"Windows63", .baseFriendlyName = L"Windows8.1",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 1}},
    {.name = "8.1 other processor takes x86 names",
     .facts = {.major = 6, .minor = 3, .productType = kWorkstation, .architecture = kArm},
     .expected = {.versionToken = L"Windows63", .friendlyName = L"Windows8.1",
                  .baseVersionToken = L"Windows63", .baseFriendlyName = L"Windows8.1",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 0}},
    {.name = "2012R2 x86",
     .facts = {.major = 6, .minor = 3, .productType = kServer, .architecture = kX86},
     .expected = {.versionToken = L"Windows63", .friendlyName = L"Windows2012R2",
                  .baseVersionToken = L"Windows63", .baseFriendlyName = L"Windows2012R2",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 0}},
    {.name = "2012R2 amd64",
     .facts = {.major = 6, .minor = 3, .productType = kServer, .architecture = kAmd64},
     .expected = {.versionToken = L"Windows6364", .friendlyName = L"Windows2012R264",
                  .baseVersionToken = L"Windows63", .baseFriendlyName = L"Windows2012R2",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 1}},
    {.name = "2012R2 other processor: fallback",
     .facts = {.major = 6, .minor = 3, .productType = kServer, .architecture = kArm},
     .expected = {.versionToken = L"Windows63", .friendlyName = L"",
                  .baseVersionToken = L"Windows63", .baseFriendlyName = L"Windows2012R2",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 0}},
    // 6.2
    {.name = "8 x86, empty edition",
     .facts = {.major = 6, .minor = 2, .productType = kWorkstation, .architecture = kX86},
     .expected = {.versionToken = L"Windows62", .friendlyName = L"Windows8",
                  .baseVersionToken = L"Windows62", .baseFriendlyName = L"Windows8",
                  .editionToken = L"", .editionName = L"", .is64Bit = 0}},
    {.name = "8 ia64",
     .facts = {.major = 6, .minor = 2, .productType = kWorkstation, .architecture = kIa64},
     .expected = {.versionToken = L"Windows6264", .friendlyName = L"Windows864",
                  .baseVersionToken = L"Windows62", .baseFriendlyName = L"Windows8",
                  .editionToken = L"", .editionName = L"", .is64Bit = 1}},
    {.name = "2012 x86",
     .facts = {.major = 6, .minor = 2, .productType = kServer, .architecture = kX86},
     .expected = {.versionToken = L"Windows62", .friendlyName = L"Windows2012",
                  .baseVersionToken = L"Windows62", .baseFriendlyName = L"Windows2012",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 0}},
    {.name = "2012 amd64",
     .facts = {.major = 6, .minor = 2, .productType = kServer, .architecture = kAmd64},
     .expected = {.versionToken = L"Windows6264", .friendlyName = L"Windows201264",
                  .baseVersionToken = L"Windows62", .baseFriendlyName = L"Windows2012",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 1}},
    // 6.1
    {.name = "7 x86",
     .facts = {.major = 6, .minor = 1, .productType = kWorkstation, .architecture = kX86},
     .expected = {.versionToken = L"Windows61", .friendlyName = L"Windows7",
                  .baseVersionToken = L"Windows61", .baseFriendlyName = L"Windows7",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 0}},
    {.name = "7 amd64",
     .facts = {.major = 6, .minor = 1, .productType = kWorkstation, .architecture = kAmd64},
     .expected = {.versionToken = L"Windows6164", .friendlyName = L"Windows764",
                  .baseVersionToken = L"Windows61", .baseFriendlyName = L"Windows7",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 1}},
    {.name = "2008R2 x86",
     .facts = {.major = 6, .minor = 1, .productType = kServer, .architecture = kX86},
     .expected = {.versionToken = L"Windows61", .friendlyName = L"Windows2008R2",
                  .baseVersionToken = L"Windows61", .baseFriendlyName = L"Windows2008R2",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 0}},
    {.name = "2008R2 amd64",
     .facts = {.major = 6, .minor = 1, .productType = kDomainController, .architecture = kAmd64},
     .expected = {.versionToken = L"Windows6164", .friendlyName = L"Windows2008R264",
                  .baseVersionToken = L"Windows61", .baseFriendlyName = L"Windows2008R2",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 1}},
    {.name = "2008R2 on ARM: fallback",
     .facts = {.major = 6, .minor = 1, .productType = kServer, .architecture = kArm},
     .expected = {.versionToken = L"Windows61", .friendlyName = L"",
                  .baseVersionToken = L"Windows61", .baseFriendlyName = L"Windows2008R2",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 0}},
    // 6.0
    {.name = "Vista x86",
     .facts = {.major = 6, .minor = 0, .productType = kWorkstation, .architecture = kX86},
     .expected = {.versionToken = L"Windows60", .friendlyName = L"WindowsVista",
                  .baseVersionToken = L"Windows60", .baseFriendlyName = L"WindowsVista",
                  .editionToken = L"Basic", .editionName = L"Unknown Product", .is64Bit = 0}},
    {.name = "Vista amd64",
     .facts = {.major = 6, .minor = 0, .productType = kWorkstation, .architecture = kAmd64},
     .expected = {.versionToken = L"Windows6064", .friendlyName = L"WindowsVista64",
                  .baseVersionToken = L"Windows60", .baseFriendlyName = L"WindowsVista",
                  .editionToken = L"Basic", .editionName = L"Unknown Product", .is64Bit = 1}},
    {.name = "Vista other processor: fallback",
     .facts = {.major = 6, .minor = 0, .productType = kWorkstation, .architecture = kArm},
     .expected = {.versionToken = L"Windows60", .friendlyName = L"",
                  .baseVersionToken = L"Windows60", .baseFriendlyName = L"WindowsVista",
                  .editionToken = L"Basic", .editionName = L"Unknown Product", .is64Bit = 0}},
    {.name = "2008 x86",
     .facts = {.major = 6, .minor = 0, .productType = kServer, .architecture = kX86},
     .expected = {.versionToken = L"Windows60", .friendlyName = L"Windows2008",
                  .baseVersionToken = L"Windows60", .baseFriendlyName = L"Windows2008",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 0}},
    {.name = "2008 amd64",
     .facts = {.major = 6, .minor = 0, .productType = kServer, .architecture = kAmd64},
     .expected = {.versionToken = L"Windows6064", .friendlyName = L"Windows200864",
                  .baseVersionToken = L"Windows60", .baseFriendlyName = L"Windows2008",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 1}},
    // 5.2
    {.name = "2003R2 by metric x86",
     .facts = {.major = 5, .minor = 2, .productType = kServer, .architecture = kX86, .serverR2Metric = 1},
     .expected = {.versionToken = L"Windows52", .friendlyName = L"Windows2003R2",
                  .baseVersionToken = L"Windows52", .baseFriendlyName = L"Windows2003R2",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 0}},
    {.name = "2003R2 by metric amd64",
     .facts = {.major = 5, .minor = 2, .productType = kServer, .architecture = kAmd64,
               .suiteMask = 0x80, .serverR2Metric = 1},
     .expected = {.versionToken = L"Windows5264", .friendlyName = L"Windows2003R264",
                  .baseVersionToken = L"Windows52", .baseFriendlyName = L"Windows2003R2",
                  .editionToken = L"Datacenter", .editionName = L"Datacenter", .is64Bit = 1}},
    {.name = "metric row comes before the suite row",
     .facts = {.major = 5, .minor = 2, .productType = kServer, .architecture = kX86,
               .suiteMask = 0x2000, .serverR2Metric = 1},
     .expected = {.versionToken = L"Windows52", .friendlyName = L"Windows2003R2",
                  .baseVersionToken = L"Windows52", .baseFriendlyName = L"Windows2003R2",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 0}},
    {.name = "suite exactly 0x2000: fallback",
     .facts = {.major = 5, .minor = 2, .productType = kServer, .architecture = kX86, .suiteMask = 0x2000},
     .expected = {.versionToken = L"Windows52", .friendlyName = L"",
                  .baseVersionToken = L"Windows52", .baseFriendlyName = L"Windows2003R2",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 0}},
    {.name = "suite exactly 0x8000: fallback",
     .facts = {.major = 5, .minor = 2, .productType = kServer, .architecture = kAmd64, .suiteMask = 0x8000},
     .expected = {.versionToken = L"Windows5264", .friendlyName = L"",
                  .baseVersionToken = L"Windows52", .baseFriendlyName = L"Windows2003R2",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 1}},
    {.name = "suite 0x2002 is not exact",
     .facts = {.major = 5, .minor = 2, .productType = kServer, .architecture = kX86, .suiteMask = 0x2002},
     .expected = {.versionToken = L"Windows52", .friendlyName = L"Windows2003",
                  .baseVersionToken = L"Windows52", .baseFriendlyName = L"Windows2003",
                  .editionToken = L"Enterprise", .editionName = L"Enterprise", .is64Bit = 0}},
    {.name = "XP x64 edition workstation",
     .facts = {.major = 5, .minor = 2, .productType = kWorkstation, .architecture = kAmd64},
     .expected = {.versionToken = L"Windows5264", .friendlyName = L"WindowsXP64",
                  .baseVersionToken = L"Windows52", .baseFriendlyName = L"WindowsXP",
                  .editionToken = L"Basic", .editionName = L"Basic", .is64Bit = 1}},
    {.name = "5.2 workstation x86",
     .facts = {.major = 5, .minor = 2, .productType = kWorkstation, .architecture = kX86},
     .expected = {.versionToken = L"Windows52", .friendlyName = L"WindowsXP",
                  .baseVersionToken = L"Windows52", .baseFriendlyName = L"WindowsXP",
                  .editionToken = L"Basic", .editionName = L"Basic", .is64Bit = 0}},
    {.name = "5.2 workstation other processor",
     .facts = {.major = 5, .minor = 2, .productType = kWorkstation, .architecture = kArm},
     .expected = {.versionToken = L"Windows52", .friendlyName = L"WindowsXP",
                  .baseVersionToken = L"Windows52", .baseFriendlyName = L"WindowsXP",
                  .editionToken = L"Basic", .editionName = L"Basic", .is64Bit = 0}},
    {.name = "2003 x86",
     .facts = {.major = 5, .minor = 2, .productType = kServer, .architecture = kX86},
     .expected = {.versionToken = L"Windows52", .friendlyName = L"Windows2003",
                  .baseVersionToken = L"Windows52", .baseFriendlyName = L"Windows2003",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 0}},
    {.name = "2003 amd64",
     .facts = {.major = 5, .minor = 2, .productType = kServer, .architecture = kAmd64},
     .expected = {.versionToken = L"Windows5264", .friendlyName = L"Windows200364",
                  .baseVersionToken = L"Windows52", .baseFriendlyName = L"Windows2003",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 1}},
    {.name = "2003 other processor: fallback",
     .facts = {.major = 5, .minor = 2, .productType = kServer, .architecture = kArm},
     .expected = {.versionToken = L"Windows52", .friendlyName = L"",
                  .baseVersionToken = L"Windows52", .baseFriendlyName = L"Windows2003",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 0}},
    {.name = "2003 datacenter wins",
     .facts = {.major = 5, .minor = 2, .productType = kServer, .architecture = kX86, .suiteMask = 0x482},
     .expected = {.versionToken = L"Windows52", .friendlyName = L"Windows2003",
                  .baseVersionToken = L"Windows52", .baseFriendlyName = L"Windows2003",
                  .editionToken = L"Datacenter", .editionName = L"Datacenter", .is64Bit = 0}},
    {.name = "2003 enterprise before web",
     .facts = {.major = 5, .minor = 2, .productType = kServer, .architecture = kX86, .suiteMask = 0x402},
     .expected = {.versionToken = L"Windows52", .friendlyName = L"Windows2003",
                  .baseVersionToken = L"Windows52", .baseFriendlyName = L"Windows2003",
                  .editionToken = L"Enterprise", .editionName = L"Enterprise", .is64Bit = 0}},
    {.name = "2003 web edition",
     .facts = {.major = 5, .minor = 2, .productType = kServer, .architecture = kX86, .suiteMask = 0x400},
     .expected = {.versionToken = L"Windows52", .friendlyName = L"Windows2003",
                  .baseVersionToken = L"Windows52", .baseFriendlyName = L"Windows2003",
                  .editionToken = L"WebEdition", .editionName = L"WebEdition", .is64Bit = 0}},
    // 5.1
    {.name = "XP professional",
     .facts = {.major = 5, .minor = 1, .productType = kWorkstation, .architecture = kX86},
     .expected = {.versionToken = L"Windows51", .friendlyName = L"WindowsXP",
                  .baseVersionToken = L"Windows51", .baseFriendlyName = L"WindowsXP",
                  .editionToken = L"Professional", .editionName = L"Professional", .is64Bit = 0}},
    {.name = "XP home",
     .facts = {.major = 5, .minor = 1, .productType = kWorkstation, .architecture = kX86, .suiteMask = 0x0300},
     .expected = {.versionToken = L"Windows51", .friendlyName = L"WindowsXP",
                  .baseVersionToken = L"Windows51", .baseFriendlyName = L"WindowsXP",
                  .editionToken = L"Home", .editionName = L"Home", .is64Bit = 0}},
    {.name = "XP amd64",
     .facts = {.major = 5, .minor = 1, .productType = kWorkstation, .architecture = kAmd64},
     .expected = {.versionToken = L"Windows5164", .friendlyName = L"WindowsXP64",
                  .baseVersionToken = L"Windows51", .baseFriendlyName = L"WindowsXP",
                  .editionToken = L"Professional", .editionName = L"Professional", .is64Bit = 1}},
    {.name = "XP other processor, server product type",
     .facts = {.major = 5, .minor = 1, .productType = kServer, .architecture = kArm},
     .expected = {.versionToken = L"Windows51", .friendlyName = L"WindowsXP",
                  .baseVersionToken = L"Windows51", .baseFriendlyName = L"WindowsXP",
                  .editionToken = L"Professional", .editionName = L"Professional", .is64Bit = 0}},
    // Versions the table does not know.
    {.name = "10.0 amd64",
     .facts = {.major = 10, .minor = 0, .productType = kWorkstation, .architecture = kAmd64, .productInfoType = 48},
     .expected = {.versionToken = L"Windows10064", .friendlyName = L"",
                  .baseVersionToken = L"Windows100", .baseFriendlyName = L"",
                  .editionToken = L"Basic", .editionName = L"Unknown Product", .is64Bit = 1}},
    {.name = "10.0 x86",
     .facts = {.major = 10, .minor = 0, .productType = kServer, .architecture = kX86},
     .expected = {.versionToken = L"Windows100", .friendlyName = L"",
                  .baseVersionToken = L"Windows100", .baseFriendlyName = L"",
                  .editionToken = L"Basic", .editionName = L"Unknown Product", .is64Bit = 0}},
    {.name = "6.4 takes no product info",
     .facts = {.major = 6, .minor = 4, .productType = kWorkstation, .architecture = kX86, .productInfoType = 48},
     .expected = {.versionToken = L"Windows64", .friendlyName = L"",
                  .baseVersionToken = L"Windows64", .baseFriendlyName = L"",
                  .editionToken = L"Basic", .editionName = L"Unknown Product", .is64Bit = 0}},
    {.name = "not NT",
     .facts = {.major = 4, .minor = 10, .productType = kWorkstation, .architecture = kX86, .platformId = 1},
     .expected = {.versionToken = L"Windows410", .friendlyName = L"",
                  .baseVersionToken = L"Windows410", .baseFriendlyName = L"",
                  .editionToken = L"Basic", .editionName = L"Unknown Product", .is64Bit = 0}},
    {.name = "NT 4",
     .facts = {.major = 4, .minor = 0, .productType = kWorkstation, .architecture = kX86},
     .expected = {.versionToken = L"Windows40", .friendlyName = L"",
                  .baseVersionToken = L"Windows40", .baseFriendlyName = L"",
                  .editionToken = L"Basic", .editionName = L"Unknown Product", .is64Bit = 0}},
    // Product-info types over the version's edition.
    {.name = "6.1 amd64 type 48",
     .facts = {.major = 6, .minor = 1, .productType = kWorkstation, .architecture = kAmd64, .productInfoType = 48},
     .expected = {.versionToken = L"Windows6164", .friendlyName = L"Windows764",
                  .baseVersionToken = L"Windows61", .baseFriendlyName = L"Windows7",
                  .editionToken = L"SKU48", .editionName = L"Professional", .is64Bit = 1}},
    {.name = "6.3 server x86 type 7",
     .facts = {.major = 6, .minor = 3, .productType = kServer, .architecture = kX86, .productInfoType = 7},
     .expected = {.versionToken = L"Windows63", .friendlyName = L"Windows2012R2",
                  .baseVersionToken = L"Windows63", .baseFriendlyName = L"Windows2012R2",
                  .editionToken = L"SKU7", .editionName = L"Standard Server", .is64Bit = 0}},
    {.name = "6.0 type 26 is not in the table",
     .facts = {.major = 6, .minor = 0, .productType = kWorkstation, .architecture = kX86, .productInfoType = 26},
     .expected = {.versionToken = L"Windows60", .friendlyName = L"WindowsVista",
                  .baseVersionToken = L"Windows60", .baseFriendlyName = L"WindowsVista",
                  .editionToken = L"Basic", .editionName = L"Unknown Product", .is64Bit = 0}},
    {.name = "6.2 type 27 keeps the empty edition",
     .facts = {.major = 6, .minor = 2, .productType = kWorkstation, .architecture = kAmd64, .productInfoType = 27},
     .expected = {.versionToken = L"Windows6264", .friendlyName = L"Windows864",
                  .baseVersionToken = L"Windows62", .baseFriendlyName = L"Windows8",
                  .editionToken = L"", .editionName = L"", .is64Bit = 1}},
    {.name = "6.0 type 1",
     .facts = {.major = 6, .minor = 0, .productType = kWorkstation, .architecture = kX86, .productInfoType = 1},
     .expected = {.versionToken = L"Windows60", .friendlyName = L"WindowsVista",
                  .baseVersionToken = L"Windows60", .baseFriendlyName = L"WindowsVista",
                  .editionToken = L"SKU1", .editionName = L"Ultimate", .is64Bit = 0}},
    {.name = "6.0 type 48 came with 6.1",
     .facts = {.major = 6, .minor = 0, .productType = kServer, .architecture = kX86, .productInfoType = 48},
     .expected = {.versionToken = L"Windows60", .friendlyName = L"Windows2008",
                  .baseVersionToken = L"Windows60", .baseFriendlyName = L"Windows2008",
                  .editionToken = L"Standard", .editionName = L"Standard", .is64Bit = 0}},
    {.name = "6.2 type 71",
     .facts = {.major = 6, .minor = 2, .productType = kWorkstation, .architecture = kX86, .productInfoType = 71},
     .expected = {.versionToken = L"Windows62", .friendlyName = L"Windows8",
                  .baseVersionToken = L"Windows62", .baseFriendlyName = L"Windows8",
                  .editionToken = L"SKU71", .editionName = L"Ultimate(E)", .is64Bit = 0}},
};

TEST(OsNaming, EveryRowOfTheNamingAndVersionEditionTables) {
    for (const NamingCase& c : kNamingCases) {
        SCOPED_TRACE(c.name);
        const OsNames n = zel::NameOperatingSystem(c.facts.Make());
        EXPECT_EQ(n.versionToken, c.expected.versionToken);
        EXPECT_EQ(n.friendlyName, c.expected.friendlyName);
        EXPECT_EQ(n.baseVersionToken, c.expected.baseVersionToken);
        EXPECT_EQ(n.baseFriendlyName, c.expected.baseFriendlyName);
        EXPECT_EQ(n.editionToken, c.expected.editionToken);
        EXPECT_EQ(n.editionName, c.expected.editionName);
        EXPECT_EQ(n.is64Bit, c.expected.is64Bit);
        EXPECT_FALSE(n.productInfoMissing);
    }
}

TEST(OsNaming, EveryRowOfTheProductTypeTable) {
    const struct {
        DWORD type;
        const wchar_t* name;
    } editions[] = {
        {1, L"Ultimate"}, {2, L"Home Basic"}, {3, L"Home Premium"}, {4, L"Enterprise"},
        {5, L"Home Basic(N)"}, {6, L"Business"}, {7, L"Standard Server"}, {8, L"DataCenter Server"},
        {9, L"Small Business Server"}, {10, L"Enterprise Server"}, {11, L"Starter"},
        {12, L"DataCenter Server Core"}, {13, L"Standard Server Core"}, {14, L"Enterprise Server Core"},
        {15, L"Enterprise Server IA64"}, {16, L"Business(N)"}, {17, L"Web Server"}, {18, L"Cluster Server"},
        {19, L"Home Server"}, {20, L"Storage Express Server"}, {21, L"Storage Standard Server"},
        {22, L"Storage Workgroup Server"}, {23, L"Storage Enterprise Server"},
        {24, L"Server for SmallBusiness"}, {25, L"Small Business Server Premium"}, {28, L"Ultimate(N)"},
        {47, L"Starter(N)"}, {48, L"Professional"}, {49, L"Professional(N)"}, {66, L"Starter(E)"},
        {67, L"Home Basic(E)"}, {68, L"Home Premium(E)"}, {69, L"Professional(E)"}, {70, L"Enterprise(E)"},
        {71, L"Ultimate(E)"},
    };
    for (const auto& e : editions) {
        SCOPED_TRACE(e.type);
        for (DWORD minor : {0u, 1u, 2u, 3u}) {
            const Facts facts{
                .major = 6, .minor = minor, .productType = kServer, .architecture = kX86, .productInfoType = e.type};
            const OsNames n = zel::NameOperatingSystem(facts.Make());
            if (minor == 0 && e.type >= 28) {
                EXPECT_EQ(n.editionToken, L"Standard") << minor;
                continue;
            }
            EXPECT_EQ(n.editionToken, L"SKU" + std::to_wstring(e.type)) << minor;
            EXPECT_EQ(n.editionName, e.name) << minor;
        }
    }
    // Numbers between the table's rows change nothing.
    for (DWORD type : {26u, 27u, 29u, 46u, 50u, 65u, 72u, 0xABCDu}) {
        const OsNames n = zel::NameOperatingSystem(Facts{
            .major = 6, .minor = 1, .productType = kServer, .architecture = kX86, .productInfoType = type}.Make());
        EXPECT_EQ(n.editionToken, L"Standard") << type;
        EXPECT_EQ(n.editionName, L"Standard") << type;
    }
}

TEST(OsNaming, ProductInfoMissingOnlyMattersForVersion6) {
    OsFacts facts = Facts{.major = 6, .minor = 1, .productType = kWorkstation, .architecture = kX86}.Make();
    facts.productInfoAvailable = false;
    EXPECT_TRUE(zel::NameOperatingSystem(facts).productInfoMissing);
    facts = Facts{.major = 5, .minor = 1, .productType = kWorkstation, .architecture = kX86}.Make();
    facts.productInfoAvailable = false;
    EXPECT_FALSE(zel::NameOperatingSystem(facts).productInfoMissing);
}

TEST(OsNaming, ServicePackNumber) {
    EXPECT_EQ(zel::ServicePackNumber(L"Service Pack 3", 3), L"3");
    EXPECT_EQ(zel::ServicePackNumber(L"Service Pack 2", 0), L"2");
    // The prefix is a set of characters, not a word.
    EXPECT_EQ(zel::ServicePackNumber(L"Service Pack 2, v.3311", 0), L"2, v.3311");
    EXPECT_EQ(zel::ServicePackNumber(L"Pack Service 1a", 0), L"1a");
    EXPECT_EQ(zel::ServicePackNumber(L"Service Pack 1a", 1), L"1");
    EXPECT_EQ(zel::ServicePackNumber(L"", 0), L"");
    EXPECT_EQ(zel::ServicePackNumber(L"Service Pack ", 0), L"");
}

// Points theLog at a file of the test's own and back at the end.
class OsValidatorLog : public ::testing::Test {
protected:
    void SetUp() override {
        savedPath_ = theLog.GetFilePath();
        savedLevel_ = theLog.GetLogLevel();
        theLog.InitLog(dir_.File(L"os.log"), 11);
    }
    void TearDown() override { theLog.InitLog(savedPath_, savedLevel_); }

    // The log's lines, whatever encoding the writer uses.
    std::vector<std::wstring> LogLines() const {
        const std::string bytes = zel_test::ReadBytes(dir_.File(L"os.log"));
        std::wstring text;
        if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
            static_cast<unsigned char>(bytes[1]) == 0xFE) {
            for (size_t i = 2; i + 1 < bytes.size(); i += 2)
                text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8));
        } else {
            for (char c : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
        }
        std::vector<std::wstring> lines;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find(L'\n', start);
            if (end == std::wstring::npos) end = text.size();
            std::wstring line = text.substr(start, end - start);
            if (!line.empty() && line.back() == L'\r') line.pop_back();
            if (!line.empty()) lines.push_back(line);
            start = end + 1;
        }
        return lines;
    }
    static bool EndsWith(const std::wstring& line, const std::wstring& tail) {
        return line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
    }
    static bool Has(const std::wstring& line, const std::wstring& part) {
        return line.find(part) != std::wstring::npos;
    }

    zel_test::TempDir dir_;

private:
    std::wstring savedPath_;
    int savedLevel_ = 0;
};

OsFacts Windows7Sp1Amd64Professional() {
    OsFacts facts = Facts{
        .major = 6, .minor = 1, .productType = kWorkstation, .architecture = kAmd64, .productInfoType = 48}.Make();
    facts.build = 7601;
    facts.servicePackText = L"Service Pack 1";
    facts.servicePackMajor = 1;
    return facts;
}

TEST_F(OsValidatorLog, FullIdentityOfA64BitWindows7) {
    COSValidator v;
    const OsFacts facts = Windows7Sp1Amd64Professional();
    v.OSVersionFromFacts(&facts, 0);

    EXPECT_EQ(v.OsName, L"Windows764");
    EXPECT_EQ(v.FriendlyName, L"windows764");
    EXPECT_EQ(v.VersionToken, L"windows6164");
    EXPECT_EQ(v.BaseFriendlyName, L"Windows7");
    EXPECT_EQ(v.BaseVersionToken, L"Windows61");
    EXPECT_EQ(v.EditionToken, L"SKU48");
    EXPECT_EQ(v.EditionName, L"Professional");
    EXPECT_EQ(v.ServicePack, L"1");
    EXPECT_EQ(v.ServicePackText, L"Service Pack 1");
    EXPECT_EQ(v.ProductTypeToken, L"prod1");
    EXPECT_EQ(v.Is64Bit, 1);
    EXPECT_EQ(v.MajorVersion, 6u);
    EXPECT_EQ(v.MinorVersion, 1u);

    const auto lines = LogLines();
    // The identity lines, then the rules of a package without an [OS] section.
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(Has(lines[0], L"OSVersion") && EndsWith(lines[0], L"Operating System : Windows764")) << lines[0];
    EXPECT_TRUE(EndsWith(lines[1], L"Operating System Edition : Professional")) << lines[1];
    EXPECT_TRUE(EndsWith(lines[2], L"Operating System ServicePack : Service Pack 1")) << lines[2];
    EXPECT_TRUE(EndsWith(lines[3], L"No OSes are supported")) << lines[3];
}

TEST_F(OsValidatorLog, XpHomeServicePack3AndProductTypes) {
    COSValidator v;
    OsFacts facts = Facts{
        .major = 5, .minor = 1, .productType = kWorkstation, .architecture = kX86, .suiteMask = 0x200}.Make();
    facts.servicePackText = L"Service Pack 3";
    facts.servicePackMajor = 3;
    v.OSVersionFromFacts(&facts, 0);
    EXPECT_EQ(v.EditionToken, L"Home");
    EXPECT_EQ(v.EditionName, L"Home");
    EXPECT_EQ(v.ServicePack, L"3");
    EXPECT_EQ(v.ServicePackText, L"Service Pack 3");
    EXPECT_EQ(v.OsName, L"WindowsXP");
    EXPECT_EQ(v.FriendlyName, L"windowsxp");

    for (BYTE type : {kDomainController, kServer}) {
        facts.productType = type;
        v.OSVersionFromFacts(&facts, 0);
        EXPECT_EQ(v.ProductTypeToken, L"prod" + std::to_wstring(type));
    }
    facts.productType = 7;  // not a type the rules know: the token stays
    v.OSVersionFromFacts(&facts, 0);
    EXPECT_EQ(v.ProductTypeToken, L"prod3");
}

TEST_F(OsValidatorLog, LogOnlyWritesTheFourVersionLines) {
    COSValidator v;
    const OsFacts facts = Windows7Sp1Amd64Professional();
    EXPECT_EQ(v.OSVersionFromFacts(&facts, 1), -1);

    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 4u);
    const wchar_t* expected[] = {L"OS Version : 6.1.7601.2", L"Major Version : 6", L"Minor Version : 1",
                                 L"Product Type : 1"};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(Has(lines[i], L"OSVersion")) << lines[i];
        EXPECT_TRUE(EndsWith(lines[i], expected[i])) << lines[i];
    }
    // Names are computed, but the rest of the identity waits for a full call.
    EXPECT_EQ(v.VersionToken, L"Windows6164");
    EXPECT_EQ(v.EditionToken, L"SKU48");
    EXPECT_EQ(v.OsName, L"");
    EXPECT_EQ(v.ServicePack, L"");
    EXPECT_EQ(v.ProductTypeToken, L"");
}

TEST_F(OsValidatorLog, FailuresCountAsSupported) {
    COSValidator v;
    EXPECT_EQ(v.OSVersionFromFacts(nullptr, 1), 300);
    EXPECT_EQ(v.EditionToken, L"Unknown Product");
    EXPECT_EQ(v.EditionName, L"Unknown Product");

    OsFacts facts = Windows7Sp1Amd64Professional();
    facts.productInfoAvailable = false;
    EXPECT_EQ(v.OSVersionFromFacts(&facts, 1), 300);
    EXPECT_EQ(v.VersionToken, L"Windows6164");

    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(Has(lines[0], L"OSVersion") && EndsWith(lines[0], L"GetVersionEx() failed")) << lines[0];
    EXPECT_TRUE(Has(lines[1], L"GetProcAddress") && EndsWith(lines[1], L"Failed to get the OS information"))
        << lines[1];
}

TEST_F(OsValidatorLog, EachCallRecomputesTheNames) {
    COSValidator v;
    OsFacts facts = Windows7Sp1Amd64Professional();
    v.OSVersionFromFacts(&facts, 0);
    facts = Facts{.major = 10, .minor = 0, .productType = kWorkstation, .architecture = kX86}.Make();
    v.OSVersionFromFacts(&facts, 0);
    EXPECT_EQ(v.VersionToken, L"windows100");
    EXPECT_EQ(v.FriendlyName, L"");
    EXPECT_EQ(v.BaseFriendlyName, L"");
    EXPECT_EQ(v.OsName, L"");
    EXPECT_EQ(v.Is64Bit, 0);
    EXPECT_EQ(v.ServicePack, L"");
    EXPECT_EQ(v.EditionName, L"Unknown Product");
}

TEST_F(OsValidatorLog, ReadsTheOsSectionWithLowerCaseKeys) {
    const std::wstring settings = dir_.File(L"Properties_Tavo.ini");
    zel_test::WriteUtf16File(settings,
                             L"[Package]\r\nName=P\r\n"
                             L"[OS]\r\nOSAllowed=Windows7;WindowsXP+\r\n"
                             L"Windows7Exclude=SKU2 || prod3\r\n"
                             L"osallowed=second wins not\r\n"
                             L"WindowsXPExtractPath=C:\\a=b\r\n");
    COSValidator v;
    v.SetSettingsPath(settings);
    const OsFacts facts = Windows7Sp1Amd64Professional();
    v.OSVersionFromFacts(&facts, 1);
    EXPECT_EQ(v.OsSection.size(), 3u);
    EXPECT_EQ(v.OsSection[L"osallowed"], L"Windows7;WindowsXP+");
    EXPECT_EQ(v.OsSection[L"windows7exclude"], L"SKU2 || prod3");
    EXPECT_EQ(v.OsSection[L"windowsxpextractpath"], L"C:\\a=b");
}

// Under Wine: the prefix's Windows version, named. ZEL_EXPECT_WINVER (set by
// the test that switches the prefix's version) says which version to expect;
// without it the test checks that the adapter agrees with the version query.
TEST(OsValidatorUnderWine, RealAdapterNamesThePrefixVersion) {
    OsFacts facts;
    ASSERT_TRUE(zel::GatherOsFacts(facts));
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_TRUE(::GetVersionExW(&info));
    EXPECT_EQ(facts.major, info.dwMajorVersion);
    EXPECT_EQ(facts.minor, info.dwMinorVersion);
    EXPECT_EQ(facts.platformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    // A 32-bit test under a 64-bit Wine sees the native processor.
    EXPECT_EQ(facts.processorArchitecture, kAmd64);
    EXPECT_EQ(facts.productInfoAvailable, facts.major == 6);

    COSValidator v;
    v.OSVersion(0);
    const char* expect = std::getenv("ZEL_EXPECT_WINVER");
    const std::string version = expect ? expect : "";
    if (version == "winxp") {
        EXPECT_EQ(v.VersionToken, L"windows5164");
        EXPECT_EQ(v.FriendlyName, L"windowsxp64");
        EXPECT_EQ(v.BaseFriendlyName, L"WindowsXP");
        EXPECT_EQ(v.ServicePack, L"3");
    } else if (version == "win7") {
        EXPECT_EQ(v.VersionToken, L"windows6164");
        EXPECT_EQ(v.BaseVersionToken, L"Windows61");
        // Wine's win7 reports a server product type; its win2008r2 a workstation.
        EXPECT_EQ(v.FriendlyName, facts.productType == kWorkstation ? L"windows764" : L"windows2008r264");
        EXPECT_EQ(v.ServicePack, L"1");
    } else if (version == "win81") {
        // This test program declares no 8.1 compatibility, so 8.1 says 6.2.
        EXPECT_EQ(v.VersionToken, L"windows6264");
        EXPECT_EQ(v.BaseVersionToken, L"Windows62");
        EXPECT_EQ(v.FriendlyName, facts.productType == kWorkstation ? L"windows864" : L"windows201264");
    } else {
        ASSERT_TRUE(version.empty()) << "unknown ZEL_EXPECT_WINVER " << version;
        // Any other version: "windows", the two numbers the system reports,
        // and "64" for the 64-bit processor checked above.
        EXPECT_EQ(v.VersionToken, L"windows" + std::to_wstring(info.dwMajorVersion) +
                                      std::to_wstring(info.dwMinorVersion) + L"64");
    }
    EXPECT_EQ(v.Is64Bit, 1);
    EXPECT_FALSE(v.ProductTypeToken.empty());
}

}  // namespace
