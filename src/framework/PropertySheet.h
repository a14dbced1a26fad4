// The wizard container: a comctl32 property sheet in wizard mode with an
// editable page list, and the page base. The sheet runs modeless under a
// modal loop of its own, so that it can look at every message before the
// platform's dialog pre-filter does.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace zel {

class CPropertySheetBase;

class CPropertyPageBase {
public:
    explicit CPropertyPageBase(UINT templateId);
    virtual ~CPropertyPageBase() = default;
    CPropertyPageBase(const CPropertyPageBase&) = delete;
    CPropertyPageBase& operator=(const CPropertyPageBase&) = delete;

    HWND Handle() const { return hwnd_; }
    UINT TemplateId() const { return templateId_; }
    // The sheet the page was added to, null before.
    CPropertySheetBase* Sheet() const { return sheet_; }
    // The page object of a page window, null for any other window.
    static CPropertyPageBase* FromHandle(HWND hwnd);

    // Both take effect when the page is added.
    void SetTitle(const std::wstring& title) { title_ = title; }
    void SetHideHeader(bool hide) { hideHeader_ = hide; }

    // The hooks, also run by the sheet itself (the start page's set-up runs
    // twice, see CPropertySheetBase::OnInitialized).
    virtual BOOL OnInitDialog() { return TRUE; }
    // FALSE refuses the activation.
    virtual BOOL OnSetActive() { return TRUE; }
    virtual BOOL OnKillActive() { return TRUE; }
    // -1 stays, 0 moves to the neighbour, a template id jumps to that page.
    virtual LRESULT OnWizardNext() { return 0; }
    virtual LRESULT OnWizardBack() { return 0; }
    // TRUE lets the sheet end.
    virtual BOOL OnWizardFinish() { return TRUE; }
    virtual BOOL OnQueryCancel() { return TRUE; }
    // Runs before the sheet's own pre-filter while the page is current;
    // TRUE consumes the message.
    virtual BOOL PreTranslateMessage(MSG*) { return FALSE; }

protected:
    // TRUE when the command was handled.
    virtual BOOL OnCommand(WPARAM, LPARAM) { return FALSE; }
    // Any other message; return TRUE and set result when handled.
    virtual BOOL OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return FALSE; }

private:
    friend class CPropertySheetBase;
    HPROPSHEETPAGE CreateHandle();
    static INT_PTR CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleNotify(const NMHDR& header);

    UINT templateId_;
    std::wstring title_;
    bool hideHeader_ = false;
    HWND hwnd_ = nullptr;
    CPropertySheetBase* sheet_ = nullptr;
};

class CPropertySheetBase {
public:
    explicit CPropertySheetBase(std::wstring caption);
    virtual ~CPropertySheetBase();
    CPropertySheetBase(const CPropertySheetBase&) = delete;
    CPropertySheetBase& operator=(const CPropertySheetBase&) = delete;

    static constexpr INT_PTR kFinished = 12325;

    // Runs the wizard; returns kFinished when it ended with Finish,
    // IDCANCEL when it ended otherwise, -1 when it could not be created.
    INT_PTR DoModal(HWND parent = nullptr);
    HWND Handle() const { return hwnd_; }
    static CPropertySheetBase* FromHandle(HWND hwnd);

    // The page list, before and while the window exists.
    void AddPage(CPropertyPageBase* page);
    // Removing the current page during its Next press takes effect after the
    // press: the wizard goes on with the page that followed it.
    void RemovePage(CPropertyPageBase* page);
    bool SetActivePage(CPropertyPageBase* page);
    int PageCount() const { return static_cast<int>(pages_.size()); }
    int PageIndex(const CPropertyPageBase* page) const;
    CPropertyPageBase* GetPage(int index) const;
    CPropertyPageBase* GetActivePage() const;
    int GetActiveIndex() const;

    // The requests of the platform's Back, Next and Finish buttons.
    void PressBack() { Press(PSBTN_BACK); }
    void PressNext() { Press(PSBTN_NEXT); }
    void PressFinish() { Press(PSBTN_FINISH); }
    // Ends the modal run with result.
    void EndDialog(INT_PTR result);

protected:
    // The wizard with a header band above the pages that do not hide it;
    // the others fill the whole page area. Before DoModal.
    void UseHeaderBand() { headerBand_ = true; }
    // Just before the window is created; may change the sheet's template.
    virtual void OnPreCreate(DLGTEMPLATE*) {}
    // Once the platform's own set-up is done and the start page exists.
    virtual void OnInitialized() {}
    // Every message of the modal loop for the sheet or one of its children;
    // TRUE consumes it.
    virtual BOOL PreTranslateMessage(MSG*) { return FALSE; }
    // Messages to the sheet window; return TRUE and set result when handled.
    virtual BOOL OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return FALSE; }
    // The platform's own handling of a message to the sheet.
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
    // Whether a Back, Next or Finish press still counts when its turn comes.
    virtual bool TakesPress(int /*button*/) const { return true; }

private:
    friend class CPropertyPageBase;
    void Press(int button);
    static int CALLBACK SheetCallback(HWND hwnd, UINT message, LPARAM lParam);
    static LRESULT CALLBACK SheetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool RunsModalLoop() const;
    void FinishPendingRemoval(LRESULT& nextResult, CPropertyPageBase* page);

    std::wstring caption_;
    std::vector<CPropertyPageBase*> pages_;
    HWND hwnd_ = nullptr;
    WNDPROC platformProc_ = nullptr;
    INT_PTR result_ = IDCANCEL;
    bool ended_ = false;
    bool headerBand_ = false;
    // The page whose Next press is being handled, and whether it asked to
    // be removed meanwhile.
    CPropertyPageBase* inNextPress_ = nullptr;
    bool removeAfterNext_ = false;
};

}  // namespace zel
