// The progress dialog of unattended and silent runs: it owns the extraction
// on the worker thread, shows its progress (never in silent runs), writes the
// lines the worker relays and starts the setups when the extraction ended.
#pragma once

#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "ui/ProgressSteps.h"

constexpr UINT IDD_UNATTENDED = 921;
constexpr int IDC_UNATTENDED_PROGRESS = 1045;
constexpr int IDC_UNATTENDED_STATUS = 1046;

class CUnattendedExtracter : public zel::CDialogBase {
public:
    explicit CUnattendedExtracter(int visible);
    ~CUnattendedExtracter() override;

    int ProgressCounter() const { return counter_; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnProgress(WPARAM action, LPARAM value);
    void OnExtractionEnded();
    void OnClose();

    int visible_;
    int counter_ = 0;
    zel::UniqueGdiObject bodyFont_;
    zel::UniqueHook keyFilter_;
};
