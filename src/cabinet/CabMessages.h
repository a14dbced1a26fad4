// Window messages the cabinet engine sends to the window that shows the
// extraction. The engine waits for each one, so what it hands over (a log
// record) stays valid while the window uses it.
#pragma once

#include <windows.h>

// wParam 1, lParam 0: one more file is complete.
constexpr UINT kCabMsgProgress = WM_USER + 42;
// wParam: the WorkerLogRecord to write; lParam 0.
constexpr UINT kCabMsgLogLine = WM_USER + 43;
// wParam 0, lParam 0: ask the overwrite question; the answer is in
// OverwriteAnswer when the message returns.
constexpr UINT kCabMsgOverwrite = WM_USER + 100;

// Sends to the window and waits; nothing happens without a window.
inline LRESULT NotifyCabWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == nullptr) return 0;
    return ::SendMessageW(window, message, wParam, lParam);
}
