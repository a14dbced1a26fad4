// What the pages share, and the extraction location page.
#include "ui/WizardPages.h"

#include "core/Messages.h"
#include "core/RunFlags.h"
#include "framework/WinApp.h"
#include "ui/WizardHost.h"
#include "checks/ExtractorValidator.h"
#include "logging/LogFile.h"
#include "logging/WorkerLog.h"
#include "payload/ExtractionDriver.h"
#include "payload/Initializer.h"
#include "payload/LanguageTexts.h"
#include "platform/SettingsFile.h"
#include "platform/UtilPaths.h"
#include "ui/ControlText.h"
#include "ui/TavoSheet.h"

#include <commctrl.h>

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

void CTavoPage::StartBar(int id) const {
    ::SendDlgItemMessageW(Handle(), id, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    ::SendDlgItemMessageW(Handle(), id, PBM_SETPOS, 1, 0);
}

BOOL CTavoPage::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    switch (message) {
    // A line the worker hands to the page it runs under.
    case WM_ZEL_LOG_LINE:
        if (wParam != 0) WriteLogRecord(*reinterpret_cast<const LogRecord*>(wParam));
        result = 1;
        return TRUE;
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

