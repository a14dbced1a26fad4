#include "ui/TavoSheet.h"

#include "core/RunFlags.h"
#include "framework/WinApp.h"
#include "ui/WizardHost.h"
#include "core/Messages.h"
#include "cabinet/CabDecompressor.h"
#include "framework/WinApp.h"
#include "logging/LogFile.h"
#include "payload/Initializer.h"
#include "payload/LanguageTexts.h"
#include "platform/SettingsFile.h"
#include "ui/FitText.h"
#include "ui/ProgressSteps.h"
#include "framework/DialogTemplate.h"
#include "ui/ControlText.h"
#include "ui/ExtractPassword.h"

#include <commctrl.h>

#include <cwchar>

namespace {
constexpr int kIconId = 912;
constexpr COLORREF kBackground = RGB(240, 240, 240);
constexpr int kTopBannerHeight = 60;
constexpr int kButtonHeight = 30;
// The platform's etched line between the page and its own buttons.
constexpr int kPlatformSeparatorId = 0x3026;

CTavoSheet* runningSheet = nullptr;

// The button looks again where the pointer is: a move to (0, 0) would lie
// inside every button and leave it looking hot with the pointer elsewhere.
void HoverCheck(CTavoButton* button) {
    if (button == nullptr || button->Handle() == nullptr) return;
    POINT pointer = {};
    ::GetCursorPos(&pointer);
    ::ScreenToClient(button->Handle(), &pointer);
    ::SendMessageW(button->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(pointer.x, pointer.y));
}

void SetButtonCaption(CTavoButton* button, int stringId) {
    if (button == nullptr) return;
    std::wstring caption = GetLangString(stringId);
    button->SetCaption(caption);
    if (button->Handle() != nullptr) ::SetWindowTextW(button->Handle(), caption.c_str());
}

void Redraw(CTavoButton* button) {
    if (button != nullptr && button->Handle() != nullptr) {
        ::InvalidateRect(button->Handle(), nullptr, TRUE);
        ::UpdateWindow(button->Handle());
    }
}

void ShowButton(CTavoButton* button, bool show) {
    if (button != nullptr && button->Handle() != nullptr) ::ShowWindow(button->Handle(), show ? SW_SHOW : SW_HIDE);
}
}  // namespace

CTavoSheet* RunningSheet() { return runningSheet; }

CTavoSheet::CTavoSheet(const std::wstring& displayName) : CPropertySheetBase(displayName), displayName_(displayName) {
    for (WizardPage kind : {WizardPage::Language, WizardPage::Welcome, WizardPage::Requirements, WizardPage::License,
                            WizardPage::DirChange, WizardPage::Extractor, WizardPage::AutoLaunch, WizardPage::Finish})
        PageOf(kind)->SetTitle(displayName);
    UseHeaderBand();
}

CTavoSheet::~CTavoSheet() {
    if (runningSheet == this) runningSheet = nullptr;
}

CTavoPage* CTavoSheet::PageOf(WizardPage kind) {
    switch (kind) {
    case WizardPage::Language:
        return &languagePage_;
    case WizardPage::Welcome:
        return &welcomePage_;
    case WizardPage::Requirements:
        return &requirementsPage_;
    case WizardPage::License:
        return &licensePage_;
    case WizardPage::DirChange:
        return &dirChangePage_;
    case WizardPage::Extractor:
        return &extractorPage_;
    case WizardPage::AutoLaunch:
        return &autoLaunchPage_;
    case WizardPage::Finish:
        return &finishPage_;
    case WizardPage::None:
        break;
    }
    return nullptr;
}

void CTavoSheet::AddPages(const std::vector<WizardPage>& sequence) {
    for (WizardPage kind : sequence) AddPage(PageOf(kind));
}

WizardPage CTavoSheet::CurrentKind() const {
    auto* page = static_cast<CTavoPage*>(GetActivePage());
    return page != nullptr ? page->Kind() : WizardPage::None;
}

INT_PTR CTavoSheet::Run() {
    runningSheet = this;
    INT_PTR result = DoModal(nullptr);
    if (zel::GetApp() != nullptr) zel::GetApp()->SetMainWindow(nullptr);
    runningSheet = nullptr;
    return result;
}

void CTavoSheet::OnPreCreate(DLGTEMPLATE* dialogTemplate) {
    if (WizardHost().CjkUi()) SwitchDialogFont(dialogTemplate, L"Arial", 8);
}

