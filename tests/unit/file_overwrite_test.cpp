#include "ui/FileOverwrite.h"

#include "app/App.h"
#include "core/Messages.h"
#include "log_capture.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

TEST(OverwriteButtonRects, CentreOneRowBelowTheQuestion) {
    struct Case {
        int a, b, m;
    };
    // m = (b - 483) / 2, truncated towards zero.
    for (const Case& c : {Case{60, 500, 8}, Case{60, 498, 7}, Case{40, 480, -1}, Case{40, 481, -1}}) {
        SCOPED_TRACE(c.b);
        const auto rects = OverwriteButtonRects(c.a, c.b);
        const int lefts[] = {0, 97, 192, 287, 382};
        const int rights[] = {95, 190, 285, 380, 475};
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(rects[i].left, c.m + lefts[i]);
            EXPECT_EQ(rects[i].right, c.m + rights[i]);
            EXPECT_EQ(rects[i].top, c.a + 3);
            EXPECT_EQ(rects[i].bottom, c.a + 33);
        }
    }
}

TEST(NextOverwriteButton, TabAndArrowsStepThroughTheRowAndWrap) {
    struct Case {
        int from;
        UINT key;
        bool shift;
        int next;
    };
    const Case cases[] = {
        {0, VK_TAB, false, 1}, {4, VK_TAB, false, 0},  {0, VK_TAB, true, 4},    {3, VK_TAB, true, 2},
        {1, VK_RIGHT, false, 2}, {1, VK_DOWN, false, 2}, {4, VK_RIGHT, false, 0}, {1, VK_LEFT, false, 0},
        {0, VK_UP, false, 4},  {2, VK_RETURN, false, -1}, {2, VK_ESCAPE, false, -1}, {2, VK_SPACE, false, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " key " << c.key << " shift " << c.shift);
        EXPECT_EQ(NextOverwriteButton(c.from, c.key, c.shift), c.next);
    }
}

// Drives a real dialog: each timer tick runs the next step.
struct Step {
    enum Kind { Key, ShiftKey, Close, Press, Help, Expect } kind;
    UINT value = 0;
};
Step Key(UINT k) { return {Step::Key, k}; }
Step ShiftKey(UINT k) { return {Step::ShiftKey, k}; }
Step Press(UINT id) { return {Step::Press, id}; }
Step ExpectFocus(int index) { return {Step::Expect, static_cast<UINT>(index)}; }
const Step kClose{Step::Close};
const Step kHelp{Step::Help};

struct Script {
    static inline CFileOverwrite* dialog = nullptr;
    static inline std::vector<Step> steps;
    static inline size_t next = 0;
    static inline int idleTicks = 0;
    static inline std::vector<std::string> failures;
    static inline std::wstring fileText;
    static inline bool pictureShown = false;

