// The flags the windows and the extraction worker share: the cancel flags and
// the pause of the extraction while a window asks whether to cancel.
#pragma once

#include <atomic>

// Set to 1 by a confirmed cancel (wizard or progress dialog); read by the
// payload reader and the clean-up at exit.
extern std::atomic<int> CancelRequested;
// 0 once the user has confirmed cancelling; the cabinet engine stops at its
// next safe point.
extern std::atomic<int> ContinueExtraction;

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
