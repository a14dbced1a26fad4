// Starting files for theUtil: the package's setups, installer packages and
// the extraction folder.
#pragma once

#include <functional>
#include <string>

class CUtilLaunch {
public:
    // Exit code the platform reports for a process that has not ended yet.
    static constexpr int kStillActive = 259;

    // Starts file with parameters (environment variables expanded first).
    // wait: 0 do not wait, 1 wait without limit, other values at most that
    // many milliseconds. Returns the process's exit code at that moment
    // (259 while it still runs), -1 when the file could not be started, 0
    // with errorText set when the launch pipe could not be made.
    // unsupportedVariable hears of each "%name%" that is not a supported
    // variable (it is expanded anyway).
    int LaunchApplication(const std::wstring& file, const std::wstring& parameters, std::wstring& errorText,
                          int wait, const std::function<void(const std::wstring&)>& unsupportedVariable = {});

    // [Runtime] CheckAdmin of the package: decides elevation of installer
    // packages on systems of major version 5.
    void SetCheckAdmin(const std::wstring& value) { checkAdmin_ = value; }
    const std::wstring& GetCheckAdminValue() const { return checkAdmin_; }

    // The platform error of the latest LaunchApplication that could not start
    // its file (its result is then -1), else 0. A setup may return -1 itself.
    unsigned long LastStartError() const { return lastStartError_; }

    // Starts program with the verb ("runas" or empty) and waits as above; -1
    // when it could not be started.
    static int ShellStart(const std::wstring& program, const std::wstring& parameters, const std::wstring& verb,
                          int wait, unsigned long* startError = nullptr);

private:
    std::wstring checkAdmin_;
    unsigned long lastStartError_ = 0;
};
