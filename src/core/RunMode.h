#pragma once

enum RunMode : int {
    ModeFullGui = 510,
    ModeUnattended = 520,
    ModeSilent = 530,
};

// Silent wins over unattended.
constexpr RunMode RunModeFromFlags(int silent, int unattended) {
    return silent == 1 ? ModeSilent : (unattended == 1 ? ModeUnattended : ModeFullGui);
}

// The parsed command line as start-up hands it to the package initializer.
#include <string>

struct CommandLineSettings {
    int Debug = 0;
    int NoConditionCheck = 0;
    int NoOSCheck = 0;
    std::wstring ExtractPathArg;
    std::wstring AutoLaunchArg;
    std::wstring SetupLanguageArg;
    RunMode Mode = ModeFullGui;
};