// ---- set-up ----

void CTavoSheet::OnInitialized() {
    HWND hwnd = Handle();
    outcome_.SheetShown = true;
    if (zel::GetApp() != nullptr) zel::GetApp()->SetMainWindow(hwnd);

    HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconId));
    ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

    ::SetWindowLongPtrW(hwnd, GWL_STYLE, ::GetWindowLongPtrW(hwnd, GWL_STYLE) | WS_MINIMIZEBOX | WS_SYSMENU);
    ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    ::AppendMenuW(::GetSystemMenu(hwnd, FALSE), MF_STRING, SC_MINIMIZE, L"Minimize");

    if (HWND help = ::GetDlgItem(hwnd, IDHELP)) ::ShowWindow(help, SW_HIDE);
    for (int id : {IDC_BACK_BUTTON, IDC_NEXT_BUTTON, IDCANCEL, IDC_FINISH_BUTTON}) {
        if (HWND button = ::GetDlgItem(hwnd, id)) {
            ::ShowWindow(button, SW_HIDE);
            ::EnableWindow(button, FALSE);
        }
    }
    // The button band is the bottom banner's: no line runs across it.
    if (HWND line = ::GetDlgItem(hwnd, kPlatformSeparatorId)) ::ShowWindow(line, SW_HIDE);

    if (!WizardHost().BottomImagePath().empty()) bottomBanner_.LoadFromFile(WizardHost().BottomImagePath());
    if (!WizardHost().TopImagePath().empty()) topBanner_.LoadFromFile(WizardHost().TopImagePath());

    std::wstring setupType = CSettingsFile(theInitializer.SettingsFilePath).GetString(L"Package", L"Setuptype");
    if (::_wcsicmp(setupType.c_str(), L"PLUS") != 0) {
        theLog.LogMessage(8, L"Setuptype", L"%s", L"Classic");
        CreateTitle();
    } else {
        theLog.LogMessage(8, L"Setuptype", L"%s", L"PLUS");
    }

    RECT client = {};
    ::GetClientRect(hwnd, &client);
    if (HWND page = PropSheet_GetCurrentPageHwnd(hwnd)) {
        ::GetWindowRect(page, &pageRect_);
        ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&pageRect_), 2);
    }
    pageBottom_ = pageRect_.bottom;
    bandHeight_ = client.bottom - pageBottom_;

    CreateButtonBar();
    SetButtonCaptions(L"");

    ready_ = 1;
    startPage_ = static_cast<CTavoPage*>(GetActivePage());
    WizardHost().SetStartPageSet();
    if (startPage_ != nullptr) startPage_->OnInitDialog();
}

void CTavoSheet::CreateTitle() {
    HWND hwnd = Handle();
    RECT window = {};
    ::GetWindowRect(hwnd, &window);
    // Measured from the window's own left edge, so that the title stays at
    // the top right wherever the window stands on the screen.
    const int windowWidth = window.right - window.left;
    const int x = static_cast<int>(0.26f * static_cast<float>(windowWidth));
    const int width = windowWidth - x - 10;
    title_ = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_RIGHT, x, 20, width, 20, hwnd,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SHEET_TITLE)),
                               ::GetModuleHandleW(nullptr), nullptr);
    const LogFontSpec& f = WizardHost().HeadingFont();
    titleFont_.reset(::CreateFontW(f.Height, 0, 0, 0, f.Weight, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, 0,
                                   f.Face.c_str()));
    ::SendMessageW(title_, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_.get()), FALSE);
    SetFittedText(IDC_SHEET_TITLE, displayName_, FitForm::EndEllipsis);
}

void CTavoSheet::CreateButtonBar() {
    const COLORREF colour = zel::ButtonBackgroundFromBanner(bottomBanner_);

    const int right = pageRect_.right;
    const int y = pageBottom_ + bandHeight_ / 2 - 15;
    struct Spec {
        std::unique_ptr<CTavoButton>* Button;
        int Id;
        int StringId;
        int Left;
        int Right;
    };
    const Spec specs[] = {
        {&backButton_, IDC_BACK_BUTTON, 110, right - 356, right - 246},
        {&nextButton_, IDC_NEXT_BUTTON, 111, right - 244, right - 136},
        {&cancelButton_, IDCANCEL, 112, right - 134, right - 26},
        {&finishButton_, IDC_FINISH_BUTTON, 114, right - 134, right - 26},
    };
    for (const Spec& spec : specs) {
        auto button = std::make_unique<CTavoButton>(GetLangString(spec.StringId), Handle());
        RECT rect = {spec.Left, y, spec.Right, y + kButtonHeight};
        button->Create(Handle(), spec.Id, rect, WS_CHILD | WS_VISIBLE | WS_TABSTOP);
        button->SetBackgroundColour(colour);
        button->SetEnabledLook(1);
        button->SetFocusedFlag(0);
        *spec.Button = std::move(button);
    }
    ShowButton(finishButton_.get(), false);
    if (finishButton_->Handle() != nullptr) ::EnableWindow(finishButton_->Handle(), FALSE);
}

