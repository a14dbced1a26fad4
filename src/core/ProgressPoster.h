// The worker's side of the progress steps: steps are gathered and posted
// together (kProgressStep with the number of steps), at most every kIntervalMs,
// so that no file costs a round trip to the window. The window's counter
// ends where one step a message would have left it.
#pragma once

#include "core/Messages.h"

#include <windows.h>

class CProgressPoster {
public:
    static constexpr DWORD kIntervalMs = 40;

    explicit CProgressPoster(HWND window = nullptr) : window_(window) {}
    ~CProgressPoster() { Flush(); }
    CProgressPoster(const CProgressPoster&) = delete;
    CProgressPoster& operator=(const CProgressPoster&) = delete;

    void Step() {
        if (window_ == nullptr) return;
        ++pending_;
        DWORD now = ::GetTickCount();
        if (now - lastPost_ >= kIntervalMs) Post(now);
    }
    // Posts what is gathered; before the worker's "ended" or "failed"
    // message, so that the window counts every step first.
    void Flush() {
        if (window_ != nullptr && pending_ > 0) Post(::GetTickCount());
    }

private:
    void Post(DWORD now) {
        ::PostMessageW(window_, WM_ZEL_PROGRESS, kProgressStep, static_cast<LPARAM>(pending_));
        pending_ = 0;
        lastPost_ = now;
    }

    HWND window_;
    long pending_ = 0;
    DWORD lastPost_ = 0;
};
