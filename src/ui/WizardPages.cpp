// What the pages share, and the extraction location page.
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

// The sheet's title lies over the page: redrawn through the sheet, it stays
// on top instead of being painted over.
void CTavoPage::RepaintUnderPage() const {
    HWND sheet = ::GetParent(Handle());
    if (sheet == nullptr) {
        ::RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        return;
    }
    RECT area = {};
    ::GetWindowRect(Handle(), &area);
    ::MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&area), 2);
    ::RedrawWindow(sheet, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
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

// ---- extraction location ----

void CDirChangePage::SetTexts() {
    ::SetDlgItemTextW(Handle(), 1003, GetLangString(400).c_str());
    ::SetDlgItemTextW(Handle(), 1043, GetLangString(416).c_str());
    std::wstring& path = theInitializer.ExtractionPath;
    std::wstring expanded = CUtilPaths::ExpandPathVariable(path);
    if (!expanded.empty()) path = expanded;
    ::SetDlgItemTextW(Handle(), 1000, path.c_str());
    ::SetDlgItemTextW(Handle(), 1004, GetLangString(401).c_str());
    ::SetDlgItemTextW(Handle(), 1023, GetLangString(402).c_str());
}

BOOL CDirChangePage::OnInitDialog() {
    if (!SheetReady()) return TRUE;
    CTavoSheet& sheet = TavoSheet();
    const bool first = IsStartPage() || (sheet.RequirementsPassed && sheet.GetActiveIndex() == 1);
    sheet.SetNavigationButtons(first ? 1 : 0, 0);
    CreateFonts();
    SetHeadingFont(1003);
    for (int id : {1044, 1004, 1023, 1043}) SetBodyFont(id);
    theInitializer.SetExtractOnly(0);
    SetTexts();
    sheet.FocusNextButton(1);
    sheet.SetDefaultButton(IDC_NEXT_BUTTON);
    if (first) sheet.AskPasswordIfRequired();
    return TRUE;
}

BOOL CDirChangePage::OnSetActive() {
    if (!SheetReady()) return TRUE;
    CTavoSheet& sheet = TavoSheet();
    SetTexts();
    sheet.SetButtonCaptions(L"");
    const bool first = IsStartPage() || (sheet.RequirementsPassed && sheet.GetActiveIndex() == 1);
    sheet.SetNavigationButtons(first ? 1 : 0, 0);
    sheet.FocusNextButton(1);
    sheet.SetDefaultButton(IDC_NEXT_BUTTON);
    return TRUE;
}

BOOL CDirChangePage::OnCommand(WPARAM wParam, LPARAM) {
    if (LOWORD(wParam) != 1000 || HIWORD(wParam) != EN_CHANGE) return FALSE;
    wchar_t text[1024] = {};
    ::GetDlgItemTextW(Handle(), 1000, text, 1024);
    theInitializer.ExtractionPath = text;
    return TRUE;
}

LRESULT CDirChangePage::OnWizardNext() {
    const wchar_t* source = L"DirChangePage::OnWizardNext";
    wchar_t text[1024] = {};
    ::GetDlgItemTextW(Handle(), 1000, text, 1024);
    std::wstring path = text;
    const bool overwrite = ::IsDlgButtonChecked(Handle(), 1023) == BST_CHECKED;
    theInitializer.OverwriteWithoutPrompting = overwrite ? 1 : 0;
    theLog.LogMessage(8, source, L"%s",
                      overwrite ? L"Overwrite check box is checked" : L"Overwrite check box is unchecked");
    const std::uint64_t required = CabSize(path, theInitializer.WorkingFolder, theInitializer.MultiPartDownload,
                                           theInitializer.SettingsFilePath);
    std::wstring expanded = CUtilPaths::ExpandPathVariable(path);
    if (!expanded.empty()) path = expanded;
    if (theValidator.ValidatePathAndSpaceAvailable(path, 1, required) != 0) return -1;
    theInitializer.SetExtractionPath(path);
    return 0;
}
