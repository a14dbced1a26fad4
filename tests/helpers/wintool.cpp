// A small Windows program the end-to-end tests use to drive the stub from
// inside the same Wine session:
//   wintool hold-mutex NAME SECONDS    create the named mutex, print "held", keep it
//   wintool close-box TITLE SECONDS    wait for a message box with that caption,
//                                      print its text and press its first button
//   wintool load-library PATH          load a library by its full path
//   wintool press-button TITLE BUTTON SECONDS
//                                      wait for a dialog with that caption that has
//                                      a button BUTTON (without "&"), print its text
//                                      and press that button
//   wintool close-window TITLE SECONDS [WHENFILE]
//                                      wait for a visible window with that caption
//                                      (and for WHENFILE to exist) and post it
//                                      WM_CLOSE, as its close box does
//   wintool watch-windows STOPFILE SECONDS
//                                      print "watching", then every visible top-level
//                                      window of another process once ("class|caption")
//                                      until STOPFILE exists
//   wintool hold-file PATH SECONDS     open the file with no sharing, print "held", keep it
//   wintool view-file PATH SECONDS     open the file for reading with read sharing only, as
//                                      log viewers do; print "held" or "refused", keep it
//   wintool close-hidden TITLE SECONDS WHENFILE
//                                      wait for a window with that caption, visible or not,
//                                      and for WHENFILE to exist, and post it WM_CLOSE
//                                      (a deployment tool's graceful stop of a silent run)
//   wintool read-progress TITLE SECONDS
//                                      wait for a window with that caption, visible or not,
//                                      and print its progress bar (id 1045) as "POS RANGE"
//                                      each time it changes, until the window is gone
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {
int HoldMutex(const wchar_t* name, int seconds) {
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, name);
    if (mutex == nullptr) return 2;
    std::printf("held\n");
    std::fflush(stdout);
    ::Sleep(static_cast<DWORD>(seconds) * 1000);
    ::CloseHandle(mutex);
    return 0;
}

int ViewFile(const wchar_t* path, int seconds) {
    HANDLE file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    std::printf(file == INVALID_HANDLE_VALUE ? "refused\n" : "held\n");
    std::fflush(stdout);
    ::Sleep(static_cast<DWORD>(seconds) * 1000);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    return 0;
}

int CloseHidden(const wchar_t* title, int seconds, const wchar_t* whenFile) {
    for (int waited = 0; waited < seconds * 50; ++waited) {
        HWND window = ::FindWindowW(L"#32770", title);
        if (window != nullptr && ::GetFileAttributesW(whenFile) != INVALID_FILE_ATTRIBUTES) {
            ::PostMessageW(window, WM_CLOSE, 0, 0);
            std::printf("closed\n");
            std::fflush(stdout);
            return 0;
        }
        ::Sleep(20);
    }
    return 1;
}

struct ProgressReading {
    HWND window;
    HWND bar;
    CRITICAL_SECTION lock{};
    LRESULT lastPos = -1;
    LRESULT lastRange = -1;
};

// Several readers ask without a pause, so a question is nearly always
// waiting and the window answers one between any two of its own messages
// (sent messages come before posted ones), also between its last progress
// message and its end.
DWORD WINAPI ReadProgressLoop(void* param) {
    auto* r = static_cast<ProgressReading*>(param);
    while (::IsWindow(r->bar)) {
        LRESULT range = ::SendMessageW(r->bar, 0x0407 /* PBM_GETRANGE */, FALSE, 0);
        LRESULT pos = ::SendMessageW(r->bar, 0x0408 /* PBM_GETPOS */, 0, 0);
        // A bar that went away between the questions answers 0; a range that
        // changed between them is read again.
        if (!::IsWindow(r->bar)) break;
        if (range == 0 || ::SendMessageW(r->bar, 0x0407, FALSE, 0) != range) continue;
        ::EnterCriticalSection(&r->lock);
        if (pos != r->lastPos || range != r->lastRange) {
            std::printf("%ld %ld\n", static_cast<long>(pos), static_cast<long>(range));
            std::fflush(stdout);
            r->lastPos = pos;
            r->lastRange = range;
        }
        ::LeaveCriticalSection(&r->lock);
    }
    return 0;
}

