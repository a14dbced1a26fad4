#include "ui/ProgressSteps.h"

#include "ui/RunHost.h"

#include <commctrl.h>

bool ApplyProgressStep(HWND bar, CProgressCounter& counter, WPARAM action, LPARAM value) {
    const CProgressCounter::BarUpdate update = counter.Apply(action, value);
    if (update.SetPosition) ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(update.Position), 0);
    if (update.SetRange) {
        ::SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, update.RangeUpper));
        ::SendMessageW(bar, PBM_SETSTEP, 1, 0);
    }
    return update.SetRange;
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