// ---- button services ----

void CTavoSheet::ShowButtons(const std::wstring& names, int show) {
    ButtonSet set = ParseButtonNames(names);
    ShowButton(backButton_.get(), true);
    ShowButton(nextButton_.get(), true);
    if (set.Back) ShowButton(backButton_.get(), show != 0);
    if (set.Next) ShowButton(nextButton_.get(), show != 0);
    if (set.Finish) ShowButton(finishButton_.get(), show != 0);
    if (set.Cancel) ShowButton(cancelButton_.get(), show != 0);
}

void CTavoSheet::EnableButtons(const std::wstring& names, int enable) {
    ButtonSet set = ParseButtonNames(names);
    auto apply = [&](CTavoButton* button, bool named, bool clearsOnDisable) {
        if (!named || button == nullptr || button->Handle() == nullptr) return;
        button->SetEnabledLook(enable);
        ::EnableWindow(button->Handle(), enable ? TRUE : FALSE);
        if (clearsOnDisable && !enable) {
            Redraw(button);
            button->SetFocusedFlag(0);
        } else {
            button->SetNormalLook();
        }
        HoverCheck(button);
    };
    apply(backButton_.get(), set.Back, false);
    apply(nextButton_.get(), set.Next, true);
    apply(finishButton_.get(), set.Finish, false);
    apply(cancelButton_.get(), set.Cancel, true);
}

void CTavoSheet::SetButtonCaptions(const std::wstring& mode) {
    if (mode == L"FINISH")
        SetButtonCaption(finishButton_.get(), 114);
    else
        SetButtonCaption(cancelButton_.get(), 112);
    if (mode == L"RETRY") {
        SetButtonCaption(nextButton_.get(), 115);
        if (Handle() != nullptr) ::SendMessageW(Handle(), DM_SETDEFID, IDC_NEXT_BUTTON, 0);
    } else {
        SetButtonCaption(nextButton_.get(), 111);
    }
    SetButtonCaption(backButton_.get(), 110);
    Redraw(backButton_.get());
    Redraw(cancelButton_.get());
    Redraw(nextButton_.get());
}

void CTavoSheet::SetNavigationButtons(int first, int keep) {
    if (first) {
        ShowButtons(L"BACK", 0);
        if (!keep) EnableButtons(L"NEXT,CANCEL", 1);
    } else {
        ShowButtons(L"", 0);
        ShowButtons(L"NEXT", 1);
        EnableButtons(L"BACK,NEXT,CANCEL", 1);
    }
}

void CTavoSheet::SetDefaultButton(int id) {
    if (HWND page = Handle() != nullptr ? PropSheet_GetCurrentPageHwnd(Handle()) : nullptr)
        ::SendMessageW(page, DM_SETDEFID, static_cast<WPARAM>(id), 0);
}

void CTavoSheet::FocusBackButton() {
    if (!backButton_) return;
    backButton_->SetFocusedFlag(1);
    backButton_->SetFocusedLook();
    ::SetFocus(backButton_->Handle());
    SetDefaultButton(IDC_BACK_BUTTON);
    for (CTavoButton* other : {nextButton_.get(), cancelButton_.get()}) {
        other->SetFocusedFlag(0);
        other->SetNormalLook();
    }
    for (CTavoButton* touched : {backButton_.get(), nextButton_.get(), cancelButton_.get()}) HoverCheck(touched);
}