int ReadProgress(const wchar_t* title, int seconds) {
    HWND window = nullptr;
    for (int waited = 0; waited < seconds * 50 && window == nullptr; ++waited) {
        window = ::FindWindowW(L"#32770", title);
        if (window == nullptr) ::Sleep(20);
    }
    if (window == nullptr) return 1;
    ProgressReading reading{window, ::GetDlgItem(window, 1045)};
    ::InitializeCriticalSection(&reading.lock);
    HANDLE threads[3];
    for (HANDLE& t : threads) t = ::CreateThread(nullptr, 0, ReadProgressLoop, &reading, 0, nullptr);
    ::WaitForMultipleObjects(3, threads, TRUE, INFINITE);
    for (HANDLE t : threads) ::CloseHandle(t);
    return 0;
}

int HoldFile(const wchar_t* path, int seconds) {
    HANDLE file = ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    std::printf("held\n");
    std::fflush(stdout);
    ::Sleep(static_cast<DWORD>(seconds) * 1000);
    ::CloseHandle(file);
    return 0;
}

BOOL CALLBACK CollectText(HWND child, LPARAM param) {
    wchar_t className[64] = {};
    ::GetClassNameW(child, className, 64);
    if (::_wcsicmp(className, L"Static") == 0) {
        wchar_t text[1024] = {};
        ::GetWindowTextW(child, text, 1024);
        if (text[0] != L'\0') {
            auto* out = reinterpret_cast<std::wstring*>(param);
            if (!out->empty()) *out += L"\n";
            *out += text;
        }
    }
    return TRUE;
}

int CloseBox(const wchar_t* title, int seconds) {
    for (int waited = 0; waited < seconds * 10; ++waited) {
        HWND box = ::FindWindowW(L"#32770", title);
        if (box != nullptr) {
            std::wstring text;
            ::EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&text));
            std::printf("%ls\n", text.c_str());
            std::fflush(stdout);
            HWND button = ::FindWindowExW(box, nullptr, L"Button", nullptr);
            ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button ? ::GetDlgCtrlID(button) : IDOK, BN_CLICKED),
                           reinterpret_cast<LPARAM>(button));
            return 0;
        }
        ::Sleep(100);
    }
    return 1;
}
std::wstring WithoutAmpersands(const wchar_t* text) {
    std::wstring plain;
    for (; *text != L'\0'; ++text)
        if (*text != L'&') plain += *text;
    return plain;
}

struct ButtonSearch {
    const wchar_t* title;
    const wchar_t* button;
    HWND box = nullptr;
    HWND found = nullptr;
};

BOOL CALLBACK FindButton(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<ButtonSearch*>(param);
    wchar_t className[64] = {};
    wchar_t text[256] = {};
    ::GetClassNameW(child, className, 64);
    ::GetWindowTextW(child, text, 256);
    if (::_wcsicmp(className, L"Button") == 0 && WithoutAmpersands(text) == search->button) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindBoxWithButton(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<ButtonSearch*>(param);
    wchar_t className[64] = {};
    wchar_t caption[512] = {};
    ::GetClassNameW(window, className, 64);
    ::GetWindowTextW(window, caption, 512);
    if (std::wcscmp(className, L"#32770") != 0 || std::wcscmp(caption, search->title) != 0) return TRUE;
    ::EnumChildWindows(window, FindButton, param);
    if (search->found == nullptr) return TRUE;
    search->box = window;
    return FALSE;
}

// Two windows may share a caption (a dialog and the box it asks); the button
// tells them apart.
int PressButton(const wchar_t* title, const wchar_t* button, int seconds) {
    for (int waited = 0; waited < seconds * 10; ++waited) {
        ButtonSearch search{title, button};
        ::EnumWindows(FindBoxWithButton, reinterpret_cast<LPARAM>(&search));
        if (search.box != nullptr) {
            std::wstring text;
            ::EnumChildWindows(search.box, CollectText, reinterpret_cast<LPARAM>(&text));
            std::printf("%ls\n", text.c_str());
            std::fflush(stdout);
            ::PostMessageW(search.box, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(search.found), BN_CLICKED),
                           reinterpret_cast<LPARAM>(search.found));
            return 0;
        }
        ::Sleep(100);
    }
    return 1;
}

