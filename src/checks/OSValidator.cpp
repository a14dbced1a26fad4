#include "checks/OSValidator.h"

#include "logging/LogFile.h"
#include "platform/SettingsFile.h"
#include "platform/SystemLibrary.h"
#include "platform/Text.h"

COSValidator theOSValidator;

namespace zel {
namespace {

constexpr WORD kSuiteEnterprise = 0x0002;
constexpr WORD kSuiteDatacenter = 0x0080;
constexpr WORD kSuitePersonal = 0x0200;
constexpr WORD kSuiteBlade = 0x0400;
constexpr WORD kSuiteStorageServer = 0x2000;
constexpr WORD kSuiteHomeServer = 0x8000;
constexpr int kSmServerR2 = 89;

// One row of the naming table. The pairs are the base names, with "64"
// appended on a 64-bit processor.
struct NamingRow {
    const wchar_t* baseToken = nullptr;
    const wchar_t* baseFriendly = nullptr;
    bool setsPair = false;
    // An "other" processor takes the x86 pair.
    bool otherTakesX86 = false;
};

NamingRow FindNamingRow(const OsFacts& facts, bool workstation) {
    const DWORD major = facts.major, minor = facts.minor;
    if (major == 6 && minor <= 3) {
        static const wchar_t* const kWorkstation[] = {L"WindowsVista", L"Windows7", L"Windows8",
                                                      L"Windows8.1"};
        static const wchar_t* const kServer[] = {L"Windows2008", L"Windows2008R2", L"Windows2012",
                                                 L"Windows2012R2"};
        static const wchar_t* const kTokens[] = {L"Windows60", L"Windows61", L"Windows62",
                                                 L"Windows63"};
        return {kTokens[minor], workstation ? kWorkstation[minor] : kServer[minor], true,
                workstation && minor != 0};
    }
    if (major == 5 && minor == 2) {
        if (facts.serverR2Metric != 0) return {L"Windows52", L"Windows2003R2", true, workstation};
        if (facts.suiteMask == kSuiteStorageServer || facts.suiteMask == kSuiteHomeServer)
            return {L"Windows52", L"Windows2003R2", false, false};
        if (workstation) return {L"Windows52", L"WindowsXP", true, true};
        return {L"Windows52", L"Windows2003", true, false};
    }
    if (major == 5 && minor == 1) return {L"Windows51", L"WindowsXP", true, true};
    return {};
}

void SetNames(const OsFacts& facts, bool workstation, ProcessorKind cpu, OsNames& names) {
    const NamingRow row = FindNamingRow(facts, workstation);
    if (row.baseToken == nullptr) return;
    names.baseVersionToken = row.baseToken;
    names.baseFriendlyName = row.baseFriendly;
    if (!row.setsPair) return;
    if (cpu == ProcessorKind::Bit64) {
        names.versionToken = names.baseVersionToken + L"64";
        names.friendlyName = names.baseFriendlyName + L"64";
        names.is64Bit = 1;
    } else if (cpu == ProcessorKind::X86 || row.otherTakesX86) {
        names.versionToken = names.baseVersionToken;
        names.friendlyName = names.baseFriendlyName;
    }
}

void SetEdition(OsNames& names, const wchar_t* edition) {
    names.editionToken = edition;
    names.editionName = edition;
}

void SetEditionBeforeProductInfo(const OsFacts& facts, bool workstation, OsNames& names) {
    const DWORD major = facts.major, minor = facts.minor;
    if (major == 6 && (minor == 3 || minor == 1)) {
        SetEdition(names, L"Standard");
    } else if (major == 6 && minor == 2) {
        SetEdition(names, workstation ? L"" : L"Standard");
    } else if (major == 6 && minor == 0) {
        if (!workstation) SetEdition(names, L"Standard");
    } else if (major == 5 && minor == 2) {
        if (workstation) SetEdition(names, L"Basic");
        else if (facts.suiteMask & kSuiteDatacenter) SetEdition(names, L"Datacenter");
        else if (facts.suiteMask & kSuiteEnterprise) SetEdition(names, L"Enterprise");
        else if (facts.suiteMask & kSuiteBlade) SetEdition(names, L"WebEdition");
        else SetEdition(names, L"Standard");
    } else if (major == 5 && minor == 1) {
        SetEdition(names, (facts.suiteMask & kSuitePersonal) ? L"Home" : L"Professional");
    }
}

struct ProductEdition {
    DWORD type;
    const wchar_t* name;
};

constexpr ProductEdition kProductEditions[] = {
    {1, L"Ultimate"},
    {2, L"Home Basic"},
    {3, L"Home Premium"},
    {4, L"Enterprise"},
    {5, L"Home Basic(N)"},
    {6, L"Business"},
    {7, L"Standard Server"},
    {8, L"DataCenter Server"},
    {9, L"Small Business Server"},
    {10, L"Enterprise Server"},
    {11, L"Starter"},
    {12, L"DataCenter Server Core"},
    {13, L"Standard Server Core"},
    {14, L"Enterprise Server Core"},
    {15, L"Enterprise Server IA64"},
    {16, L"Business(N)"},
    {17, L"Web Server"},
    {18, L"Cluster Server"},
    {19, L"Home Server"},
    {20, L"Storage Express Server"},
    {21, L"Storage Standard Server"},
    {22, L"Storage Workgroup Server"},
    {23, L"Storage Enterprise Server"},
    {24, L"Server for SmallBusiness"},
    {25, L"Small Business Server Premium"},
    {28, L"Ultimate(N)"},
    {47, L"Starter(N)"},
    {48, L"Professional"},
    {49, L"Professional(N)"},
    {66, L"Starter(E)"},
    {67, L"Home Basic(E)"},
    {68, L"Home Premium(E)"},
    {69, L"Professional(E)"},
    {70, L"Enterprise(E)"},
    {71, L"Ultimate(E)"},
};

// Types from 28 on came with 6.1; on 6.0 they leave the edition alone.
void SetEditionFromProductType(DWORD type, DWORD minor, OsNames& names) {
    if (type >= 28 && minor == 0) return;
    for (const ProductEdition& edition : kProductEditions) {
        if (edition.type != type) continue;
        names.editionToken = L"SKU" + std::to_wstring(type);
        names.editionName = edition.name;
        return;
    }
}

}  // namespace

ProcessorKind ClassifyProcessor(WORD architecture) {
    if (architecture == PROCESSOR_ARCHITECTURE_AMD64 || architecture == PROCESSOR_ARCHITECTURE_IA64)
        return ProcessorKind::Bit64;
    if (architecture == PROCESSOR_ARCHITECTURE_INTEL) return ProcessorKind::X86;
    return ProcessorKind::Other;
}

bool GatherOsFacts(OsFacts& facts) {
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return false;
    facts.major = info.dwMajorVersion;
    facts.minor = info.dwMinorVersion;
    facts.build = info.dwBuildNumber;
    facts.platformId = info.dwPlatformId;
    facts.servicePackText = std::wstring(info.szCSDVersion, wcsnlen(info.szCSDVersion, 128));
    facts.servicePackMajor = info.wServicePackMajor;
    facts.suiteMask = info.wSuiteMask;
    facts.productType = info.wProductType;

    // A 32-bit process under WOW64 must ask for the native architecture;
    // GetNativeSystemInfo exists from XP on, so it is looked up.
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    using GetNativeSystemInfoFn = void(WINAPI*)(SYSTEM_INFO*);
    using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, DWORD*);
    SYSTEM_INFO system = {};
    auto getNative = zel::GetProc<GetNativeSystemInfoFn>(kernel, "GetNativeSystemInfo");
    if (getNative != nullptr) getNative(&system);
    else ::GetSystemInfo(&system);
    facts.processorArchitecture = system.wProcessorArchitecture;

