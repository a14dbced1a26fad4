#include "ui/WizardLogic.h"

#include "core/ExitCodes.h"
#include "payload/LanguageTexts.h"
#include "ui/FitText.h"
#include "platform/UtilPaths.h"

#include <cwchar>

std::vector<WizardPage> BuildPageSequence(const PageSequenceSettings& s, const std::function<bool()>& requirementsMet) {
    std::vector<WizardPage> pages;
    if (s.WelcomeDialog != L"0") pages.push_back(WizardPage::Welcome);
    if (s.LanguageDialog == L"1") pages.push_back(WizardPage::Language);
    // The requirements page stays only while the requirements are unmet.
    if (s.ConditionCheck && !(requirementsMet && requirementsMet())) pages.push_back(WizardPage::Requirements);
    if (s.LicenseDialog == L"1") pages.push_back(WizardPage::License);
    if (s.AllowChangeTarget || !s.DefaultPathUsable) pages.push_back(WizardPage::DirChange);
    pages.push_back(WizardPage::Extractor);
    if (s.AutoLaunchInstallationDialog == L"1") pages.push_back(WizardPage::AutoLaunch);
    pages.push_back(WizardPage::Finish);
    return pages;
}

CancelPlan PlanCancel(WizardPage current) {
    CancelPlan plan;
    switch (current) {
    case WizardPage::Extractor:
        plan.PauseWorker = true;
        plan.SetCancelRequested = true;
        plan.StopWorker = true;
        plan.LogLine = L"User canceled the extraction process";
        break;
    case WizardPage::AutoLaunch:
        plan.PauseWorker = true;
        plan.RunLaunchFinished = true;
        plan.Result = kCancelInstallation;
        plan.FinishStatus = 12;
        plan.LogLine = L"User canceled the AutoLaunch Installation Dialog";
        break;
    case WizardPage::Finish:
        plan.Ask = false;
        plan.Result = kCancelOnFinishPage;
        break;
    case WizardPage::Welcome:
        plan.LogLine = L"User canceled the Welcome Dialog";
        break;
    case WizardPage::Language:
        plan.LogLine = L"User canceled the Language Dialog";
        break;
    case WizardPage::License:
        plan.LogLine = L"User canceled the License Dialog";
        break;
    case WizardPage::DirChange:
        plan.LogLine = L"User canceled the Browse Dialog";
        break;
    case WizardPage::Requirements:
        plan.FinishStatus = -1;
        break;
    case WizardPage::None:
        break;
    }
    return plan;
}

CancelFollowUp FollowUpForCancel(CancelCaller caller, int result, bool finishPageCurrent) {
    if (result == kCancelConfirmed) return CancelFollowUp::JumpToFinish;
    switch (caller) {
    case CancelCaller::Escape:
        if ((result == kCancelOnFinishPage || result == kCancelDeclined) && finishPageCurrent)
            return CancelFollowUp::ClickFinish;
        return CancelFollowUp::None;
    case CancelCaller::Close:
        return result == kCancelOnFinishPage ? CancelFollowUp::CloseWindow : CancelFollowUp::None;
    case CancelCaller::CancelButton:
    case CancelCaller::Command:
        return CancelFollowUp::None;
    }
    return CancelFollowUp::None;
}

ButtonRole RoleOfButtonId(int id) {
    switch (id) {
    case 12323:
        return ButtonRole::Back;
    case 12324:
        return ButtonRole::Next;
    case IDCANCEL:
        return ButtonRole::Cancel;
    case 12325:
        return ButtonRole::Finish;
    default:
        return ButtonRole::OtherTavo;
    }
}

namespace {
FocusMove FocusFor(ButtonRole role) {
    switch (role) {
    case ButtonRole::Back:
        return FocusMove::Back;
    case ButtonRole::Next:
        return FocusMove::NextTake;
    case ButtonRole::Cancel:
        return FocusMove::Cancel;
    case ButtonRole::Finish:
        return FocusMove::Finish;
    case ButtonRole::OtherTavo:
        return FocusMove::Browse;
    case ButtonRole::None:
        break;
    }
    return FocusMove::None;
}

ClickTarget DefaultClick(const KeyContext& c) {
    const bool onNavigation = c.FocusId == 12323 || c.FocusId == 12324;
    const bool onButton = c.Focus != ButtonRole::None;
    switch (c.Current) {
    case WizardPage::Welcome:
        if (onNavigation) return ClickTarget::Next;
        return onButton ? ClickTarget::Focused : ClickTarget::None;
    case WizardPage::Finish:
        return ClickTarget::Finish;
    default:
        if (onButton) return ClickTarget::Focused;
        return c.NextEnabled ? ClickTarget::Next : ClickTarget::Cancel;
    }
}
}  // namespace

