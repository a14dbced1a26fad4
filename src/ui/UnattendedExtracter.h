// The progress dialog of unattended and silent runs: it owns the extraction
// on the worker thread, shows its progress (never in silent runs), writes the
// lines the worker relays and starts the setups when the extraction ended.
#pragma once

#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "ui/ProgressSteps.h"

constexpr UINT IDD_UNATTENDED = 921;
constexpr UINT IDD_UNATTENDED_HIDDEN = 922;
constexpr int IDC_UNATTENDED_PROGRESS = 1045;
constexpr int IDC_UNATTENDED_STATUS = 1046;

class CUnattendedExtracter : public zel::CDialogBase {
public:
    explicit CUnattendedExtracter(int visible);
    ~CUnattendedExtracter() override;

    int ProgressCounter() const { return counter_.Value(); }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnProgress(WPARAM action, LPARAM value);
    void OnExtractionEnded();
    void OnExtractionFailed();
    void OnClose();
    // The confirmed cancel: the worker stops at its next safe point, the run
    // ends with exit code 6 after the clean-up.
    void CancelRun();

    int visible_;
    CProgressCounter counter_;
    // While the cancel question is open, the end of the extraction waits for
    // the answer (a No handles it afterwards, a Yes cancels anyway).
    bool asking_ = false;
    UINT deferredEnd_ = 0;
    zel::UniqueGdiObject bodyFont_;
    zel::UniqueHook keyFilter_;
};
