// The license page: the documents of the selected language in a list with
// their state icons, a read-only viewer, and one acceptance box each.
#include "checks/ExtractorValidator.h"
#include "framework/CommonControls.h"
#include "framework/Handles.h"
#include "logging/LogFile.h"
#include "payload/Initializer.h"
#include "payload/LanguageTexts.h"
#include "platform/FileChecks.h"
#include "platform/Format.h"
#include "platform/SystemLibrary.h"
#include "ui/ControlText.h"
#include "ui/IntroLogic.h"
#include "ui/TavoSheet.h"
#include "ui/WizardPages.h"

#include <commctrl.h>

#include <cstring>

namespace {
constexpr int kNotAcceptedBitmap = 168;
constexpr int kAcceptedBitmap = 169;
constexpr int kIconSize = 14;
constexpr COLORREF kIconMask = RGB(255, 0, 255);
// A language file larger than this is no language file.
constexpr LONGLONG kMaxLabelFileBytes = 4 * 1024 * 1024;
// Rich-edit controls stop at 32 K characters unless told otherwise.
constexpr LPARAM kViewerTextLimit = 16 * 1024 * 1024;

bool IsChecked(HWND page, int id) { return ::IsDlgButtonChecked(page, id) == BST_CHECKED; }

void ShowControl(HWND page, int id, bool show) { ::ShowWindow(::GetDlgItem(page, id), show ? SW_SHOW : SW_HIDE); }
}  // namespace

// The viewer's window class lives in the rich-edit library, which must be
// there before the page's template is created.
CLicensePage::CLicensePage() : CTavoPage(IDD_LICENSE_PAGE, WizardPage::License, true, true) {
    static const HMODULE richEdit = zel::LoadSystemLibrary(L"riched20.dll");
    (void)richEdit;
}

// Asked while the page becomes current, when the platform still reports the
// page before it as the current one: the page's own place counts.
bool CLicensePage::IsFirst() const {
    const CTavoSheet& sheet = TavoSheet();
    return IsStartPage() || (sheet.RequirementsPassed != 0 && sheet.PageIndex(this) == 1);
}

BOOL CLicensePage::OnInitDialog() {
    if (!SheetReady()) return TRUE;
    CTavoSheet& sheet = TavoSheet();
    const bool first = IsFirst();
    sheet.SetNavigationButtons(first ? 1 : 0, 1);
    HWND viewer = ::GetDlgItem(Handle(), 1039);
    ::SendMessageW(viewer, EM_EXLIMITTEXT, 0, kViewerTextLimit);
    defaultFormat_.cbSize = sizeof(defaultFormat_);
    ::SendMessageW(viewer, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&defaultFormat_));
    ClearViewer();
    SetupDocumentList();
    CreateFonts();
    for (int id : {1056, 1060, 1020, 1021, 1059}) SetBodyFont(id);
    sheet.SetButtonCaptions(L"");
    sheet.EnableButtons(L"NEXT", 0);
    sheet.FocusCancelButton();
    OnSetActive();
    if (first && sheet.AskPasswordIfRequired() == -1) return -1;
    return TRUE;
}

void CLicensePage::SetupDocumentList() {
    HWND old = ::GetDlgItem(Handle(), 1059);
    RECT rect = {10, 49, 319, 73};
    if (old != nullptr) {
        ::GetWindowRect(old, &rect);
        ::MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&rect), 2);
        ::DestroyWindow(old);
    }
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_NOSORTHEADER |
                        LVS_SHOWSELALWAYS;
    HWND list = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", style, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, Handle(),
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(1059)), ::GetModuleHandleW(nullptr),
                                  nullptr);
    if (list == nullptr) {
        theLog.LogMessage(1, L"SetupDocumentList", L"The document list could not be created. Error %u",
                          static_cast<unsigned>(::GetLastError()));
        return;
    }
    // Keeps the tab order of the template: the list follows its caption.
    ::SetWindowPos(list, ::GetDlgItem(Handle(), 1056), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::EnableWindow(list, TRUE);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);

    // The list destroys the image list with itself.
    const zel::CommonControlsLibrary& controls = zel::CommonControls();
    HIMAGELIST images = controls.imageListCreate != nullptr
                            ? controls.imageListCreate(kIconSize, kIconSize, ILC_COLOR24 | ILC_MASK, 2, 10)
                            : nullptr;
    for (int id : {kNotAcceptedBitmap, kAcceptedBitmap}) {
        zel::UniqueGdiObject bitmap(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0,
                                                 0, LR_CREATEDIBSECTION));
        if (images != nullptr && controls.imageListAddMasked != nullptr && bitmap)
            controls.imageListAddMasked(images, static_cast<HBITMAP>(bitmap.get()), kIconMask);
    }
    ListView_SetImageList(list, images, LVSIL_SMALL);
    ListView_DeleteAllItems(list);

    RECT client = {};
    ::GetClientRect(list, &client);
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = client.right - client.left;
    wchar_t title[] = L"Item Name";
    column.pszText = title;
    ListView_InsertColumn(list, 0, &column);
}

