// The wizard window: the page sequence, the owner-drawn button bar on the
// bottom banner, the cancel question, the keyboard navigation among the
// buttons, and the services the pages use instead of touching the buttons.
#pragma once

#include "framework/Handles.h"
#include "framework/PropertySheet.h"
#include "launch/AutolaunchSequence.h"
#include "ui/BannerImage.h"
#include "ui/TavoButton.h"
#include "ui/WizardLogic.h"
#include "ui/WizardPages.h"

#include <memory>
#include <string>
#include <vector>

constexpr int IDC_SHEET_TITLE = 1000;
constexpr int IDC_BACK_BUTTON = 12323;
constexpr int IDC_NEXT_BUTTON = 12324;
constexpr int IDC_FINISH_BUTTON = 12325;

enum class FitForm { EndEllipsis, LeadingEllipsis };

class CTavoSheet : public zel::CPropertySheetBase, public CLaunchSheetHooks {
public:
    explicit CTavoSheet(const std::wstring& displayName);
    ~CTavoSheet() override;

    // Adds the pages of the sequence in its order.
    void AddPages(const std::vector<WizardPage>& sequence);
    CTavoPage* PageOf(WizardPage kind);
    WizardPage CurrentKind() const;

    // Services of the pages.
    void ShowButtons(const std::wstring& names, int show);
    void EnableButtons(const std::wstring& names, int enable);
    void SetButtonCaptions(const std::wstring& mode);
    void SetNavigationButtons(int first, int keep);
    void FocusBackButton();
    void FocusNextButton(int take);
    void FocusCancelButton();
    void FocusFinishButton();
    void SetCloseEnabled(int state);
    // 0 confirmed, 1000 finish page (nothing asked), 1001 installation
    // cancelled, -1 declined.
    int QueryCancel();
    int CancelToFinish();
    void SetFittedText(int controlId, const std::wstring& text, FitForm form);
    void JumpToFinish();
    // 0 when no password is needed or it was accepted, -1 otherwise.
    int AskPasswordIfRequired();
    // Makes the button with this id the default of the page or the sheet.
    void SetDefaultButton(int id);

    int Ready() const { return ready_; }
    const CTavoPage* StartPage() const { return startPage_; }
    // The requirements page was left as the start page with the
    // requirements met: the next page counts as the first.
    int RequirementsPassed = 0;
    // The extraction page decided when the setups start (0: at Finish).
    int LaunchAtFinishFlag = 1;

    // How the run went.
    void NoteExtraction(bool succeeded);
    // A cancel that ended the run without the cancel question.
    void NoteCancel(WizardPage on) {
        outcome_.CancelConfirmed = true;
        outcome_.CancelledOn = on;
    }
    WizardOutcome Outcome() const { return outcome_; }
    bool CancelConfirmed() const { return outcome_.CancelConfirmed; }
    // The cancel question is on the screen.
    bool InCancelQuestion() const { return inCancelQuestion_; }

    // CLaunchSheetHooks
    bool WindowExists() const override;
    void ShowWindow(bool show) override;
    bool InstallationPageExists() const override;
    void DispatchPendingMessages() override;
    void SetInstallationProgress(int value) override;
    void LaunchFinished() override;
    bool LaunchAtFinish() const override { return LaunchAtFinishFlag == 1; }
    void MoveToFinishPage() override;

    // The setup launch with this sheet as its window; returns its result.
    int RunLaunch();

    // Runs the wizard; the sheet is the application's main window meanwhile.
    INT_PTR Run();

protected:
    void OnPreCreate(DLGTEMPLATE* dialogTemplate) override;
    void OnInitialized() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool TakesPress(int button) const override;

private:
    void CreateTitle();
    void CreateButtonBar();
    void OnButtonPressed(int id);
    void OnSysClose(LPARAM lParam);
    void Paint();
    void ClickButton(CTavoButton* button);
    ButtonRole RoleOf(HWND window) const;
    void ApplyFollowUp(CancelFollowUp followUp);

    std::wstring displayName_;
    CLanguagePage languagePage_;
    CWelcomePage welcomePage_;
    CConditionCheck requirementsPage_;
    CLicensePage licensePage_;
    CDirChangePage dirChangePage_;
    CExtractorPage extractorPage_;
    CAutoLaunchSilentPage autoLaunchPage_;
    CFinishPage finishPage_;

    zel::UniqueGdiObject backgroundBrush_;
    HWND title_ = nullptr;
    zel::UniqueGdiObject titleFont_;
    int ready_ = 0;
    int closeEnabled_ = 1;
    CTavoPage* startPage_ = nullptr;
    std::unique_ptr<CTavoButton> cancelButton_;
    std::unique_ptr<CTavoButton> nextButton_;
    std::unique_ptr<CTavoButton> backButton_;
    std::unique_ptr<CTavoButton> finishButton_;
    zel::CBannerImage topBanner_;
    zel::CBannerImage bottomBanner_;
    RECT pageRect_ = {};
    int pageBottom_ = 0;
    int bandHeight_ = 0;
    WizardOutcome outcome_;
    bool passwordAccepted_ = false;
    bool inCancelQuestion_ = false;
    // The platform's own close runs: its WM_CLOSE is not asked about again.
    bool closing_ = false;
};

// The sheet of the running wizard, null outside it.
CTavoSheet* RunningSheet();
