// The pre-extraction checks of the package: what must hold before anything
// is extracted.
#pragma once

#include "platform/StringList.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class COSValidator;

namespace zel {

// Total free bytes of the volume that holds a path; false when the volume
// cannot be asked. Tests bound the space with a function of their own.
using FreeSpaceQuery = std::function<bool(const std::wstring& path, std::uint64_t& freeBytes)>;
// The platform's answer, for the nearest existing folder of the path: the
// path check removes the folders it made, so the target itself may not exist.
bool QueryVolumeFreeBytes(const std::wstring& path, std::uint64_t& freeBytes);

}  // namespace zel

class CExtractorValidator {
public:
    CExtractorValidator() = default;
    virtual ~CExtractorValidator() = default;

    // The working settings file, set once after the settings files are extracted.
    void SetSettingsPath(const std::wstring& path) { SettingsPath = path; }
    const std::wstring& GetSettingsPath() const { return SettingsPath; }

    // 1 when the package's requirement conditions allow extraction (also when
    // it has none), 0 when not. Reads the settings and the machine afresh on
    // every call.
    int CheckConditions(int languageId);
    // "{ActionKey};{ConditionKey};..." of the last check that had conditions.
    const std::wstring& GetConditionMessageKeys() const { return ConditionMessageKeys; }

    // The message for an operating-system check code (MsgOSWarning for 301,
    // MsgOSError for 302, else empty) in the language's section.
    std::wstring CheckOS(int code, int languageId, int logFlag);
    std::wstring CheckOS(int code, int languageId, int logFlag, const COSValidator& os);

    // Languages the package offers, added at the front (the head is the last).
    void GetSetupLanguages(StringList& languages) const;
    bool IsLanguageSupported(int languageId) const;
    // The system's user-interface language when the package offers it, else 1033.
    int GetDefaultSetupLanguage() const;
    int GetDefaultSetupLanguage(int uiLanguage) const;
    // The language the command line's setupLanguage value asks for: the
    // number it starts with, 1033 when the value is empty or names none.
    int CommandLineLanguage(const std::wstring& text) const;
    // The setup language for a requested one: itself when the package offers
    // it and the system knows it, else 1033.
    int SupportedSetupLanguage(int requested) const;
    // The command line's autolaunch value as the new switch (0 or 1); none
    // when the value is empty or the package has nothing to launch.
    std::optional<int> CommandLineAutolaunch(const std::wstring& text) const;

    // The first usable extraction folder among the command-line path, the
    // system's own path, the package's path and %TEMP%\<package>; empty when
    // none is usable.
    std::wstring GetFinalExtractPathParam(const std::wstring& commandLinePath, const std::wstring& packageName,
                                          std::uint64_t requiredSize,
                                          const zel::FreeSpaceQuery& freeSpace = zel::QueryVolumeFreeBytes);
    // 0 when the path is usable (it is then the full path with a trailing
    // backslash), -1 when not.
    int ValidatePathAndSpaceAvailable(std::wstring& path, int showMessages, std::uint64_t requiredSize,
                                      const zel::FreeSpaceQuery& freeSpace = zel::QueryVolumeFreeBytes);
    // 1 when the volume has the room (equal is enough), 0 when not; the
    // message tells the user either way.
    int CheckFreeSpace(const std::wstring& path, std::uint64_t requiredSize, std::wstring& message,
                       const zel::FreeSpaceQuery& freeSpace = zel::QueryVolumeFreeBytes);
    // The message for a path check code; shown when showMessages is 1.
    std::wstring ErrorMessagesForInvalidPath(int code, const std::wstring& path, int showMessages);

    // The license file of a language in folder (kind 2: the security license),
    // or empty.
    std::wstring CheckLicenseFiles(int languageId, const std::wstring& folder, int kind) const;
    static bool IsValidLicenseFile(const std::wstring& path);

    std::wstring ConditionMessageKeys;
    std::wstring SettingsPath;
};

extern CExtractorValidator theValidator;