BOOL CLicensePage::OnSetActive() {
    if (!SheetReady()) return TRUE;
    CTavoSheet& sheet = TavoSheet();
    sheet.SetButtonCaptions(L"");
    for (auto [id, stringId] : {std::pair{1020, 302}, {1021, 303}, {1056, 300}, {1060, 304}})
        SetFittedString(id, stringId);
    const int language = theInitializer.GetSetupLanguage();
    const std::wstring& folder = theInitializer.GetWorkingFolder();
    licenseFile_ = theValidator.CheckLicenseFiles(language, folder, 1);
    securityFile_ = theValidator.CheckLicenseFiles(language, folder, 2);
    licenseItem_ = -1;
    securityItem_ = -1;
    BuildDocumentList();
    ClearViewer();
    if (!currentDocument_.empty()) LoadDocument(currentDocument_);
    sheet.EnableButtons(L"NEXT", 0);
    UpdateAcceptance();
    return TRUE;
}

void CLicensePage::BuildDocumentList() {
    HWND page = Handle();
    HWND list = ::GetDlgItem(page, 1059);
    ListView_DeleteAllItems(list);
    const DocumentList plan = PlanDocumentList(licenseFile_, securityFile_);
    currentDocument_ = plan.Shown;
    // The positions are known before any item goes in: inserting one
    // already reports item changes.
    licenseItem_ = plan.LicenseItem;
    securityItem_ = plan.SecurityItem;
    if (plan.LicenseItem >= 0) {
        ShowControl(page, 1020, true);
        AddDocumentItem(plan.LicenseItem, 304);
        SetItemImage(plan.LicenseItem, IsChecked(page, 1020) ? 1 : 0);
    } else {
        ShowControl(page, 1020, false);
        ::SetDlgItemTextW(page, 1060, L"");
    }
    if (plan.SecurityItem >= 0) {
        ShowControl(page, 1021, true);
        AddDocumentItem(plan.SecurityItem, 305);
        SetItemImage(plan.SecurityItem, IsChecked(page, 1021) ? 1 : 0);
    } else {
        ShowControl(page, 1021, false);
        ::SetDlgItemTextW(page, 1060, L"");
    }
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetSelectionMark(list, 0);
}

namespace {
// The lines of a UTF-16LE text file, each without its line feed; false when
// the file cannot be read.
bool ReadUtf16Lines(const std::wstring& path, std::vector<std::wstring>& lines) {
    zel::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file.valid() || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxLabelFileBytes) return false;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) || got != bytes.size()))
        return false;
    std::wstring text(bytes.size() / 2, L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    if (!text.empty() && text.front() == 0xFEFF) text.erase(0, 1);
    for (size_t from = 0; from <= text.size();) {
        size_t end = text.find(L'\n', from);
        if (end == std::wstring::npos) end = text.size();
        lines.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    return true;
}

// The list label of a document for a language outside the six with loaded
// texts: straight from that language's file, without a fallback.
std::wstring LabelFromLanguageFile(int language, int stringId) {
    const std::wstring path = FormatText(L"%s\\Default%d.ulf", theInitializer.GetWorkingFolder().c_str(), language);
    if (path.size() >= 256 || !zel::IsFile(path)) {
        theLog.LogMessage(11, L"Licesne", L"%s", L"Licesne string not found");
        return std::wstring();
    }
    std::vector<std::wstring> lines;
    if (!ReadUtf16Lines(path, lines)) {
        theLog.LogUnnamed(1, L"%s", L"Licesne");
        return std::wstring();
    }
    return LicenseLabelFromLines(lines, stringId);
}
}  // namespace

void CLicensePage::AddDocumentItem(int position, int stringId) {
    const int language = theInitializer.GetSetupLanguage();
    std::wstring label =
        LabelsFromLanguageStrings(language) ? GetLangString(stringId) : LabelFromLanguageFile(language, stringId);
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = position;
    item.pszText = label.data();
    item.iImage = 0;
    ListView_InsertItem(::GetDlgItem(Handle(), 1059), &item);
}

void CLicensePage::SetItemImage(int item, int image) {
    LVITEMW change = {};
    change.mask = LVIF_IMAGE;
    change.iItem = item;
    change.iImage = image;
    ListView_SetItem(::GetDlgItem(Handle(), 1059), &change);
}

void CLicensePage::ClearViewer() { ::SetDlgItemTextW(Handle(), 1039, L""); }

namespace {
DWORD CALLBACK StreamFromFile(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
    DWORD read = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(cookie), buffer, static_cast<DWORD>(wanted), &read, nullptr)) read = 0;
    *given = static_cast<LONG>(read);
    return 0;
}
}  // namespace

