// The application base: wWinMain runs InitInstance and then ExitInstance of
// the one application object, and message boxes go through DoMessageBox.
#pragma once

#include <windows.h>

#include <string>

namespace zel {

class CWinAppBase {
public:
    CWinAppBase();
    virtual ~CWinAppBase();
    CWinAppBase(const CWinAppBase&) = delete;
    CWinAppBase& operator=(const CWinAppBase&) = delete;

    // Returns FALSE when the run is over; no message loop follows then.
    virtual BOOL InitInstance() { return FALSE; }
    // Returns the process exit code.
    virtual int ExitInstance() { return exitCode_; }
    // Every message box of the application goes through here.
    virtual int DoMessageBox(const std::wstring& text, UINT type, UINT helpId);
    // An exception was caught at a boundary (where: "start-up", "window
    // procedure"); what: its description. The application logs it.
    virtual void OnUnhandledException(const wchar_t* /*where*/, const std::wstring& /*what*/) {}
    // After an exception escaped InitInstance: the clean-up still runs and
    // this is the exit code.
    virtual int ExitAfterException() { return -1; }

    // The body of wWinMain.
    int Run(HINSTANCE instance);

    HINSTANCE Instance() const { return instance_; }
    // The application title: the caption of every message box.
    const std::wstring& Title() const { return title_; }
    void SetTitle(const std::wstring& title) { title_ = title; }
    HWND MainWindow() const { return mainWindow_; }
    void SetMainWindow(HWND window) { mainWindow_ = window; }

protected:
    int exitCode_ = 0;

private:
    HINSTANCE instance_ = nullptr;
    std::wstring title_;
    HWND mainWindow_ = nullptr;
};

// The one application object (null before it is constructed).
CWinAppBase* GetApp();

// Tells the application about an exception a catch-all of the framework
// stopped; the current exception is described when there is one.
void ReportCurrentException(const wchar_t* where);

// Shows a message box through the application's DoMessageBox.
int AppMessageBox(const std::wstring& text, UINT type = MB_OK, UINT helpId = 0);

}  // namespace zel
