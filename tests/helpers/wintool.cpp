// A small Windows program the end-to-end tests use to drive the stub from
// inside the same Wine session:
//   wintool hold-mutex NAME SECONDS    create the named mutex, print "held", keep it
//   wintool close-box TITLE SECONDS    wait for a message box with that caption,
//                                      print its text and press its first button
//   wintool hold-file PATH SECONDS     open the file with no sharing, print "held", keep it
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
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && std::wcscmp(argv[1], L"hold-mutex") == 0) return HoldMutex(argv[2], _wtoi(argv[3]));
    if (argc == 4 && std::wcscmp(argv[1], L"close-box") == 0) return CloseBox(argv[2], _wtoi(argv[3]));
    if (argc == 4 && std::wcscmp(argv[1], L"hold-file") == 0) return HoldFile(argv[2], _wtoi(argv[3]));
    std::fprintf(stderr, "usage: wintool hold-mutex NAME SECONDS | close-box TITLE SECONDS | hold-file PATH SECONDS\n");
    return 2;
}
