// The flags one thread of a run sets and another reads: atomics, so that the
// unlocked hand-over is well defined.
#pragma once

#include <atomic>

// Set to 1 by the wizard's and the progress dialog's cancel; read by the
// payload reader and the clean-up.
extern std::atomic<int> CancelRequested;
// 0 once the user has confirmed cancelling; the cabinet engine stops at the
// next file and no further setup is launched.
extern std::atomic<int> ContinueExtraction;
// 0 exactly while a setup of the package runs (read by the installation page).
extern std::atomic<int> LaunchReturned;

// The user's last answer to the overwrite question; -1 before any answer.
enum OverwriteAnswerValue {
    OverwriteNotAsked = -1,
    OverwriteYes = 1000,
    OverwriteYesToAll = 1001,
    OverwriteNo = 1002,
    OverwriteNoToAll = 1003,
    OverwriteCancel = 1004,
};

// Written by the window that asks, read by the cabinet engine.
extern std::atomic<int> OverwriteAnswer;
