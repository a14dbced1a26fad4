#include "core/ExitCodes.h"
#include "framework/DialogTemplate.h"
#include "ui/WizardLogic.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using P = WizardPage;

// ---- page sequence ----

struct SequenceCase {
    const char* name;
    PageSequenceSettings settings;
    bool requirementsMet;
    std::vector<WizardPage> pages;
};

PageSequenceSettings With(void (*change)(PageSequenceSettings&)) {
    PageSequenceSettings s;
    change(s);
    return s;
}

class PageSequenceTable : public testing::TestWithParam<SequenceCase> {};

TEST_P(PageSequenceTable, FollowsTheSettings) {
    const SequenceCase& c = GetParam();
    int asked = 0;
    auto pages = BuildPageSequence(c.settings, [&] {
        ++asked;
        return c.requirementsMet;
    });
    EXPECT_EQ(pages, c.pages);
    // The requirement check runs only when it is on, and then once.
    EXPECT_EQ(asked, c.settings.ConditionCheck ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, PageSequenceTable,
    testing::Values(
        SequenceCase{"defaults", {}, true, {P::Welcome, P::Extractor, P::Finish}},
        SequenceCase{"welcome_off", With([](auto& s) { s.WelcomeDialog = L"0"; }), true, {P::Extractor, P::Finish}},
        SequenceCase{"welcome_other", With([](auto& s) { s.WelcomeDialog = L"00"; }), true,
                     {P::Welcome, P::Extractor, P::Finish}},
        SequenceCase{"language_1", With([](auto& s) { s.LanguageDialog = L"1"; }), true,
                     {P::Welcome, P::Language, P::Extractor, P::Finish}},
        SequenceCase{"language_yes", With([](auto& s) { s.LanguageDialog = L"yes"; }), true,
                     {P::Welcome, P::Extractor, P::Finish}},
        SequenceCase{"language_01", With([](auto& s) { s.LanguageDialog = L"01"; }), true,
                     {P::Welcome, P::Extractor, P::Finish}},
        SequenceCase{"requirements_unmet", {}, false, {P::Welcome, P::Requirements, P::Extractor, P::Finish}},
        SequenceCase{"no_condition_check", With([](auto& s) { s.ConditionCheck = false; }), false,
                     {P::Welcome, P::Extractor, P::Finish}},
        SequenceCase{"license", With([](auto& s) { s.LicenseDialog = L"1"; }), true,
                     {P::Welcome, P::License, P::Extractor, P::Finish}},
        SequenceCase{"license_yes", With([](auto& s) { s.LicenseDialog = L"yes"; }), true,
                     {P::Welcome, P::Extractor, P::Finish}},
        SequenceCase{"allow_change_target", With([](auto& s) { s.AllowChangeTarget = true; }), true,
                     {P::Welcome, P::DirChange, P::Extractor, P::Finish}},
        SequenceCase{"default_path_failed", With([](auto& s) { s.DefaultPathUsable = false; }), true,
                     {P::Welcome, P::DirChange, P::Extractor, P::Finish}},
        SequenceCase{"installation_page", With([](auto& s) { s.AutoLaunchInstallationDialog = L"1"; }), true,
                     {P::Welcome, P::Extractor, P::AutoLaunch, P::Finish}},
        SequenceCase{"everything",
                     With([](auto& s) {
                         s.LanguageDialog = L"1";
                         s.LicenseDialog = L"1";
                         s.AllowChangeTarget = true;
                         s.AutoLaunchInstallationDialog = L"1";
                     }),
                     false,
                     {P::Welcome, P::Language, P::Requirements, P::License, P::DirChange, P::Extractor, P::AutoLaunch,
                      P::Finish}}),
    [](const testing::TestParamInfo<SequenceCase>& info) { return std::string(info.param.name); });

TEST(PageSequence, NoSettingLeavesTheWizardWithoutExtractionOrFinish) {
    PageSequenceSettings s;
    s.WelcomeDialog = L"0";
    s.ConditionCheck = false;
    auto pages = BuildPageSequence(s, nullptr);
    ASSERT_FALSE(pages.empty());
    EXPECT_EQ(pages.front(), P::Extractor);
    EXPECT_EQ(pages.back(), P::Finish);
}

// ---- cancel ----

struct CancelCase {
    WizardPage page;
    bool pausesWorker;
    bool asks;
    int result;
    int finishStatus;
    const wchar_t* logLine;
};

class CancelPerPage : public testing::TestWithParam<CancelCase> {};

TEST_P(CancelPerPage, PlansTheConfirmedCancel) {
    const CancelCase& c = GetParam();
    CancelPlan plan = PlanCancel(c.page);
    EXPECT_EQ(plan.PauseWorker, c.pausesWorker);
    EXPECT_EQ(plan.Ask, c.asks);
    EXPECT_EQ(plan.Result, c.result);
    if (c.asks) {
        EXPECT_EQ(plan.FinishStatus, c.finishStatus);
        EXPECT_EQ(plan.LogLine, c.logLine);
    }
    EXPECT_EQ(plan.SetCancelRequested, c.page == P::Extractor);
    EXPECT_EQ(plan.StopWorker, c.page == P::Extractor);
    EXPECT_EQ(plan.RunLaunchFinished, c.page == P::AutoLaunch);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, CancelPerPage,
    testing::Values(CancelCase{P::Welcome, false, true, 0, 11, L"User canceled the Welcome Dialog"},
                    CancelCase{P::Language, false, true, 0, 11, L"User canceled the Language Dialog"},
                    CancelCase{P::License, false, true, 0, 11, L"User canceled the License Dialog"},
                    CancelCase{P::DirChange, false, true, 0, 11, L"User canceled the Browse Dialog"},
                    CancelCase{P::Requirements, false, true, 0, -1, L""},
                    CancelCase{P::Extractor, true, true, 0, 11, L"User canceled the extraction process"},
                    CancelCase{P::AutoLaunch, true, true, 1001, 12,
                               L"User canceled the AutoLaunch Installation Dialog"},
                    CancelCase{P::Finish, false, false, 1000, 0, L""}));

struct FollowUpCase {
    CancelCaller caller;
    int result;
    bool finishCurrent;
    CancelFollowUp followUp;
};

class CancelPerCaller : public testing::TestWithParam<FollowUpCase> {};

TEST_P(CancelPerCaller, ActsOnTheResult) {
    const FollowUpCase& c = GetParam();
    EXPECT_EQ(FollowUpForCancel(c.caller, c.result, c.finishCurrent), c.followUp);
}

using C = CancelCaller;
using F = CancelFollowUp;
INSTANTIATE_TEST_SUITE_P(
    Callers, CancelPerCaller,
    testing::Values(FollowUpCase{C::CancelButton, 0, false, F::JumpToFinish},
                    FollowUpCase{C::CancelButton, 1000, true, F::None},
                    FollowUpCase{C::CancelButton, 1001, false, F::None},
                    FollowUpCase{C::CancelButton, -1, false, F::None},
                    FollowUpCase{C::Escape, 0, false, F::JumpToFinish},
                    FollowUpCase{C::Escape, 1000, true, F::ClickFinish},
                    FollowUpCase{C::Escape, 1001, false, F::None},
                    FollowUpCase{C::Escape, -1, false, F::None},
                    FollowUpCase{C::Close, 0, false, F::JumpToFinish},
                    FollowUpCase{C::Close, 1000, true, F::CloseWindow},
                    FollowUpCase{C::Close, 1001, false, F::None},
                    FollowUpCase{C::Close, -1, false, F::None},
                    FollowUpCase{C::Command, 0, false, F::JumpToFinish},
                    FollowUpCase{C::Command, 1000, true, F::None},
                    FollowUpCase{C::Command, 1001, false, F::None},
                    FollowUpCase{C::Command, -1, false, F::None}));

// ---- keyboard ----

struct KeyCase {
    const char* name;
    KeyContext context;
    FocusMove focus;
    ClickTarget click;
    bool askCancel;
    bool consumed;
};

KeyContext Key(WPARAM key, ButtonRole focus, int focusId, WizardPage page = P::Extractor,
               ButtonRole tabTarget = ButtonRole::None, bool shift = false, UINT message = WM_KEYDOWN) {
    KeyContext c;
    c.Message = message;
    c.Key = key;
    c.Shift = shift;
    c.HasFocus = focusId != 0;
    c.Focus = focus;
    c.FocusId = focusId;
    c.TabTarget = tabTarget;
    c.Current = page;
    return c;
}

class KeyFilterTable : public testing::TestWithParam<KeyCase> {};

TEST_P(KeyFilterTable, Decides) {
    const KeyCase& c = GetParam();
    KeyDecision d = FilterKey(c.context);
    EXPECT_EQ(d.Focus, c.focus);
    EXPECT_EQ(d.Click, c.click);
    EXPECT_EQ(d.AskCancel, c.askCancel);
    EXPECT_EQ(d.Consumed, c.consumed);
}

using B = ButtonRole;
using M = FocusMove;
using T = ClickTarget;
KeyContext NextDisabled(KeyContext c) {
    c.NextEnabled = false;
    return c;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyFilterTable,
    testing::Values(
        KeyCase{"arrow_on_back", Key(VK_LEFT, B::Back, 12323), M::Back, T::None, false, false},
        KeyCase{"arrow_on_next", Key(VK_RIGHT, B::Next, 12324), M::NextTake, T::None, false, false},
        KeyCase{"arrow_up_on_cancel", Key(VK_UP, B::Cancel, 2), M::Cancel, T::None, false, false},
        KeyCase{"arrow_release_on_next", Key(VK_DOWN, B::Next, 12324, P::Welcome, B::None, false, WM_KEYUP),
                M::NextTake, T::None, false, false},
        KeyCase{"arrow_in_an_edit", Key(VK_LEFT, B::None, 1000), M::None, T::None, false, false},
        KeyCase{"tab_to_cancel", Key(VK_TAB, B::Next, 12324, P::Welcome, B::Cancel), M::Cancel, T::None, false, true},
        KeyCase{"shift_tab_to_back", Key(VK_TAB, B::Next, 12324, P::License, B::Back, true), M::Back, T::None, false,
                true},
        KeyCase{"tab_to_next", Key(VK_TAB, B::Back, 12323, P::License, B::Next), M::NextTake, T::None, false, true},
        KeyCase{"tab_to_finish", Key(VK_TAB, B::None, 1014, P::Finish, B::Finish), M::Finish, T::None, false, true},
        KeyCase{"tab_to_browse", Key(VK_TAB, B::None, 1000, P::DirChange, B::OtherTavo), M::Browse, T::None, false,
                true},
        KeyCase{"tab_to_a_check_box", Key(VK_TAB, B::Cancel, 2, P::License, B::None), M::NextKeep, T::None, false,
                false},
        KeyCase{"tab_in_the_page_next_disabled", NextDisabled(Key(VK_TAB, B::None, 1059, P::License, B::None)), M::None,
                T::None, false, false},
        KeyCase{"enter_on_welcome_next", Key(VK_RETURN, B::Next, 12324, P::Welcome), M::None, T::Next, false, true},
        KeyCase{"space_on_welcome_cancel", Key(VK_SPACE, B::Cancel, 2, P::Welcome), M::None, T::Focused, false, true},
        KeyCase{"enter_on_finish_page", Key(VK_RETURN, B::None, 1014, P::Finish), M::None, T::Finish, false, true},
        KeyCase{"enter_on_a_button", Key(VK_RETURN, B::Back, 12323, P::License), M::None, T::Focused, false, true},
        KeyCase{"enter_in_an_edit", Key(VK_RETURN, B::None, 1000, P::DirChange), M::None, T::Next, false, true},
        KeyCase{"enter_next_disabled", NextDisabled(Key(VK_RETURN, B::None, 1020, P::License)), M::None, T::Cancel,
                false, true},
        KeyCase{"space_on_a_check_box", Key(VK_SPACE, B::None, 1020, P::License), M::None, T::None, false, false},
        KeyCase{"enter_without_focus", Key(VK_RETURN, B::None, 0, P::License), M::None, T::None, false, false},
        KeyCase{"escape", Key(VK_ESCAPE, B::Next, 12324, P::Welcome), M::None, T::None, true, true},
        KeyCase{"escape_released", Key(VK_ESCAPE, B::Next, 12324, P::Welcome, B::None, false, WM_KEYUP), M::None,
                T::None, false, false},
        KeyCase{"other_key", Key('A', B::None, 1000, P::DirChange), M::None, T::None, false, false}),
    [](const testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

// ---- button names ----

TEST(ButtonNames, AreMatchedWithoutCaseAndUnknownOnesIgnored) {
    ButtonSet set = ParseButtonNames(L"next,Cancel,HELP");
    EXPECT_TRUE(set.Next);
    EXPECT_TRUE(set.Cancel);
    EXPECT_FALSE(set.Back);
    EXPECT_FALSE(set.Finish);
    ButtonSet all = ParseButtonNames(L"BACK,NEXT,FINISH,CANCEL");
    EXPECT_TRUE(all.Back && all.Next && all.Finish && all.Cancel);
    ButtonSet none = ParseButtonNames(L"");
    EXPECT_FALSE(none.Back || none.Next || none.Finish || none.Cancel);
}

// ---- the end of the run ----

struct ExitCase {
    const char* name;
    WizardOutcome outcome;
    int soFar;
    int exitCode;
};

class WizardExitTable : public testing::TestWithParam<ExitCase> {};

TEST_P(WizardExitTable, GivesTheExitCode) {
    EXPECT_EQ(WizardExitCode(GetParam().outcome, GetParam().soFar), GetParam().exitCode);
}

WizardOutcome Shown(bool cancelled, WizardPage on, bool extracted, bool failed) {
    WizardOutcome o;
    o.SheetShown = true;
    o.CancelConfirmed = cancelled;
    o.CancelledOn = on;
    o.Extracted = extracted;
    o.ExtractionFailed = failed;
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Ends, WizardExitTable,
    testing::Values(ExitCase{"extracted", Shown(false, P::None, true, false), 0, kExitSuccess},
                    ExitCase{"setup_failed_after_extraction", Shown(false, P::None, true, false), kExitSetupFailed,
                             kExitSetupFailed},
                    ExitCase{"cancel_on_welcome", Shown(true, P::Welcome, false, false), 0, kExitCancelled},
                    ExitCase{"cancel_during_extraction", Shown(true, P::Extractor, false, false), 0, kExitCancelled},
                    ExitCase{"cancel_after_extraction", Shown(true, P::AutoLaunch, true, false), 0, kExitCancelled},
                    ExitCase{"cancel_on_requirements", Shown(true, P::Requirements, false, false), 0,
                             kExitRequirementsNotMet},
                    ExitCase{"extraction_failed", Shown(false, P::None, false, true), 0, kExitExtractionFailed},
                    ExitCase{"ended_without_extracting", Shown(false, P::None, false, false), 0,
                             kExitExtractionFailed},
                    ExitCase{"never_shown", WizardOutcome{}, 0, kExitExtractionFailed}),
    [](const testing::TestParamInfo<ExitCase>& info) { return std::string(info.param.name); });

// ---- finish texts ----

struct FinishCase {
    const char* name;
    int status;
    int launchAtFinish, extractOnly, autoLaunch;
    const wchar_t* text;
    bool failed;
    FinishTextFit fit;
};

class FinishTextTable : public testing::TestWithParam<FinishCase> {};

TEST_P(FinishTextTable, ChoosesTheTextByStatus) {
    const FinishCase& c = GetParam();
    FinishTextInputs in;
    in.FinishStatus = c.status;
    in.DisplayName = L"Pkg 1.0";
    in.PartFileName = L"C:\\Dl\\Pkg.002";
    in.LaunchAtFinish = c.launchAtFinish;
    in.ExtractOnly = c.extractOnly;
    in.AutoLaunch = c.autoLaunch;
    const FinishText got = FinishResultText(in);
    EXPECT_EQ(got.Text, c.text);
    EXPECT_EQ(got.Failed, c.failed);
    EXPECT_EQ(got.Fit, c.fit);
}

constexpr auto AsIs = FinishTextFit::AsIs;
INSTANTIATE_TEST_SUITE_P(
    Statuses, FinishTextTable,
    testing::Values(
        FinishCase{"success", 0, 1, 0, 0, L"Extraction successful for Pkg 1.0.", false, FinishTextFit::Placeholder},
        FinishCase{"success_setups_at_finish", 0, 0, 0, 1, L"Installation will start after Finish button is clicked.",
                   false, FinishTextFit::Placeholder},
        // Extract-only wins over a launch that was to wait for Finish.
        FinishCase{"success_extract_only", 0, 0, 1, 0, L"Extraction successful for Pkg 1.0.", false,
                   FinishTextFit::Placeholder},
        FinishCase{"success_launched", 0, 1, 0, 1, L"Installation complete : Pkg 1.0", false,
                   FinishTextFit::Placeholder},
        FinishCase{"extraction_cancelled", 11, 1, 0, 0, L"The extraction of Pkg 1.0 has been cancelled.", true, AsIs},
        FinishCase{"installation_cancelled", 12, 1, 0, 1, L"The installation of Pkg 1.0 has been cancelled.", true,
                   AsIs},
        FinishCase{"launch_file_missing", 2, 1, 0, 1,
                   L"The file for launching the setup is not found. Please check the log file.", true, AsIs},
        FinishCase{"part_missing", -2, 1, 0, 0, L"Part file C:\\Dl\\Pkg.002 not found. Please check the log file.",
                   true, AsIs},
        FinishCase{"part_invalid", -3, 1, 0, 0, L"Part file C:\\Dl\\Pkg.002 is invalid. Please check the log file.",
                   true, AsIs},
        FinishCase{"part_corrupt", -5, 1, 0, 0, L"Part file C:\\Dl\\Pkg.002 is corrupt. Please check the log file.",
                   true, AsIs},
        FinishCase{"installation_incomplete_check_log", -4, 1, 0, 1,
                   L"Installation not complete : Pkg 1.0. Please check the log file.", false, AsIs},
        FinishCase{"installation_incomplete", -6, 1, 0, 1, L"Installation not complete : Pkg 1.0.", false, AsIs},
        // A cancel on the requirements page leaves -1: the error text.
        FinishCase{"requirements_cancelled", -1, 1, 0, 0, L"An error occurred. Please check the log file.", true,
                   FinishTextFit::FinishPage},
        FinishCase{"engine_error", 4, 1, 0, 0, L"An error occurred. Please check the log file.", true,
                   FinishTextFit::FinishPage}),
    [](const testing::TestParamInfo<FinishCase>& info) { return std::string(info.param.name); });

struct OpenLocationCase {
    const char* name;
    void (*change)(OpenLocationInputs&);
    bool shown;
};

class OpenLocationTable : public testing::TestWithParam<OpenLocationCase> {};

TEST_P(OpenLocationTable, OffersTheFolderOnlyWhenNothingElseHappensAtFinish) {
    const OpenLocationCase& c = GetParam();
    // The base: a package that launches nothing, asked to offer the folder.
    OpenLocationInputs in;
    in.OpenExtractionLocation = L"1";
    c.change(in);
    EXPECT_EQ(ShowOpenLocationBox(in), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, OpenLocationTable,
    testing::Values(
        OpenLocationCase{"no_launch", [](OpenLocationInputs&) {}, true},
        OpenLocationCase{"setting_absent", [](OpenLocationInputs& i) { i.OpenExtractionLocation = L""; }, false},
        OpenLocationCase{"setting_not_exactly_1", [](OpenLocationInputs& i) { i.OpenExtractionLocation = L"01"; },
                         false},
        OpenLocationCase{"after_cancel_or_error", [](OpenLocationInputs& i) { i.Failed = true; }, false},
        OpenLocationCase{"admin_with_setup", [](OpenLocationInputs& i) { i.LaunchFile = L"setup.exe"; }, false},
        OpenLocationCase{"admin_with_setup_extract_only",
                         [](OpenLocationInputs& i) {
                             i.LaunchFile = L"setup.exe";
                             i.ExtractOnly = 1;
                         },
                         true},
        OpenLocationCase{"setup_but_not_admin",
                         [](OpenLocationInputs& i) {
                             i.LaunchFile = L"setup.exe";
                             i.UserIsAdmin = false;
                         },
                         true},
        OpenLocationCase{"setups_wait_for_finish", [](OpenLocationInputs& i) { i.LaunchAtFinish = 0; }, false},
        OpenLocationCase{"no_wait_for_autolaunch", [](OpenLocationInputs& i) { i.WaitForAutolaunch = 0; }, false},
        OpenLocationCase{"no_wait_but_extract_only",
                         [](OpenLocationInputs& i) {
                             i.WaitForAutolaunch = 0;
                             i.ExtractOnly = 1;
                         },
                         true}),
    [](const testing::TestParamInfo<OpenLocationCase>& info) { return std::string(info.param.name); });

// ---- dialog template font ----

// A DLGTEMPLATEEX with a font and one static item (id 77, text "Hi").
std::vector<BYTE> ExtendedTemplate(const wchar_t* face) {
    std::vector<BYTE> bytes;
    auto put = [&](const void* data, size_t size) {
        const BYTE* p = static_cast<const BYTE*>(data);
        bytes.insert(bytes.end(), p, p + size);
    };
    auto word = [&](WORD w) { put(&w, 2); };
    auto dword = [&](DWORD d) { put(&d, 4); };
    auto text = [&](const wchar_t* t) { put(t, (std::wcslen(t) + 1) * 2); };
    auto align = [&] {
        while (bytes.size() % 4) bytes.push_back(0);
    };
    word(1);
    word(0xFFFF);
    dword(0);
    dword(0);
    dword(DS_SETFONT | WS_POPUP | WS_CAPTION);
    word(1);
    for (short v : {0, 0, 100, 50}) put(&v, 2);
    word(0);
    word(0);
    text(L"Caption");
    word(8);
    word(400);
    bytes.push_back(0);
    bytes.push_back(1);
    text(face);
    align();
    dword(0);
    dword(0);
    dword(WS_CHILD | WS_VISIBLE | SS_LEFT);
    for (short v : {5, 5, 60, 10}) put(&v, 2);
    dword(77);
    word(0xFFFF);
    word(0x0082);
    text(L"Hi");
    word(0);
    bytes.resize(bytes.size() + 64, 0xCD);
    return bytes;
}

INT_PTR CALLBACK NoHandling(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

TEST(SwitchDialogFont, ShorterFaceKeepsTheItemsUsable) {
    std::vector<BYTE> bytes = ExtendedTemplate(L"MS Shell Dlg");
    ASSERT_TRUE(zel::SwitchDialogFont(bytes.data(), bytes.size(), L"Arial", 9));
    HWND dialog = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr),
                                               reinterpret_cast<DLGTEMPLATE*>(bytes.data()), nullptr,
                                               &NoHandling, 0);
    ASSERT_NE(dialog, nullptr);
    wchar_t text[16] = {};
    ::GetDlgItemTextW(dialog, 77, text, 16);
    EXPECT_STREQ(text, L"Hi");
    LOGFONTW font = {};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_STREQ(font.lfFaceName, L"Arial");
    ::DestroyWindow(dialog);
}

TEST(SwitchDialogFont, RefusesToGrowOrToReadPastTheEnd) {
    std::vector<BYTE> bytes = ExtendedTemplate(L"Tahoma");
    std::vector<BYTE> before = bytes;
    EXPECT_FALSE(zel::SwitchDialogFont(bytes.data(), bytes.size(), L"Much Longer Face", 9));
    EXPECT_EQ(bytes, before);
    EXPECT_FALSE(zel::SwitchDialogFont(bytes.data(), 40, L"Arial", 9));
    EXPECT_EQ(bytes, before);
}

}  // namespace