KeyDecision FilterKey(const KeyContext& c) {
    KeyDecision d;
    const bool keyDown = c.Message == WM_KEYDOWN;
    const bool keyMessage = keyDown || c.Message == WM_KEYUP;
    if (keyMessage && c.Key >= VK_LEFT && c.Key <= VK_DOWN) {
        // Finish and Browse keep their look: only the three navigation buttons follow.
        if (c.Focus == ButtonRole::Back || c.Focus == ButtonRole::Next || c.Focus == ButtonRole::Cancel)
            d.Focus = FocusFor(c.Focus);
        return d;
    }
    if (!keyDown) return d;
    if (c.Key == VK_TAB) {
        if (c.TabTarget != ButtonRole::None) {
            d.Focus = FocusFor(c.TabTarget);
            d.Consumed = true;
        } else if (c.NextEnabled) {
            d.Focus = FocusMove::NextKeep;
        }
        // With Next disabled its look has nothing to follow, and handing the
        // focus to Cancel would let the platform's Tab wrap back to where it
        // started: the license page's list kept the focus for ever.
        return d;
    }
    if (c.Key == VK_RETURN || c.Key == VK_SPACE) {
        const bool onNavigation = c.FocusId == 12323 || c.FocusId == 12324;
        if (c.HasFocus && (c.Focus != ButtonRole::None || onNavigation || c.Key == VK_RETURN)) {
            d.Click = DefaultClick(c);
            d.Consumed = true;
        }
        return d;
    }
    if (c.Key == VK_ESCAPE) {
        // Consumed whatever the answer, so that the platform does not turn
        // the same key into a second cancel question.
        d.AskCancel = true;
        d.Consumed = true;
    }
    return d;
}

ButtonSet ParseButtonNames(const std::wstring& list) {
    ButtonSet set;
    StringList names;
    CUtilPaths::SplitText(list, L',', names);
    for (const std::wstring& name : names) {
        if (::_wcsicmp(name.c_str(), L"BACK") == 0) set.Back = true;
        else if (::_wcsicmp(name.c_str(), L"NEXT") == 0) set.Next = true;
        else if (::_wcsicmp(name.c_str(), L"FINISH") == 0) set.Finish = true;
        else if (::_wcsicmp(name.c_str(), L"CANCEL") == 0) set.Cancel = true;
    }
    return set;
}

int WizardExitCode(const WizardOutcome& o, int exitCodeSoFar) {
    if (!o.SheetShown) return kExitExtractionFailed;
    if (o.CancelConfirmed) return o.CancelledOn == WizardPage::Requirements ? kExitRequirementsNotMet : kExitCancelled;
    if (o.ExtractionFailed || !o.Extracted) return kExitExtractionFailed;
    return exitCodeSoFar;
}

FinishText FinishResultText(const FinishTextInputs& in) {
    const std::wstring product = L"[PRODUCTNAME]";
    auto withCheckLog = [](int id) { return GetLangString(id) + L" " + GetLangString(606); };
    auto partFile = [&](int id) {
        return FinishText{zel::FillStringTemplate(withCheckLog(id), L"[FILENAME]", in.PartFileName), true};
    };
    switch (in.FinishStatus) {
    case 11:
        return {zel::FillStringTemplate(GetLangString(601), product, in.DisplayName), true};
    case 12:
        return {zel::FillStringTemplate(GetLangString(614), product, in.DisplayName), true};
    case 2:
        return {withCheckLog(605), true};
    case -2:
        return partFile(607);
    case -3:
        return partFile(608);
    case -5:
        return partFile(615);
    case -4:
        return {zel::FillStringTemplate(withCheckLog(611), product, in.DisplayName), false};
    case -6:
        return {zel::FillStringTemplate(GetLangString(611), product, in.DisplayName), false};
    case 0: {
        int id = 600;
        if (in.LaunchAtFinish == 0 && in.ExtractOnly == 0)
            id = 612;
        else if (in.AutoLaunch == 1)
            id = 610;
        return {zel::FillStringTemplate(GetLangString(id), product, in.DisplayName), false,
                FinishTextFit::Placeholder};
    }
    default:
        return {withCheckLog(602), true, FinishTextFit::FinishPage};
    }
}

bool ShowOpenLocationBox(const OpenLocationInputs& in) {
    if (in.OpenExtractionLocation != L"1" || in.Failed) return false;
    if (!in.LaunchFile.empty() && in.UserIsAdmin && in.ExtractOnly != 1) return false;
    return (in.LaunchAtFinish == 1 && in.WaitForAutolaunch != 0) || in.ExtractOnly == 1;
}
