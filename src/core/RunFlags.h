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

// Pauses the extraction cooperatively: the worker waits at its safe points
// (between records, between files, between written blocks), where it holds
// no lock, so the window that paused it can still log, allocate and ask.
class CExtractionPause {
public:
    CExtractionPause();
    ~CExtractionPause();
    CExtractionPause(const CExtractionPause&) = delete;
    CExtractionPause& operator=(const CExtractionPause&) = delete;

    void Pause();
    void Release();
    bool IsPaused() const { return paused_.load(std::memory_order_acquire); }
    // At a safe point of the worker: returns at once unless paused, else when
    // released. A cancel releases the pause, so the worker then sees it.
    void WaitWhilePaused() {
        if (IsPaused()) WaitSlow();
    }

private:
    void WaitSlow();
    std::atomic<bool> paused_{false};
    void* released_;  // manual-reset event, signalled while not paused
};

extern CExtractionPause ExtractionPause;

// A confirmed cancel: both flags set and the pause released, so the worker
// stops at its next safe point.
void RequestExtractionCancel();
// The extraction should stop: a cancel was confirmed.
inline bool ExtractionCancelled() { return CancelRequested.load() != 0 || ContinueExtraction.load() == 0; }
