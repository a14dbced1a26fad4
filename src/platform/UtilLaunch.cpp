#include "platform/UtilLaunch.h"

#include "framework/Handles.h"
#include "platform/Launch.h"
#include "platform/SystemLibrary.h"
#include "platform/UtilPaths.h"
#include "platform/UtilSystem.h"

#include <windows.h>
#include <shellapi.h>

namespace {

constexpr wchar_t kPipeErrorText[] = L"Error on CreatePipe(). Launch File failed";

std::wstring ExpandParameters(const std::wstring& parameters,
                              const std::function<void(const std::wstring&)>& unsupported) {
    return ExpandLaunchParameters(
        parameters, [](const std::wstring& token) { return CUtilPaths::ExpandPathVariable(token); },
        unsupported ? unsupported : [](const std::wstring&) {});
}

LaunchContext CurrentLaunchContext(const std::wstring& checkAdmin) {
    CUtilSystem system;
    LaunchContext context;
    context.MajorVersion = system.GetOSMajorVersion();
    context.IsAdmin = system.IsUserAdmin() == 1;
    context.CheckAdmin = checkAdmin;
    return context;
}

}  // namespace

namespace {
// Waits for the setup while answering messages other threads and processes
// send to this thread's windows (a setup that sends a message to every
// window would otherwise wait for us while we wait for it). Posted messages
// stay queued.
void WaitAnsweringSentMessages(HANDLE process, DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        DWORD left = INFINITE;
        if (milliseconds != INFINITE) {
            DWORD spent = ::GetTickCount() - start;
            if (spent >= milliseconds) return;
            left = milliseconds - spent;
        }
        if (::MsgWaitForMultipleObjects(1, &process, FALSE, left, QS_SENDMESSAGE) != WAIT_OBJECT_0 + 1) return;
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
}  // namespace

int CUtilLaunch::ShellStart(const std::wstring& program, const std::wstring& parameters, const std::wstring& verb,
                            int wait, unsigned long* startError) {
    if (startError != nullptr) *startError = 0;
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    // No error box of the shell: a quiet run has nobody to close it, and the
    // caller reports the failure itself.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_DDEWAIT | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = verb.empty() ? nullptr : verb.c_str();
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOW;
    const auto execute = zel::ShellDll().shellExecuteEx;
    // The shell may hand a document to a handler that needs COM.
    zel::ComScope com;
    if (execute == nullptr || !execute(&info)) {
        DWORD error = execute == nullptr ? ERROR_MOD_NOT_FOUND : ::GetLastError();
        if (startError != nullptr) *startError = error != 0 ? error : ERROR_GEN_FAILURE;
        return -1;
    }
    zel::UniqueHandle process(info.hProcess);
    // The shell may hand the file to a program that is already running; then
    // there is no process of ours to wait for or ask.
    if (!process) return 0;
    if (wait != 0) WaitAnsweringSentMessages(process.get(), wait == 1 ? INFINITE : static_cast<DWORD>(wait));
    DWORD code = 0;
    if (!::GetExitCodeProcess(process.get(), &code)) return -1;
    return static_cast<int>(code);
}

int CUtilLaunch::LaunchApplication(const std::wstring& file, const std::wstring& parameters, std::wstring& errorText,
                                   int wait, const std::function<void(const std::wstring&)>& unsupportedVariable) {
    lastStartError_ = 0;
    LaunchPlan plan =
        PlanLaunch(file, ExpandParameters(parameters, unsupportedVariable), CurrentLaunchContext(checkAdmin_));
    if (!plan.UsePipe) return ShellStart(plan.Program, plan.Parameters, plan.Verb, wait, &lastStartError_);

    // The pipe is never handed to the started program: an inherited writing
    // end held by a setup (or anything it leaves running) would keep the read
    // below from ever failing.
    SECURITY_ATTRIBUTES security = {sizeof(security), nullptr, FALSE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &security, 0)) {
        errorText = kPipeErrorText;
        return 0;
    }
    zel::UniqueHandle reader(readEnd);
    zel::UniqueHandle writer(writeEnd);

    int result = ShellStart(plan.Program, plan.Parameters, plan.Verb, wait, &lastStartError_);
    if (wait != 0 && result != 0) {
        writer.reset();
        char buffer[256];
        DWORD got = 0;
        while (::ReadFile(reader.get(), buffer, sizeof(buffer), &got, nullptr)) ::Sleep(200);
    }
    ::Sleep(200);
    return result;
}
