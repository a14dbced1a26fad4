// The window messages between the worker thread and the windows, and the
// log record the worker hands over with WM_ZEL_LOG_LINE. Every sender and
// every window uses these names; the numbers are fixed.
#pragma once

#include <windows.h>

#include <string>

// wParam 1: advance the progress by one step; wParam 2 / 3: progress actions
// of the quiet dialog (lParam 100, or the file count as the range).
constexpr UINT WM_ZEL_PROGRESS = WM_USER + 42;  // 1066
// wParam points at a LogRecord; the window writes it and returns 1.
// Sent (the sender waits) by the payload reader and the cabinet engine.
constexpr UINT WM_ZEL_LOG_LINE = WM_USER + 43;  // 1067
// Sent by the cabinet engine; the window stores the answer before returning.
constexpr UINT WM_ZEL_OVERWRITE_QUESTION = WM_USER + 100;  // 1124
constexpr UINT WM_ZEL_EXTRACTION_ENDED = WM_USER + 200;    // 1224
// The finish status holds the code.
constexpr UINT WM_ZEL_EXTRACTION_FAILED = WM_USER + 300;  // 1324
// wParam: the button id; sent by an owner-drawn button to its parent.
constexpr UINT WM_ZEL_BUTTON_CLICKED = WM_USER + 123;  // 1147
// Posted by the setup launch thread to the launch window.
constexpr UINT WM_ZEL_LAUNCH_ENDED = WM_USER + 500;  // 1524

// One log line on its way from the worker to the window. A sender that
// passes a non-empty Argument puts one "%s" in Text where it belongs.
struct LogRecord {
    int Level = 8;
    std::wstring Source;
    std::wstring Text;
    std::wstring Argument;
};

// The payload reader and the cabinet engine send and wait, so the records
// they hand over stay valid; without a window nothing is sent.
inline LRESULT SendToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return window != nullptr ? ::SendMessageW(window, message, wParam, lParam) : 0;
}