void CLicensePage::LoadDocument(const std::wstring& path) {
    if (path.empty()) return;
    const DocumentType type = DocumentTypeOf(path);
    if (type == DocumentType::Other) return;
    HWND viewer = ::GetDlgItem(Handle(), 1039);
    zel::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        // Listed and acceptable still, but nothing to read: say so in the
        // log rather than show the previous document under this name.
        theLog.LogMessage(1, L"LoadDocument", L"The document could not be opened : %s. Error %u", path.c_str(),
                          static_cast<unsigned>(::GetLastError()));
        ClearViewer();
        return;
    }
    if (type == DocumentType::PlainText)
        ::SendMessageW(viewer, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&defaultFormat_));
    EDITSTREAM stream = {};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(file.get());
    stream.pfnCallback = StreamFromFile;
    ::SendMessageW(viewer, EM_STREAMIN, type == DocumentType::RichText ? SF_RTF : SF_TEXT,
                   reinterpret_cast<LPARAM>(&stream));
}

void CLicensePage::OnItemChanged(const NMLISTVIEW& change) {
    if ((change.uChanged & LVIF_STATE) != 0 && (change.uNewState & LVIS_SELECTED) != 0 &&
        (change.uOldState & LVIS_SELECTED) == 0) {
        if (licenseItem_ == change.iItem) {
            SetFittedString(1060, 304);
            currentDocument_ = licenseFile_;
        } else if (securityItem_ == change.iItem) {
            SetFittedString(1060, 305);
            currentDocument_ = securityFile_;
        }
    }
    if (!currentDocument_.empty())
        LoadDocument(currentDocument_);
    else
        ClearViewer();
    // Showing Next shows Back too, which the first page never has.
    TavoSheet().ShowButtons(L"NEXT", 1);
    if (IsFirst()) TavoSheet().ShowButtons(L"BACK", 0);
    HWND viewer = ::GetDlgItem(Handle(), 1039);
    ::SendMessageW(viewer, WM_VSCROLL, SB_TOP, 0);
    RepaintUnderPage();
}

void CLicensePage::OnBoxClicked(int id) {
    HWND page = Handle();
    HWND list = ::GetDlgItem(page, 1059);
    const int item = id == 1020 ? 0 : (ListView_GetItemCount(list) == 2 ? 1 : 0);
    if (IsChecked(page, id)) {
        SetItemImage(item, 1);
        if (id == 1020)
            theLog.LogMessage(8, L"License Agreement", L"%s", L"User has accepted the license agreement");
        else
            theLog.LogMessage(8, L"Security License Agreement", L"%s",
                              L"User has accepted the lSecurity icense agreement");
        UpdateAcceptance();
        return;
    }
    SetItemImage(item, 0);
    CTavoSheet& sheet = TavoSheet();
    sheet.SetNavigationButtons(IsFirst() ? 1 : 0, 1);
    sheet.EnableButtons(L"NEXT", 0);
    sheet.FocusCancelButton();
}

void CLicensePage::UpdateAcceptance() {
    CTavoSheet& sheet = TavoSheet();
    const bool first = IsFirst();
    DocumentList list;
    list.LicenseItem = licenseFile_.empty() ? -1 : licenseItem_;
    list.SecurityItem = securityFile_.empty() ? -1 : securityItem_;
    if (DocumentsAccepted(list, IsChecked(Handle(), 1020), IsChecked(Handle(), 1021))) {
        sheet.SetNavigationButtons(first ? 1 : 0, 1);
        sheet.EnableButtons(L"NEXT,CANCEL", 1);
        sheet.FocusNextButton(1);
        sheet.SetDefaultButton(IDC_NEXT_BUTTON);
    } else {
        sheet.FocusCancelButton();
        sheet.SetNavigationButtons(first ? 1 : 0, 1);
        sheet.EnableButtons(L"NEXT", 0);
        sheet.FocusCancelButton();
        sheet.SetDefaultButton(IDCANCEL);
    }
}

void CLicensePage::SetFittedString(int controlId, int stringId) {
    zel::SetFittedControlText(::GetDlgItem(Handle(), controlId), GetLangString(stringId), zel::FitOptions::License());
}

BOOL CLicensePage::OnCommand(WPARAM wParam, LPARAM) {
    const int id = LOWORD(wParam);
    if (HIWORD(wParam) != BN_CLICKED || (id != 1020 && id != 1021)) return FALSE;
    OnBoxClicked(id);
    return TRUE;
}

BOOL CLicensePage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_NOTIFY && SheetReady()) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header != nullptr && header->idFrom == 1059 && header->code == LVN_ITEMCHANGED) {
            OnItemChanged(*reinterpret_cast<const NMLISTVIEW*>(lParam));
            result = 0;
            return TRUE;
        }
    }
    return CTavoPage::OnMessage(message, wParam, lParam, result);
}
