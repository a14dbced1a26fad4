#include "framework/WinApp.h"

#include <exception>

namespace zel {
namespace {
CWinAppBase* g_app = nullptr;

std::wstring ModuleBaseName() {
    wchar_t path[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path, n < MAX_PATH ? n : 0);
    size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.erase(dot);
    return name;
}
}  // namespace

CWinAppBase::CWinAppBase() { g_app = this; }

CWinAppBase::~CWinAppBase() {
    if (g_app == this) g_app = nullptr;
}

int CWinAppBase::DoMessageBox(const std::wstring& text, UINT type, UINT /*helpId*/) {
    HWND owner = mainWindow_ ? mainWindow_ : ::GetActiveWindow();
    return ::MessageBoxW(owner, text.c_str(), title_.c_str(), type);
}

int CWinAppBase::Run(HINSTANCE instance) {
    instance_ = instance;
    if (title_.empty()) title_ = ModuleBaseName();
    try {
        // InitInstance always ends the run here (every window is modal), so
        // no message loop follows it.
        InitInstance();
        return ExitInstance();
    } catch (...) {
        ReportCurrentException(L"start-up");
    }
    try {
        return ExitAfterException();
    } catch (...) {
        return -1;
    }
}

void ReportCurrentException(const wchar_t* where) {
    std::wstring what = L"unknown exception";
    try {
        if (std::exception_ptr current = std::current_exception()) std::rethrow_exception(current);
    } catch (const std::exception& e) {
        const std::string text = e.what();
        what.assign(text.begin(), text.end());
    } catch (...) {
    }
    if (g_app == nullptr) return;
    try {
        g_app->OnUnhandledException(where, what);
    } catch (...) {
    }
}

CWinAppBase* GetApp() { return g_app; }

int AppMessageBox(const std::wstring& text, UINT type, UINT helpId) {
    if (g_app != nullptr) return g_app->DoMessageBox(text, type, helpId);
    return ::MessageBoxW(nullptr, text.c_str(), L"", type);
}

}  // namespace zel
