#include "core/RunFlags.h"

#include <windows.h>

std::atomic<int> CancelRequested{0};
std::atomic<int> ContinueExtraction{1};
std::atomic<int> LaunchReturned{1};
std::atomic<int> OverwriteAnswer{OverwriteNotAsked};
CExtractionPause ExtractionPause;

CExtractionPause::CExtractionPause() : released_(::CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

CExtractionPause::~CExtractionPause() {
    if (released_ != nullptr) ::CloseHandle(released_);
}

void CExtractionPause::Pause() {
    ::ResetEvent(released_);
    paused_.store(true, std::memory_order_release);
}

void CExtractionPause::Release() {
    paused_.store(false, std::memory_order_release);
    ::SetEvent(released_);
}

void CExtractionPause::WaitSlow() {
    // The flag may be cleared between the check and the wait; the event is
    // then already signalled.
    while (IsPaused()) ::WaitForSingleObject(released_, 100);
}

void RequestExtractionCancel() {
    CancelRequested = 1;
    ContinueExtraction = 0;
    ExtractionPause.Release();
}