void CTavoSheet::FocusNextButton(int take) {
    if (!nextButton_) return;
    cancelButton_->SetFocusedFlag(0);
    cancelButton_->SetNormalLook();
    if (nextButton_->IsEnabledLook()) {
        nextButton_->SetFocusedFlag(1);
        nextButton_->SetFocusedLook();
        if (take) ::SetFocus(nextButton_->Handle());
    } else {
        nextButton_->SetFocusedFlag(0);
        cancelButton_->SetFocusedFlag(1);
        cancelButton_->SetFocusedLook();
        ::SetFocus(cancelButton_->Handle());
    }
    backButton_->SetFocusedFlag(0);
    backButton_->SetNormalLook();
    for (CTavoButton* touched : {backButton_.get(), nextButton_.get(), cancelButton_.get()}) HoverCheck(touched);
}

void CTavoSheet::FocusCancelButton() {
    if (!cancelButton_) return;
    cancelButton_->SetFocusedFlag(1);
    cancelButton_->SetFocusedLook();
    ::SetFocus(cancelButton_->Handle());
    for (CTavoButton* other : {nextButton_.get(), backButton_.get()}) {
        other->SetFocusedFlag(0);
        other->SetNormalLook();
    }
    for (CTavoButton* touched : {backButton_.get(), nextButton_.get(), cancelButton_.get()}) HoverCheck(touched);
}

void CTavoSheet::FocusFinishButton() {
    if (!finishButton_) return;
    finishButton_->SetFocusedFlag(1);
    finishButton_->SetFocusedLook();
    ::SetFocus(finishButton_->Handle());
    ::SendMessageW(Handle(), DM_SETDEFID, IDC_FINISH_BUTTON, 0);
    HoverCheck(finishButton_.get());
}

void CTavoSheet::SetCloseEnabled(int state) {
    if (state != 0 && state != 5) return;
    closeEnabled_ = state == 5 ? 1 : 0;
    if (Handle() != nullptr)
        ::EnableMenuItem(::GetSystemMenu(Handle(), FALSE), SC_CLOSE,
                         MF_BYCOMMAND | (closeEnabled_ ? MF_ENABLED : MF_GRAYED));
}

void CTavoSheet::SetFittedText(int controlId, const std::wstring& text, FitForm form) {
    HWND control = Handle() != nullptr ? ::GetDlgItem(Handle(), controlId) : nullptr;
    if (control == nullptr) return;
    const auto options =
        zel::FitOptions::Sheet(form == FitForm::LeadingEllipsis ? zel::EllipsisForm::Leading : zel::EllipsisForm::End);
    zel::SetFittedControlText(control, text, options);
}

// ---- cancel ----

int CTavoSheet::QueryCancel() {
    const WizardPage current = CurrentKind();
    const CancelPlan plan = PlanCancel(current);
    if (plan.PauseWorker) {
        ::Sleep(100);
        RunHost().ExtractionWorker().Pause();
        ::Sleep(10);
    }
    if (!plan.Ask) return plan.Result;
    // One question at a time: a second request while it is open is declined.
    if (inCancelQuestion_) {
        if (plan.PauseWorker) RunHost().ExtractionWorker().Resume();
        return kCancelDeclined;
    }

    inCancelQuestion_ = true;
    const int answer = zel::AppMessageBox(GetLangString(113), MB_YESNO);
    inCancelQuestion_ = false;
    if (answer != IDYES) {
        if (plan.PauseWorker) RunHost().ExtractionWorker().Resume();
        return kCancelDeclined;
    }

    ContinueExtraction = 0;
    outcome_.CancelConfirmed = true;
    outcome_.CancelledOn = current;
    if (plan.RunLaunchFinished) autoLaunchPage_.OnLaunchSetupFinish();
    if (current != WizardPage::None) {
        theInitializer.SetFinishStatus(11);
        if (plan.SetCancelRequested) CancelRequested = 1;
        if (!plan.LogLine.empty()) theLog.LogUnnamed(8, L"%s", plan.LogLine.c_str());
        if (plan.StopWorker) {
            LetWorkerFinish();
            RunHost().ExtractionWorker().Stop();
            ContinueExtraction = 0;
        }
        theInitializer.SetFinishStatus(plan.FinishStatus);
    }
    return plan.Result;
}

int CTavoSheet::CancelToFinish() {
    int result = QueryCancel();
    if (result == kCancelConfirmed) JumpToFinish();
    return result;
}

void CTavoSheet::JumpToFinish() { SetActivePage(&finishPage_); }

