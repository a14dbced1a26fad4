// The package's finish messages: per setup and return code, a message of the
// setup language and whether the run counts as failed.
#pragma once

#include <map>
#include <string>

class CFinishMessages {
public:
    // Reads [entry] ReturnCode_<code> of the package settings, and once
    // MessageOnFinish of the setup language.
    void LoadReturnCodeMessages(const std::wstring& entry);
    // "SUCCESS:{Key}" or "Error:{Key}" → the prefix as written + [section] Key.
    std::wstring GetMessageFromLangSection(const std::wstring& value, const std::wstring& section);
    // Records the message configured for the code of that setup, if any; an
    // error message sets the finish status -6.
    void SetFinishMessage(const std::wstring& entry, int code);
    // The error message, else the success message, else MessageOnFinish.
    std::wstring GetFinishMessage() const;

    // "<entry>:returncode_<code>" in lower case → prefix + text.
    std::map<std::wstring, std::wstring> ReturnCodeMessages;
    // "ERROR", "SUCCESS" and "MessageOnFinish".
    std::map<std::wstring, std::wstring> FinishMessages;
};
