// The pages before the extraction: welcome, language, requirements, license
// and extraction location.
#include "ui/WizardPages.h"

#include "core/RunFlags.h"
#include "framework/WinApp.h"
#include "ui/WizardHost.h"
#include "checks/ExtractorValidator.h"
#include "logging/LogFile.h"
#include "payload/ExtractionDriver.h"
#include "payload/Initializer.h"
#include "payload/LanguageTexts.h"
#include "platform/SettingsFile.h"
#include "platform/UtilPaths.h"
#include "ui/ControlText.h"
#include "ui/TavoSheet.h"

#include <cstdint>

namespace {
constexpr COLORREF kPageBackground = RGB(240, 240, 240);
constexpr int kBannerHeight = 60;

HBRUSH PageBrush() {
    static zel::UniqueGdiObject brush(::CreateSolidBrush(kPageBackground));
    return static_cast<HBRUSH>(brush.get());
}

HGDIOBJ MakeFont(const LogFontSpec& spec) {
    return ::CreateFontW(spec.Height, 0, 0, 0, spec.Weight, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, 0,
                         spec.Face.c_str());
}

std::wstring RuntimeSetting(const wchar_t* key) {
    return CSettingsFile(theInitializer.SettingsFilePath).GetString(L"Runtime", key);
}

std::wstring DialogsSetting(const wchar_t* key) {
    return CSettingsFile(theInitializer.SettingsFilePath).GetString(L"Dialogs", key);
}
}  // namespace

// ---- shared ----

CTavoPage::CTavoPage(UINT templateId, WizardPage kind, bool hideHeader, bool drawsBanner)
    : CPropertyPageBase(templateId), kind_(kind), drawsBanner_(drawsBanner) {
    SetHideHeader(hideHeader);
}

CTavoSheet& CTavoPage::TavoSheet() const { return *static_cast<CTavoSheet*>(Sheet()); }

bool CTavoPage::SheetReady() const { return Sheet() != nullptr && TavoSheet().Ready() != 0; }

bool CTavoPage::IsStartPage() const { return Sheet() != nullptr && TavoSheet().StartPage() == this; }

void CTavoPage::CreateFonts() {
    if (!headingFont_) headingFont_.reset(MakeFont(WizardHost().HeadingFont()));
    if (!bodyFont_) bodyFont_.reset(MakeFont(WizardHost().BodyFont()));
}