    static BOOL CALLBACK FindPicture(HWND child, LPARAM) {
        if ((::GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP &&
            ::SendMessageW(child, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0)
            pictureShown = true;
        return TRUE;
    }

    static void SetShift(bool down) {
        BYTE keys[256];
        ::GetKeyboardState(keys);
        keys[VK_SHIFT] = down ? 0x80 : 0;
        ::SetKeyboardState(keys);
    }

    static void CheckFocus(int index) {
        HWND hwnd = dialog->Handle();
        const int id = kOverwriteChoices[index].ControlId;
        auto fail = [&](const std::string& what) {
            failures.push_back("step " + std::to_string(next) + ": " + what);
        };
        if (dialog->FocusedIndex() != index) fail("focused index " + std::to_string(dialog->FocusedIndex()));
        if (::GetFocus() != dialog->Button(index)->Handle()) fail("keyboard focus elsewhere");
        if (LOWORD(::SendMessageW(hwnd, DM_GETDEFID, 0, 0)) != id) fail("default button elsewhere");
        for (int i = 0; i < 5; ++i) {
            const CTavoButton& b = *dialog->Button(i);
            const bool mine = i == index;
            if (b.IsFocusedFlag() != (mine ? 1 : 0)) fail("focused flag of button " + std::to_string(i));
            if (mine && b.RingColour() != CTavoButton::kFocusRing) fail("no blue ring on the focused button");
        }
    }

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (dialog == nullptr || dialog->Handle() == nullptr) return;
        HWND hwnd = dialog->Handle();
        if (fileText.empty()) {
            wchar_t text[512] = {};
            ::GetDlgItemTextW(hwnd, IDC_OVERWRITE_FILE, text, 512);
            fileText = text;
            ::EnumChildWindows(hwnd, &FindPicture, 0);
        }
        SetShift(false);
        if (next >= steps.size()) {
            // The script should have ended the dialog; do not hang the test run.
            if (++idleTicks > 20) {
                failures.push_back("the dialog stayed open");
                ::PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            }
            return;
        }
        const Step step = steps[next++];
        switch (step.kind) {
        case Step::ShiftKey:
            SetShift(true);
            [[fallthrough]];
        case Step::Key:
            ::PostMessageW(::GetFocus(), WM_KEYDOWN, step.value, 1);
            ::PostMessageW(::GetFocus(), WM_KEYUP, step.value, 0xC0000001);
            break;
        case Step::Close:
            ::PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        case Step::Press:
            ::SendMessageW(hwnd, WM_ZEL_BUTTON_CLICKED, step.value, 0);
            break;
        case Step::Help: {
            HELPINFO help{};
            help.cbSize = sizeof(help);
            ::SendMessageW(hwnd, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
            break;
        }
        case Step::Expect:
            CheckFocus(static_cast<int>(step.value));
            break;
        }
    }

    // Runs the dialog with the steps; returns its answer.
    static int Run(const std::wstring& fileName, std::vector<Step> script) {
        CFileOverwrite overwrite(fileName);
        dialog = &overwrite;
        steps = std::move(script);
        next = 0;
        idleTicks = 0;
        failures.clear();
        fileText.clear();
        pictureShown = false;
        UINT_PTR timer = ::SetTimer(nullptr, 0, 40, &Script::Tick);
        overwrite.DoModal();
        ::KillTimer(nullptr, timer);
        SetShift(false);
        dialog = nullptr;
        return overwrite.Answer();
    }
};

struct DialogCase {
    const char* name;
    std::vector<Step> steps;
    int answer;
    const char* logText;
};

class OverwriteDialogRun : public testing::TestWithParam<DialogCase> {};

TEST_P(OverwriteDialogRun, AnswersWhatTheUserChose) {
    const DialogCase& c = GetParam();
    zel_test::LogCapture log;
    EXPECT_EQ(Script::Run(L"setup.ini", c.steps), c.answer);
    for (const std::string& failure : Script::failures) ADD_FAILURE() << failure;
    const std::string text = log.Text();
    EXPECT_NE(text.find("Overwrite dialog"), std::string::npos) << text;
    EXPECT_NE(text.find(c.logText), std::string::npos) << text;
    EXPECT_EQ(Script::fileText, L"setup.ini");
    EXPECT_TRUE(Script::pictureShown);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, OverwriteDialogRun,
    testing::Values(
        DialogCase{"EnterAtOnceAnswersYes", {ExpectFocus(0), Key(VK_RETURN)}, 1000, "User Clicked on 'Yes' button"},
        DialogCase{"TabMovesFocusLookAndDefault",
                   {Key(VK_TAB), ExpectFocus(1), Key(VK_RETURN)}, 1001, "User Clicked on 'Yes To All' button"},
        DialogCase{"ShiftTabMovesBack",
                   {Key(VK_TAB), Key(VK_TAB), ExpectFocus(2), ShiftKey(VK_TAB), ExpectFocus(1), Key(VK_RETURN)}, 1001,
                   "User Clicked on 'Yes To All' button"},
        DialogCase{"ShiftTabOnYesWrapsToCancel",
                   {ShiftKey(VK_TAB), ExpectFocus(4), Key(VK_RETURN)}, 1004, "User Clicked on 'Cancel' button"},
        DialogCase{"ArrowsMoveBothWays",
                   {Key(VK_RIGHT), Key(VK_RIGHT), ExpectFocus(2), Key(VK_DOWN), ExpectFocus(3), Key(VK_LEFT),
                    Key(VK_UP), ExpectFocus(1), Key(VK_TAB), Key(VK_TAB), ExpectFocus(3), Key(VK_RETURN)},
                   1003, "User Clicked on 'No To All' button"},
        DialogCase{"EscapeAndHelpDoNothing",
                   {Key(VK_ESCAPE), Key(VK_F1), kHelp, ExpectFocus(0), Key(VK_TAB), Key(VK_TAB), Key(VK_RETURN)}, 1002,
                   "User Clicked on 'No' button"},
        DialogCase{"CloseBoxAnswersCancel", {kClose}, 1004, "User Clicked on 'Cancel' button"},
        DialogCase{"ReleaseOnNoAnswersNo", {Press(1028)}, 1002, "User Clicked on 'No' button"},
        DialogCase{"ReleaseOfAnotherIdIsIgnored",
                   {Press(1234), Press(1), ExpectFocus(0), Press(1029)}, 1003, "User Clicked on 'No To All' button"},
        DialogCase{"SpaceOnTheFocusedButtonPressesIt",
                   {Key(VK_LEFT), ExpectFocus(4), Key(VK_SPACE)}, 1004, "User Clicked on 'Cancel' button"}),
    [](const testing::TestParamInfo<DialogCase>& info) { return std::string(info.param.name); });

TEST(OverwriteDialog, ALongFileNameKeepsItsEndAfterAnEllipsis) {
    const std::wstring name = L"a_very_long_file_name_that_goes_on_and_on_far_beyond_the_width_of_its_"
                              L"control_in_the_dialog_and_even_further_to_be_sure_end.txt";
    zel_test::LogCapture log;
    EXPECT_EQ(Script::Run(name, {Key(VK_RETURN)}), 1000);
    const std::wstring& shown = Script::fileText;
    ASSERT_GT(shown.size(), 10u);
    EXPECT_EQ(shown.substr(0, 3), L"...");
    EXPECT_LT(shown.size(), name.size() + 3);
    EXPECT_EQ(name.substr(name.size() - (shown.size() - 3)), shown.substr(3));
}

void CALLBACK CloseActiveWindow(HWND, UINT, UINT_PTR, DWORD) {
    if (HWND box = ::GetActiveWindow()) ::PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
}

// Shows the dialog for a screenshot until it is answered or 20 s have passed:
//   unit_tests.exe --show-overwrite-dialog [file name]
const bool kShowModeRegistered = [] {
    zel_test::RegisterChildMode(L"--show-overwrite-dialog", [](int argc, wchar_t** argv) {
        std::wstring name = argc > 2 ? argv[2] : L"Program Files\\Tools\\readme.txt";
        theApp.BodyFont = {15, 100, L"Tahoma"};  // as the stub describes it at start-up
        CFileOverwrite dialog(name);
        UINT_PTR timer = ::SetTimer(nullptr, 0, 20000, &CloseActiveWindow);
        dialog.DoModal();
        ::KillTimer(nullptr, timer);
        return dialog.Answer() - 1000;
    });
    return true;
}();
}  // namespace
