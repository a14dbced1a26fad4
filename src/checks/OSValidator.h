// Names the running Windows system in the vocabulary package authors use in
// the [OS] section: version token, friendly name, edition, service pack.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace zel {

enum class ProcessorKind { X86, Bit64, Other };

// What the platform says about itself; gathered by GatherOsFacts, or made up
// by a test.
struct OsFacts {
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    DWORD platformId = 0;
    std::wstring servicePackText;
    WORD servicePackMajor = 0;
    WORD suiteMask = 0;
    BYTE productType = 0;  // 1 workstation, 2 domain controller, 3 server
    WORD processorArchitecture = 0;
    // GetProductInfo exists (asked for version 6 only) and what it answered.
    bool productInfoAvailable = false;
    DWORD productInfoType = 0;
    int serverR2Metric = 0;  // version 5.2 only
};

// What the naming rules make of the facts. Tokens keep their letter case.
struct OsNames {
    std::wstring versionToken, friendlyName;
    std::wstring baseVersionToken, baseFriendlyName;
    std::wstring editionToken = L"Basic", editionName = L"Unknown Product";
    int is64Bit = 0;
    // Version 6.0 to 6.3 without GetProductInfo: the edition is unknown.
    bool productInfoMissing = false;
};

ProcessorKind ClassifyProcessor(WORD architecture);

// False when the system does not give its version record.
bool GatherOsFacts(OsFacts& facts);

OsNames NameOperatingSystem(const OsFacts& facts);

// The number of a service-pack text ("Service Pack 3" gives "3"); the major
// number wins when it is not 0.
std::wstring ServicePackNumber(const std::wstring& text, WORD major);

}  // namespace zel

class COSValidator {
public:
    COSValidator() = default;
    virtual ~COSValidator() = default;

    void SetSettingsPath(const std::wstring& path) { SettingsPath = path; }

    // With logOnly set, logs the version lines and returns -1; otherwise
    // completes the identity and returns the support code (300, 301, 302).
    int OSVersion(int logOnly);
    // OSVersion over given facts; null facts stand for a failed version query.
    int OSVersionFromFacts(const zel::OsFacts* facts, int logOnly);

    // The package's support rules for the identified system: 300, 301 or 302.
    int CheckSupport();

    // 302 excluded, 300 listed and not excluded, -1 not listed.
    int CheckOSVariantsForExclusion();
    // 301 warned about, 300 listed without a warning, -1 not listed.
    int CheckOSVariantsForWarning();
    // Whether the ";"-list of OSAllowed names this system (or, with "+", an
    // earlier one).
    bool IsListed(const std::wstring& allowed, const std::wstring& name) const;
    // 0 when a variant of the list under the key matches, 1 when none does.
    int CheckOSVariant(const std::wstring& key);
    // 1 when the variant expression matches this system, else 0.
    int GetOSVariantConditionResult(const std::wstring& expression);
    // The expression with every occurrence of the term replaced by "T" or "F".
    std::wstring ValiodateOSVariants(const std::wstring& term, const std::wstring& expression);
    // [OS] <base name>ExtractPath, then <base token>ExtractPath; empty when neither.
    std::wstring GetOSExtractPath() const;

    // Version digits of a friendly name for "+" entries ("windows7" gives
    // "61"); empty for a name the table does not know.
    static std::wstring NameToVersionDigits(const std::wstring& name);
    static std::wstring ReduceVariant(std::wstring expression);

    std::wstring OsName;
    std::wstring EditionName = L"Unknown Product";
    std::wstring FriendlyName;
    std::wstring VersionToken;
    std::wstring EditionToken = L"Unknown Product";
    std::wstring ServicePack;
    std::wstring ProductTypeToken;
    DWORD MajorVersion = 0;
    DWORD MinorVersion = 0;
    int Is64Bit = 0;
    std::wstring SettingsPath;
    // Keys in lower case; the first of repeated keys wins.
    std::map<std::wstring, std::wstring> OsSection;
    std::wstring ServicePackText;
    std::wstring BaseFriendlyName;
    std::wstring BaseVersionToken;

private:
    void ReadOsSection();
    int CheckVariantsOf(const wchar_t* suffix, int matchCode, bool allowedTextAsPrefix);
    std::wstring RewriteVariant(const std::wstring& term, const std::wstring& expression, bool& holds);
};

extern COSValidator theOSValidator;
