// The wizard's decisions as functions of explicit inputs: which pages the
// run shows, what a cancel does on each page and for each caller, how the
// sheet filters keys, and how the run ends.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

enum class WizardPage { None, Language, Welcome, Requirements, License, DirChange, Extractor, AutoLaunch, Finish };

// The settings that decide the page sequence, as read ("" when absent).
struct PageSequenceSettings {
    std::wstring WelcomeDialog;
    std::wstring LanguageDialog;
    std::wstring LicenseDialog;
    std::wstring AutoLaunchInstallationDialog;
    // The NoConditioncheck switch was not given.
    bool ConditionCheck = true;
    bool AllowChangeTarget = false;
    // The extraction path chosen at start-up passed its path and space check.
    bool DefaultPathUsable = true;
};

// The pages in their order; the first is the start page. requirementsMet is
// asked only when the condition check is on. Never empty: the extraction
// and finish pages are always there.
std::vector<WizardPage> BuildPageSequence(const PageSequenceSettings& settings,
                                          const std::function<bool()>& requirementsMet);

// What a cancel does on a page.
struct CancelPlan {
    // The progress pages hold their worker while the question is open.
    bool PauseWorker = false;
    // False on the finish page: nothing is asked, the result is 1000.
    bool Ask = true;
    // After a Yes:
    int Result = 0;  // 1001 on the installation page
    int FinishStatus = 11;
    bool SetCancelRequested = false;
    bool StopWorker = false;
    bool RunLaunchFinished = false;
    // Level 8, no source; empty when nothing is logged.
    std::wstring LogLine;
};
CancelPlan PlanCancel(WizardPage current);

constexpr int kCancelConfirmed = 0;
constexpr int kCancelOnFinishPage = 1000;
constexpr int kCancelInstallation = 1001;
constexpr int kCancelDeclined = -1;

enum class CancelCaller { CancelButton, Escape, Close, Command };
enum class CancelFollowUp { None, JumpToFinish, ClickFinish, CloseWindow };
CancelFollowUp FollowUpForCancel(CancelCaller caller, int result, bool finishPageCurrent);

// The sheet's buttons and what else may hold the keyboard focus.
enum class ButtonRole { None, Back, Next, Cancel, Finish, OtherTavo };
ButtonRole RoleOfButtonId(int id);

struct KeyContext {
    UINT Message = WM_KEYDOWN;
    WPARAM Key = 0;
    bool Shift = false;
    // The focus window: HasFocus false when no window has it.
    bool HasFocus = false;
    ButtonRole Focus = ButtonRole::None;  // None: not an owner-drawn button
    int FocusId = 0;
    // The tab stop a Tab would reach (the previous one with Shift).
    ButtonRole TabTarget = ButtonRole::None;
    WizardPage Current = WizardPage::None;
    bool NextEnabled = true;
};

enum class FocusMove { None, Back, NextTake, NextKeep, Cancel, Finish, Browse };
enum class ClickTarget { None, Next, Finish, Cancel, Focused };

struct KeyDecision {
    FocusMove Focus = FocusMove::None;
    ClickTarget Click = ClickTarget::None;
    // Escape: ask the cancel question (caller Escape).
    bool AskCancel = false;
    // The key goes no further, not even to the platform's dialog filter.
    bool Consumed = false;
};
KeyDecision FilterKey(const KeyContext& context);

// The named buttons of a list such as "NEXT,CANCEL" (case ignored, unknown
// names ignored).
struct ButtonSet {
    bool Back = false;
    bool Next = false;
    bool Finish = false;
    bool Cancel = false;
};
ButtonSet ParseButtonNames(const std::wstring& list);

// How a wizard run went, for the process exit code.
struct WizardOutcome {
    bool SheetShown = false;
    bool CancelConfirmed = false;
    WizardPage CancelledOn = WizardPage::None;
    bool Extracted = false;
    bool ExtractionFailed = false;
};
// exitCodeSoFar is what the setups left (0, or the setup failure code).
int WizardExitCode(const WizardOutcome& outcome, int exitCodeSoFar);

// The finish page's result text for a finish status, and whether it reports
// a cancellation or an error.
enum class FinishTextFit {
    AsIs,
    // The success text: fitted as the location page fits its texts.
    Placeholder,
    // Unexpected codes: the finish page's own fitting.
    FinishPage,
};
struct FinishText {
    std::wstring Text;
    bool Failed = false;
    FinishTextFit Fit = FinishTextFit::AsIs;
};
struct FinishTextInputs {
    int FinishStatus = 0;
    std::wstring DisplayName;
    std::wstring PartFileName;
    int LaunchAtFinish = 1;
    int ExtractOnly = 0;
    int AutoLaunch = 0;
};
FinishText FinishResultText(const FinishTextInputs& inputs);

// Whether the finish page offers to open the extraction folder.
struct OpenLocationInputs {
    std::wstring OpenExtractionLocation;  // [Runtime] OpenExtractionLocation
    bool Failed = false;                  // the result text reports a cancel or an error
    std::wstring LaunchFile;              // AutoLaunch1 or AutoLaunch
    bool UserIsAdmin = true;
    int ExtractOnly = 0;
    int LaunchAtFinish = 1;
    int WaitForAutolaunch = 1;
};
bool ShowOpenLocationBox(const OpenLocationInputs& inputs);
