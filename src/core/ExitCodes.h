// The process exit codes; documented for deployment scripts in docs/exit-codes.md.
#pragma once

enum ExitCode : int {
    kExitSuccess = 0,
    kExitFailure = -1,             // working folder or settings files failed, unsupported system declined
    kExitAnotherInstance = 1,
    kExitOleFailed = 2,
    kExitNoAdminRights = 3,
    kExitPasswordRefused = 4,
    kExitRequirementsNotMet = 5,   // also: no usable extraction folder in a quiet run
    kExitCancelled = 6,
    kExitExtractionFailed = 7,
    kExitSetupFailed = 8,
};