    if (facts.major == 6) {
        auto getProductInfo = zel::GetProc<GetProductInfoFn>(kernel, "GetProductInfo");
        facts.productInfoAvailable = getProductInfo != nullptr;
        DWORD type = 0;
        if (getProductInfo != nullptr && getProductInfo(facts.major, facts.minor, 0, 0, &type))
            facts.productInfoType = type;
    }
    if (facts.major == 5 && facts.minor == 2) facts.serverR2Metric = ::GetSystemMetrics(kSmServerR2);
    return true;
}

OsNames NameOperatingSystem(const OsFacts& facts) {
    OsNames names;
    const ProcessorKind cpu = ClassifyProcessor(facts.processorArchitecture);
    const bool workstation = facts.productType == VER_NT_WORKSTATION;
    if (facts.platformId == VER_PLATFORM_WIN32_NT && facts.major > 4) {
        SetNames(facts, workstation, cpu, names);
        SetEditionBeforeProductInfo(facts, workstation, names);
        if (facts.major == 6 && facts.minor <= 3) {
            if (!facts.productInfoAvailable) {
                names.productInfoMissing = true;
                return names;
            }
            SetEditionFromProductType(facts.productInfoType, facts.minor, names);
        }
    }
    if (names.versionToken.empty()) {
        // A system the table does not know yet still gets a token that a
        // package author can write: "Windows" and the two version numbers.
        names.baseVersionToken = L"Windows" + std::to_wstring(facts.major) + std::to_wstring(facts.minor);
        names.versionToken = names.baseVersionToken;
        if (cpu == ProcessorKind::Bit64) {
            names.versionToken += L"64";
            names.is64Bit = 1;
        }
    }
    return names;
}

