#include "framework/WorkerThread.h"

#include <process.h>

CWorkerThread::CWorkerThread() : stopEvent_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CWorkerThread::~CWorkerThread() { Stop(); }

void CWorkerThread::Start(HWND window, ThreadProc proc) {
    window_ = window;
    ::ResetEvent(stopEvent_.get());
    Stop();
    unsigned id = 0;
    auto handle = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, proc, this, 0, &id));
    std::lock_guard<std::mutex> lock(threadLock_);
    thread_.reset(handle);
    threadId_ = handle != nullptr ? id : 0;
}

bool CWorkerThread::Stop() {
    zel::UniqueHandle thread;
    DWORD threadId = 0;
    {
        std::lock_guard<std::mutex> lock(threadLock_);
        thread = std::move(thread_);
        threadId = std::exchange(threadId_, 0);
    }
    bool timedOut = false;
    if (thread) {
        ::SetEvent(stopEvent_.get());
        ::ResumeThread(thread.get());
        // A worker stopping its own wrapper at its end would only wait for
        // itself until the limit: it is ending anyway.
        if (threadId != ::GetCurrentThreadId())
            timedOut = ::WaitForSingleObject(thread.get(), kStopWaitMs) == WAIT_TIMEOUT;
    }
    ::ResetEvent(stopEvent_.get());
    return timedOut;
}

bool CWorkerThread::StopAndForget() {
    window_ = nullptr;
    return Stop();
}

void CWorkerThread::Suspend() {
    std::lock_guard<std::mutex> lock(threadLock_);
    if (thread_) ::SuspendThread(thread_.get());
}

void CWorkerThread::Resume() {
    std::lock_guard<std::mutex> lock(threadLock_);
    if (thread_) ::ResumeThread(thread_.get());
}

void CWorkerThread::WaitAndRelease(DWORD milliseconds) {
    zel::UniqueHandle thread;
    {
        std::lock_guard<std::mutex> lock(threadLock_);
        thread = std::move(thread_);
        threadId_ = 0;
    }
    if (thread) ::WaitForSingleObject(thread.get(), milliseconds);
}

bool CWorkerThread::IsRunning() const {
    std::lock_guard<std::mutex> lock(threadLock_);
    return thread_ && ::WaitForSingleObject(thread_.get(), 0) == WAIT_TIMEOUT;
}

void CWorkerThread::Notify(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_.load();
    if (window == nullptr || !::IsWindow(window)) return;
    if (lParam == kNotifySendAndWait)
        ::SendMessageW(window, message, wParam, lParam);
    else
        ::PostMessageW(window, message, wParam, lParam);
}