void CTavoPage::SetFont(int id, HGDIOBJ font) const {
    if (font != nullptr) ::SendDlgItemMessageW(Handle(), id, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void CTavoPage::SetTextFromString(int controlId, int stringId, const std::wstring& placeholder,
                                  const std::wstring& value) {
    ::SetDlgItemTextW(Handle(), controlId, zel::FillStringTemplate(GetLangString(stringId), placeholder, value).c_str());
}

void CTavoPage::SetHeadingAndStatus(int headingId, int headingString, int statusId, int statusString) {
    for (auto [id, stringId] : {std::pair{headingId, headingString}, {statusId, statusString}}) {
        zel::SetFittedControlText(::GetDlgItem(Handle(), id), GetLangString(stringId), zel::FitOptions::Unpadded());
    }
    RepaintUnderPage();
}

void CTavoPage::RepaintUnderPage() const {
    ::RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

BOOL CTavoPage::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    switch (message) {
    case WM_ERASEBKGND: {
        RECT client = {};
        ::GetClientRect(Handle(), &client);
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, PageBrush());
        result = 1;
        return TRUE;
    }
    case WM_CTLCOLORDLG:
        result = reinterpret_cast<LRESULT>(PageBrush());
        return TRUE;
    case WM_CTLCOLORSTATIC:
        ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        result = reinterpret_cast<LRESULT>(PageBrush());
        return TRUE;
    case WM_PAINT: {
        if (!drawsBanner_) return FALSE;
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(Handle(), &paint);
        RECT client = {};
        ::GetClientRect(Handle(), &client);
        WizardHost().TopImage().Draw(dc, 0, 0, client.right, kBannerHeight);
        ::EndPaint(Handle(), &paint);
        result = 0;
        return TRUE;
    }
    default:
        return FALSE;
    }
}

// ---- welcome ----

BOOL CWelcomePage::OnInitDialog() {
    if (!SheetReady()) return TRUE;
    CreateFonts();
    TavoSheet().SetButtonCaptions(L"");
    SetHeadingFont(1047);
    if (RuntimeSetting(L"DisplayWelcomeImage") == L"1")
        theLog.LogMessage(8, L"DisplayWelcomeImage", L"%s", L"Displaying the Welcome image");
    Activate();
    return TRUE;
}

void CWelcomePage::Activate() {
    CTavoSheet& sheet = TavoSheet();
    sheet.ShowButtons(L"BACK", 0);
    sheet.EnableButtons(L"NEXT,CANCEL", 1);
    LoadLanguageFile(theInitializer.GetSetupLanguage(), theInitializer.GetWorkingFolder());
    sheet.SetButtonCaptions(L"");
    ::SetWindowTextW(Handle(), WizardHost().DisplayName().c_str());
    ::SetDlgItemTextW(Handle(), 1047,
                      ReplaceTokens(GetLangString(200), {{L"[PACKAGEDISPLAYNAME]", WizardHost().DisplayName()}}).c_str());
    sheet.FocusNextButton(1);
    sheet.SetDefaultButton(IDC_NEXT_BUTTON);
}

BOOL CWelcomePage::OnSetActive() {
    if (SheetReady()) Activate();
    return TRUE;
}

LRESULT CWelcomePage::OnWizardNext() {
    // With a language page next, that page asks for the password instead.
    if (DialogsSetting(L"LanguageDialog") != L"1" && TavoSheet().AskPasswordIfRequired() == -1) return -1;
    return 0;
}

// ---- language ----

void CLanguagePage::SetHeading() {
    ::SetDlgItemTextW(Handle(), 1013,
                      ReplaceTokens(GetLangString(208), {{L"[PACKAGEDISPLAYNAME]", WizardHost().DisplayName()}}).c_str());
    RepaintUnderPage();
}

BOOL CLanguagePage::OnInitDialog() {
    if (!SheetReady()) return TRUE;
    CTavoSheet& sheet = TavoSheet();
    sheet.SetNavigationButtons(IsStartPage() ? 1 : 0, 0);
    LoadLanguageFile(theInitializer.GetSetupLanguage(), theInitializer.GetWorkingFolder());
    CreateFonts();
    sheet.SetButtonCaptions(L"");
    SetHeading();
    SetHeadingFont(1013);
    sheet.FocusNextButton(1);
    sheet.SetDefaultButton(IDC_NEXT_BUTTON);
    return TRUE;
}

BOOL CLanguagePage::OnSetActive() {
    if (!SheetReady()) return TRUE;
    CTavoSheet& sheet = TavoSheet();
    sheet.SetNavigationButtons(IsStartPage() ? 1 : 0, 0);
    SetHeading();
    sheet.FocusNextButton(1);
    sheet.SetDefaultButton(IDC_NEXT_BUTTON);
    sheet.SetButtonCaptions(L"");
    return TRUE;
}

LRESULT CLanguagePage::OnWizardNext() { return TavoSheet().AskPasswordIfRequired() == -1 ? -1 : 0; }

// ---- requirements ----

void CConditionCheck::SetTexts() {
    ::SetDlgItemTextW(Handle(), 1041,
                      ReplaceTokens(GetLangString(802), {{L"[PACKAGENAME]", WizardHost().DisplayName()}}).c_str());
    TavoSheet().SetButtonCaptions(L"RETRY");
}

BOOL CConditionCheck::OnInitDialog() {
    if (!SheetReady()) return TRUE;
    TavoSheet().SetNavigationButtons(IsStartPage() ? 1 : 0, 0);
    CreateFonts();
    SetHeadingFont(1041);
    SetBodyFont(1050);
    SetTexts();
    TavoSheet().FocusNextButton(1);
    TavoSheet().SetDefaultButton(IDC_NEXT_BUTTON);
    return TRUE;
}

BOOL CConditionCheck::OnSetActive() {
    if (!SheetReady()) return TRUE;
    CTavoSheet& sheet = TavoSheet();
    sheet.SetNavigationButtons(IsStartPage() ? 1 : 0, 0);
    sheet.SetButtonCaptions(L"");
    SetTexts();
    sheet.ShowButtons(L"", 0);
    sheet.ShowButtons(L"BACK,NEXT,CANCEL", 1);
    sheet.EnableButtons(L"BACK,NEXT,CANCEL", 1);
    sheet.FocusNextButton(1);
    sheet.SetDefaultButton(IDC_NEXT_BUTTON);
    return TRUE;
}

LRESULT CConditionCheck::OnWizardNext() {
    CTavoSheet& sheet = TavoSheet();
    sheet.SetButtonCaptions(L"RETRY");
    if (theValidator.CheckConditions(theInitializer.GetSetupLanguage()) == 1) {
        if (IsStartPage())
            sheet.RequirementsPassed = 1;
        else
            sheet.RemovePage(this);
        return 0;
    }
    ::SetDlgItemTextW(Handle(), 1041, L"");
    ::SetDlgItemTextW(Handle(), 1050, L"");
    RepaintUnderPage();
    ::Sleep(100);
    SetTexts();
    RepaintUnderPage();
    theInitializer.SetFinishStatus(-1);
    return -1;
}

// ---- license ----

BOOL CLicensePage::OnInitDialog() {
    if (!SheetReady()) return TRUE;
    CreateFonts();
    for (int id : {1056, 1060, 1020, 1021, 1059}) SetBodyFont(id);
    OnSetActive();
    return TRUE;
}

BOOL CLicensePage::OnSetActive() {
    if (!SheetReady()) return TRUE;
    CTavoSheet& sheet = TavoSheet();
    sheet.SetButtonCaptions(L"");
    for (auto [id, stringId] : {std::pair{1020, 302}, {1021, 303}, {1056, 300}, {1060, 304}})
        ::SetDlgItemTextW(Handle(), id, GetLangString(stringId).c_str());
    const int language = theInitializer.GetSetupLanguage();
    licenseFile_ = theValidator.CheckLicenseFiles(language, theInitializer.GetWorkingFolder(), 1);
    securityFile_ = theValidator.CheckLicenseFiles(language, theInitializer.GetWorkingFolder(), 2);
    ::ShowWindow(::GetDlgItem(Handle(), 1020), licenseFile_.empty() ? SW_HIDE : SW_SHOW);
    ::ShowWindow(::GetDlgItem(Handle(), 1021), securityFile_.empty() ? SW_HIDE : SW_SHOW);
    UpdateAcceptance();
    return TRUE;
}

void CLicensePage::UpdateAcceptance() {
    CTavoSheet& sheet = TavoSheet();
    const bool first = IsStartPage() || (sheet.RequirementsPassed && sheet.GetActiveIndex() == 1);
    const bool license = licenseFile_.empty() || ::IsDlgButtonChecked(Handle(), 1020) == BST_CHECKED;
    const bool security = securityFile_.empty() || ::IsDlgButtonChecked(Handle(), 1021) == BST_CHECKED;
    sheet.SetNavigationButtons(first ? 1 : 0, 1);
    if (license && security) {
        sheet.EnableButtons(L"NEXT,CANCEL", 1);
        sheet.FocusNextButton(1);
        sheet.SetDefaultButton(IDC_NEXT_BUTTON);
    } else {
        sheet.EnableButtons(L"NEXT", 0);
        sheet.FocusCancelButton();
        sheet.SetDefaultButton(IDCANCEL);
    }
}

BOOL CLicensePage::OnCommand(WPARAM wParam, LPARAM) {
    const int id = LOWORD(wParam);
    if (HIWORD(wParam) != BN_CLICKED || (id != 1020 && id != 1021)) return FALSE;
    if (::IsDlgButtonChecked(Handle(), id) == BST_CHECKED)
        theLog.LogMessage(8, id == 1020 ? L"License Agreement" : L"Security License Agreement", L"%s",
                          id == 1020 ? L"User has accepted the license agreement"
                                     : L"User has accepted the lSecurity icense agreement");
    UpdateAcceptance();
    return TRUE;
}