std::wstring ServicePackNumber(const std::wstring& text, WORD major) {
    if (major != 0) return std::to_wstring(major);
    const size_t start = text.find_first_not_of(L"Service Pack ");
    return start == std::wstring::npos ? std::wstring() : text.substr(start);
}

}  // namespace zel

int COSValidator::OSVersion(int logOnly) {
    zel::OsFacts facts;
    if (!zel::GatherOsFacts(facts)) return OSVersionFromFacts(nullptr, logOnly);
    return OSVersionFromFacts(&facts, logOnly);
}

int COSValidator::OSVersionFromFacts(const zel::OsFacts* facts, int logOnly) {
    EditionToken = EditionName = L"Unknown Product";
    VersionToken.clear();
    FriendlyName.clear();
    BaseVersionToken.clear();
    BaseFriendlyName.clear();
    Is64Bit = 0;
    if (facts == nullptr) {
        theLog.LogMessage(0, L"OSVersion", L"GetVersionEx() failed");
        return 300;
    }
    ReadOsSection();
    EditionToken = L"Basic";
    MajorVersion = facts->major;
    MinorVersion = facts->minor;

    const zel::OsNames names = zel::NameOperatingSystem(*facts);
    VersionToken = names.versionToken;
    FriendlyName = names.friendlyName;
    BaseVersionToken = names.baseVersionToken;
    BaseFriendlyName = names.baseFriendlyName;
    EditionToken = names.editionToken;
    EditionName = names.editionName;
    Is64Bit = names.is64Bit;
    if (names.productInfoMissing) {
        theLog.LogMessage(0, L"GetProcAddress", L"Failed to get the OS information");
        return 300;
    }

    if (logOnly) {
        theLog.LogMessage(8, L"OSVersion", L"OS Version : %u.%u.%u.%u", facts->major, facts->minor,
                          facts->build, facts->platformId);
        theLog.LogMessage(8, L"OSVersion", L"Major Version : %u", facts->major);
        theLog.LogMessage(8, L"OSVersion", L"Minor Version : %u", facts->minor);
        theLog.LogMessage(8, L"OSVersion", L"Product Type : %u", static_cast<unsigned>(facts->productType));
        return -1;
    }

    ServicePackText = facts->servicePackText;
    ServicePack = zel::ServicePackNumber(facts->servicePackText, facts->servicePackMajor);

    OsName = FriendlyName;
    theLog.LogText(8, L"OSVersion", L"Operating System : " + OsName);
    theLog.LogText(8, L"OSVersion", L"Operating System Edition : " + EditionName);
    theLog.LogText(8, L"OSVersion", L"Operating System ServicePack : " + ServicePackText);

    FriendlyName = zel::ToLower(FriendlyName);
    VersionToken = zel::ToLower(VersionToken);
    if (facts->productType >= 1 && facts->productType <= 3)
        ProductTypeToken = L"prod" + std::to_wstring(facts->productType);

    return CheckSupport();
}

void COSValidator::ReadOsSection() {
    OsSection.clear();
    if (SettingsPath.empty()) return;
    for (const std::wstring& line : CSettingsFile(SettingsPath).GetSection(L"OS")) {
        const size_t equals = line.find(L'=');
        std::wstring key = zel::ToLower(line.substr(0, equals));
        std::wstring value = equals == std::wstring::npos ? std::wstring() : line.substr(equals + 1);
        OsSection.emplace(std::move(key), std::move(value));
    }
}