void CTavoSheet::ApplyFollowUp(CancelFollowUp followUp) {
    switch (followUp) {
    case CancelFollowUp::JumpToFinish:
        JumpToFinish();
        break;
    case CancelFollowUp::ClickFinish:
        ClickButton(finishButton_.get());
        break;
    case CancelFollowUp::CloseWindow:
        closing_ = true;
        Default(WM_CLOSE, 0, 0);
        closing_ = false;
        break;
    case CancelFollowUp::None:
        break;
    }
}

int CTavoSheet::AskPasswordIfRequired() {
    if (passwordAccepted_) return 0;
    if (CSettingsFile(theInitializer.SettingsFilePath).GetString(L"Runtime", L"ExtractPasswordRequired") != L"1")
        return 0;
    CExtractPassword dialog(WizardHost().StoredPassword(), [this] { return CancelToFinish(); }, Handle());
    passwordAccepted_ = dialog.DoModal() == IDOK;
    return passwordAccepted_ ? 0 : -1;
}

void CTavoSheet::NoteExtraction(bool succeeded) {
    outcome_.Extracted = succeeded;
    outcome_.ExtractionFailed = !succeeded;
}

// ---- messages ----

void CTavoSheet::ClickButton(CTavoButton* button) {
    if (button != nullptr && button->Handle() != nullptr) ::SendMessageW(button->Handle(), BM_CLICK, 0, 0);
}

ButtonRole CTavoSheet::RoleOf(HWND window) const {
    if (CTavoButton::FromHandle(window) == nullptr) return ButtonRole::None;
    return RoleOfButtonId(::GetDlgCtrlID(window));
}

bool CTavoSheet::TakesPress(int button) const {
    const CTavoButton* owner = button == PSBTN_BACK   ? backButton_.get()
                               : button == PSBTN_NEXT ? nextButton_.get()
                               : button == PSBTN_FINISH ? finishButton_.get()
                                                        : nullptr;
    if (owner == nullptr || owner->Handle() == nullptr) return false;
    return ::IsWindowEnabled(owner->Handle()) && ::IsWindowVisible(owner->Handle());
}

void CTavoSheet::OnButtonPressed(int id) {
    switch (id) {
    case IDC_BACK_BUTTON:
        PressBack();
        break;
    case IDC_NEXT_BUTTON:
        PressNext();
        break;
    case IDC_FINISH_BUTTON:
        PressFinish();
        break;
    case IDCANCEL:
        CancelToFinish();
        break;
    default:
        break;
    }
}

BOOL CTavoSheet::PreTranslateMessage(MSG* msg) {
    if (!ready_ || (msg->message != WM_KEYDOWN && msg->message != WM_KEYUP)) return FALSE;
    KeyContext context;
    context.Message = msg->message;
    context.Key = msg->wParam;
    context.Shift = ::GetKeyState(VK_SHIFT) < 0;
    HWND focus = ::GetFocus();
    context.HasFocus = focus != nullptr;
    context.Focus = RoleOf(focus);
    context.FocusId = focus != nullptr ? ::GetDlgCtrlID(focus) : 0;
    HWND tabTarget = nullptr;
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_TAB) {
        tabTarget = ::GetNextDlgTabItem(Handle(), focus, context.Shift ? TRUE : FALSE);
        context.TabTarget = RoleOf(tabTarget);
    }
    context.Current = CurrentKind();
    context.NextEnabled = nextButton_ && ::IsWindowEnabled(nextButton_->Handle());

    const KeyDecision decision = FilterKey(context);
    switch (decision.Focus) {
    case FocusMove::Back:
        FocusBackButton();
        break;
    case FocusMove::NextTake:
        FocusNextButton(1);
        break;
    case FocusMove::NextKeep:
        FocusNextButton(0);
        break;
    case FocusMove::Cancel:
        FocusCancelButton();
        break;
    case FocusMove::Finish:
        FocusFinishButton();
        break;
    case FocusMove::Browse:
        dirChangePage_.FocusBrowseButton();
        break;
    case FocusMove::None:
        break;
    }
    switch (decision.Click) {
    case ClickTarget::Next:
        ClickButton(nextButton_.get());
        break;
    case ClickTarget::Finish:
        ClickButton(finishButton_.get());
        break;
    case ClickTarget::Cancel:
        ClickButton(cancelButton_.get());
        break;
    case ClickTarget::Focused:
        ClickButton(CTavoButton::FromHandle(focus));
        break;
    case ClickTarget::None:
        break;
    }
    if (decision.AskCancel) {
        const int result = QueryCancel();
        ApplyFollowUp(FollowUpForCancel(CancelCaller::Escape, result, CurrentKind() == WizardPage::Finish));
    }
    return decision.Consumed ? TRUE : FALSE;
}