int SendClose(const wchar_t* title, int seconds, const wchar_t* whenFile) {
    for (int waited = 0; waited < seconds * 50; ++waited) {
        HWND window = ::FindWindowW(nullptr, title);
        bool due = whenFile == nullptr || ::GetFileAttributesW(whenFile) != INVALID_FILE_ATTRIBUTES;
        if (window != nullptr && ::IsWindowVisible(window) && due) {
            ::PostMessageW(window, WM_CLOSE, 0, 0);
            std::printf("closed\n");
            std::fflush(stdout);
            return 0;
        }
        ::Sleep(20);
    }
    return 1;
}

struct Seen {
    std::wstring lines;
    DWORD self = ::GetCurrentProcessId();
};

BOOL CALLBACK ReportVisible(HWND window, LPARAM param) {
    auto* seen = reinterpret_cast<Seen*>(param);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process == seen->self || !::IsWindowVisible(window)) return TRUE;
    wchar_t className[64] = {};
    wchar_t caption[512] = {};
    ::GetClassNameW(window, className, 64);
    ::GetWindowTextW(window, caption, 512);
    std::wstring line = std::wstring(className) + L"|" + caption + L"\n";
    if (seen->lines.find(line) == std::wstring::npos) {
        seen->lines += line;
        std::printf("%ls", line.c_str());
        std::fflush(stdout);
    }
    return TRUE;
}

int WatchWindows(const wchar_t* stopFile, int seconds) {
    Seen seen;
    std::printf("watching\n");
    std::fflush(stdout);
    for (int waited = 0; waited < seconds * 100; ++waited) {
        ::EnumWindows(ReportVisible, reinterpret_cast<LPARAM>(&seen));
        if (::GetFileAttributesW(stopFile) != INVALID_FILE_ATTRIBUTES) return 0;
        ::Sleep(10);
    }
    return 1;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && std::wcscmp(argv[1], L"hold-mutex") == 0) return HoldMutex(argv[2], _wtoi(argv[3]));
    if (argc == 4 && std::wcscmp(argv[1], L"close-box") == 0) return CloseBox(argv[2], _wtoi(argv[3]));
    if (argc == 3 && std::wcscmp(argv[1], L"load-library") == 0) return ::LoadLibraryW(argv[2]) != nullptr ? 0 : 1;
    if (argc == 5 && std::wcscmp(argv[1], L"press-button") == 0) return PressButton(argv[2], argv[3], _wtoi(argv[4]));
    if ((argc == 4 || argc == 5) && std::wcscmp(argv[1], L"close-window") == 0)
        return SendClose(argv[2], _wtoi(argv[3]), argc == 5 ? argv[4] : nullptr);
    if (argc == 4 && std::wcscmp(argv[1], L"watch-windows") == 0) return WatchWindows(argv[2], _wtoi(argv[3]));
    if (argc == 4 && std::wcscmp(argv[1], L"hold-file") == 0) return HoldFile(argv[2], _wtoi(argv[3]));
    if (argc == 4 && std::wcscmp(argv[1], L"view-file") == 0) return ViewFile(argv[2], _wtoi(argv[3]));
    if (argc == 5 && std::wcscmp(argv[1], L"close-hidden") == 0) return CloseHidden(argv[2], _wtoi(argv[3]), argv[4]);
    if (argc == 4 && std::wcscmp(argv[1], L"read-progress") == 0) return ReadProgress(argv[2], _wtoi(argv[3]));
    std::fprintf(stderr,
                 "usage: wintool hold-mutex NAME SECONDS | close-box TITLE SECONDS | press-button TITLE BUTTON SECONDS\n"
                 "       | close-window TITLE SECONDS [WHENFILE] | watch-windows STOPFILE SECONDS | load-library PATH\n"
                 "       | hold-file PATH SECONDS\n");
    return 2;
}
