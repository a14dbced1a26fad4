#include "ui/ProgressSteps.h"

#include "ui/RunHost.h"

#include <commctrl.h>

bool ApplyProgressStep(HWND bar, int& counter, WPARAM action, LPARAM value) {
    switch (action) {
    case 1:
        ++counter;
        ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(counter), 0);
        return false;
    case 2:
        ::SendMessageW(bar, PBM_SETPOS, 2, 0);
        return false;
    case 3:
        ::SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, ProgressRangeUpper(counter, static_cast<int>(value))));
        ::SendMessageW(bar, PBM_SETSTEP, 1, 0);
        return true;
    default:
        return false;
    }
}

void LetWorkerFinish() {
    RunHost().ExtractionWorker().Resume();
    const DWORD start = ::GetTickCount();
    while (RunHost().ExtractionWorker().IsRunning() && ::GetTickCount() - start < CWorkerThread::kStopWaitMs) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