void CTavoSheet::OnSysClose(LPARAM lParam) {
    if (lParam == 0 && !closeEnabled_) return;
    const int result = QueryCancel();
    ApplyFollowUp(FollowUpForCancel(CancelCaller::Close, result, CurrentKind() == WizardPage::Finish));
}

void CTavoSheet::Paint() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(Handle(), &paint);
    RECT client = {};
    ::GetClientRect(Handle(), &client);
    bottomBanner_.Draw(dc, 0, pageBottom_, client.right, bandHeight_);
    topBanner_.Draw(dc, 0, 0, client.right, kTopBannerHeight);
    ::EndPaint(Handle(), &paint);
}

BOOL CTavoSheet::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_ERASEBKGND: {
        if (!backgroundBrush_) backgroundBrush_.reset(::CreateSolidBrush(kBackground));
        RECT client = {};
        ::GetClientRect(Handle(), &client);
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, static_cast<HBRUSH>(backgroundBrush_.get()));
        result = 1;
        return TRUE;
    }
    case WM_PAINT:
        if (!ready_) return FALSE;
        Paint();
        result = 0;
        return TRUE;
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetBkMode(dc, TRANSPARENT);
        // White is meant for the banner; without one it would vanish on the grey.
        ::SetTextColor(dc, topBanner_.Loaded() ? RGB(255, 255, 255) : ::GetSysColor(COLOR_WINDOWTEXT));
        result = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
        return TRUE;
    }
    case WM_HELP:
        result = TRUE;
        return TRUE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != SC_CLOSE) return FALSE;
        OnSysClose(lParam);
        result = 0;
        return TRUE;
    case WM_CLOSE:
        // A close request from outside asks like the close box does; the
        // platform would otherwise end the wizard without a word.
        if (closing_) return FALSE;
        OnSysClose(0);
        result = 0;
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDCANCEL && LOWORD(wParam) != 5) return FALSE;
        if (QueryCancel() == kCancelConfirmed) JumpToFinish();
        result = 0;
        return TRUE;
    case WM_DRAWITEM:
        if (!CTavoButton::ReflectDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return FALSE;
        result = TRUE;
        return TRUE;
    case WM_ZEL_BUTTON_CLICKED:
        OnButtonPressed(static_cast<int>(wParam));
        result = 1;
        return TRUE;
    case WM_ZEL_GO_TO_FINISH:
        JumpToFinish();
        result = 1;
        return TRUE;
    default:
        return FALSE;
    }
}

// ---- the launch's side of the sheet ----

bool CTavoSheet::WindowExists() const { return Handle() != nullptr && ::IsWindow(Handle()); }

void CTavoSheet::ShowWindow(bool show) {
    if (WindowExists()) ::ShowWindow(Handle(), show ? SW_SHOW : SW_HIDE);
}

bool CTavoSheet::InstallationPageExists() const {
    return PageIndex(&autoLaunchPage_) >= 0 && autoLaunchPage_.Handle() != nullptr;
}

void CTavoSheet::DispatchPendingMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void CTavoSheet::SetInstallationProgress(int value) {
    if (autoLaunchPage_.Handle() != nullptr)
        ::SendDlgItemMessageW(autoLaunchPage_.Handle(), 1064, PBM_SETPOS, static_cast<WPARAM>(value), 0);
}

namespace {
bool OnThreadOf(HWND window) {
    return window != nullptr && ::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId();
}
}  // namespace

void CTavoSheet::LaunchFinished() {
    if (OnThreadOf(autoLaunchPage_.Handle()))
        autoLaunchPage_.OnLaunchSetupFinish();
    else if (autoLaunchPage_.Handle() != nullptr)
        ::PostMessageW(autoLaunchPage_.Handle(), WM_ZEL_LAUNCH_ENDED, 0, 0);
}

void CTavoSheet::MoveToFinishPage() {
    if (OnThreadOf(Handle()))
        JumpToFinish();
    else if (WindowExists())
        ::PostMessageW(Handle(), WM_ZEL_GO_TO_FINISH, 0, 0);
}

int CTavoSheet::RunLaunch() {
    LaunchServices services = DefaultLaunchServices();
    services.Sheet = this;
    return CAutolaunchSequence(services).HandleLaunchSetup();
}
