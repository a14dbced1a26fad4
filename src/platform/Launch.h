// Starting the package's setups: installer packages through msiexec.exe,
// executables directly, anything else through the shell's default action.
#pragma once

#include <functional>
#include <string>

// How one file is to be started.
struct LaunchPlan {
    std::wstring Program;
    std::wstring Parameters;
    std::wstring Verb;      // "runas" to start elevated, else empty
    bool UsePipe = false;   // executables and installer packages
};

// The facts the elevation rule depends on.
struct LaunchContext {
    unsigned MajorVersion = 6;
    bool IsAdmin = true;
    std::wstring CheckAdmin;  // [Runtime] CheckAdmin of the package
};

// file and parameters (already expanded) → what is started.
LaunchPlan PlanLaunch(const std::wstring& file, const std::wstring& parameters, const LaunchContext& context);

// Expands "%name%" tokens followed by "\", a blank or a double quote. expand
// gives a token's value (empty: the token stays); unsupported is called for a
// token that is not one of the supported variables (it is expanded anyway).
std::wstring ExpandLaunchParameters(const std::wstring& parameters,
                                    const std::function<std::wstring(const std::wstring&)>& expand,
                                    const std::function<void(const std::wstring&)>& unsupported);

bool IsSupportedLaunchVariable(const std::wstring& token);
