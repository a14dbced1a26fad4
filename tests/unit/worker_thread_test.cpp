#include "core/Messages.h"
#include "framework/WorkerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

std::atomic<int> g_received{0};
std::atomic<int> g_handled{0};

constexpr WPARAM kSlow = 2;

// Counts WM_ZEL_PROGRESS; with wParam kSlow it takes its time, so that a
// sender that waits shows.
LRESULT CALLBACK SlowWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ZEL_PROGRESS) {
        ++g_received;
        if (wParam == kSlow) ::Sleep(300);
        ++g_handled;
        return 0;
    }
    if (message == WM_DESTROY) ::PostQuitMessage(0);
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

const wchar_t* WindowClass() {
    static ATOM atom = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = SlowWindowProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ZelWorkerTestWindow";
        return ::RegisterClassW(&wc);
    }();
    (void)atom;
    return L"ZelWorkerTestWindow";
}

// A hidden message-only window served by its own thread, as the progress
// window is served by the main thread while the worker runs.
class WindowThread {
public:
    WindowThread() {
        HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this, ready] {
            hwnd_ = ::CreateWindowExW(0, WindowClass(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      ::GetModuleHandleW(nullptr), nullptr);
            ::SetEvent(ready);
            MSG msg;
            while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
        });
        ::WaitForSingleObject(ready, 5000);
        ::CloseHandle(ready);
        g_received = 0;
        g_handled = 0;
    }
    ~WindowThread() {
        ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
        thread_.join();
    }
    HWND get() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
    std::thread thread_;
};

unsigned __stdcall IgnoresStop(void*) {
    ::Sleep(2500);
    return 0;
}

unsigned __stdcall NotifiesUntilStopped(void* param) {
    auto* worker = static_cast<CWorkerThread*>(param);
    while (::WaitForSingleObject(worker->StopEvent(), 5) == WAIT_TIMEOUT) worker->Notify(WM_ZEL_PROGRESS, 1, 0);
    return 0;
}

unsigned __stdcall WaitsForStop(void* param) {
    ::WaitForSingleObject(static_cast<CWorkerThread*>(param)->StopEvent(), 5000);
    return 0;
}

std::atomic<int> g_selfStopped{0};

unsigned __stdcall StopsItself(void* param) {
    static_cast<CWorkerThread*>(param)->StopAndForget();
    g_selfStopped = 1;
    return 0;
}

// The launch thread at its end: stops its own wrapper, which the window's
// thread may be stopping at the same moment.
unsigned __stdcall StopsItselfWhenStopped(void* param) {
    auto* worker = static_cast<CWorkerThread*>(param);
    ::WaitForSingleObject(worker->StopEvent(), 5000);
    worker->Stop();
    return 0;
}

DWORD ElapsedSince(DWORD start) { return ::GetTickCount() - start; }

TEST(WorkerThread, StopOnANeverStartedWrapperOnlyResetsTheEvent) {
    CWorkerThread worker;
    ::SetEvent(worker.StopEvent());
    EXPECT_FALSE(worker.Stop());
    EXPECT_EQ(::WaitForSingleObject(worker.StopEvent(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    worker.Pause();
    worker.Resume();
    EXPECT_FALSE(worker.IsRunning());
}

TEST(WorkerThread, AWorkerIgnoringTheStopEventIsAbandonedAfterTheLimit) {
    CWorkerThread worker;
    worker.Start(nullptr, IgnoresStop);
    ASSERT_TRUE(worker.IsRunning());
    DWORD start = ::GetTickCount();
    EXPECT_TRUE(worker.Stop());
    DWORD elapsed = ElapsedSince(start);
    EXPECT_GE(elapsed, 900u);
    EXPECT_LT(elapsed, 2000u);
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(::WaitForSingleObject(worker.StopEvent(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(WorkerThread, NoNotifyReachesTheWindowAfterStopAndForget) {
    WindowThread window;
    CWorkerThread worker;
    worker.Start(window.get(), NotifiesUntilStopped);
    // Wait until the worker's posts arrive, so the test is not vacuous.
    for (int i = 0; i < 200 && g_received == 0; ++i) ::Sleep(5);
    ASSERT_GT(g_received.load(), 0);
    EXPECT_FALSE(worker.StopAndForget());
    // Let the queue drain, then nothing more may come.
    ::Sleep(300);
    int before = g_received;
    worker.Notify(WM_ZEL_PROGRESS, 1, 0);
    worker.Notify(WM_ZEL_PROGRESS, 1, kNotifySendAndWait);
    ::Sleep(400);
    EXPECT_EQ(g_received.load(), before);
}

TEST(WorkerThread, SentNotificationsWaitAndPostedOnesDoNot) {
    WindowThread window;
    CWorkerThread worker;
    worker.Start(window.get(), WaitsForStop);

    DWORD start = ::GetTickCount();
    worker.Notify(WM_ZEL_PROGRESS, kSlow, kNotifySendAndWait);
    EXPECT_EQ(g_handled.load(), 1) << "returned before the window handled it";
    EXPECT_GE(ElapsedSince(start), 250u);

    start = ::GetTickCount();
    worker.Notify(WM_ZEL_PROGRESS, kSlow, 0);
    EXPECT_LT(ElapsedSince(start), 200u);
    EXPECT_EQ(g_handled.load(), 1) << "a posted notification waited";
    for (int i = 0; i < 200 && g_handled < 2; ++i) ::Sleep(5);
    EXPECT_EQ(g_handled.load(), 2);
    worker.StopAndForget();
}

TEST(WorkerThread, AWorkerStoppingItsOwnWrapperDoesNotWaitForItself) {
    CWorkerThread worker;
    g_selfStopped = 0;
    DWORD start = ::GetTickCount();
    worker.Start(nullptr, StopsItself);
    // The flag is set just before the thread returns: wait for both.
    for (int i = 0; i < 400 && (g_selfStopped == 0 || worker.IsRunning()); ++i) ::Sleep(5);
    EXPECT_EQ(g_selfStopped.load(), 1);
    EXPECT_LT(ElapsedSince(start), 800u);
    EXPECT_FALSE(worker.IsRunning());
}

TEST(WorkerThread, StoppedFromBothThreadsItLetsGoOfItsThreadOnce) {
    CWorkerThread worker;
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(worker.Start(nullptr, StopsItselfWhenStopped));
        worker.Stop();
        // A handle made now may take the number of the thread's closed one; a
        // second close of that number would take it away.
        HANDLE fresh = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ::Sleep(20);
        DWORD flags = 0;
        EXPECT_TRUE(::GetHandleInformation(fresh, &flags));
        ::CloseHandle(fresh);
        EXPECT_FALSE(worker.Stop());
        EXPECT_FALSE(worker.IsRunning());
    }
}

}  // namespace
