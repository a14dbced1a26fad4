#include "framework/PropertySheet.h"

#include "framework/CommonControls.h"
#include "framework/WinApp.h"

#include <algorithm>

namespace zel {

namespace {
constexpr wchar_t kSheetProperty[] = L"ZelPropertySheet";
constexpr wchar_t kPageProperty[] = L"ZelPropertyPage";
// Posted by a page that asked to be removed during its own Next press.
constexpr UINT kRemovePageMessage = WM_APP + 0x3F0;
// A button press waiting its turn; lParam is the page it was made on.
constexpr UINT kPressMessage = WM_APP + 0x3F1;

// The sheet whose window PropertySheetW is creating (its pre-create callback
// has no user data).
thread_local CPropertySheetBase* creatingSheet = nullptr;

HINSTANCE AppInstance() {
    CWinAppBase* app = GetApp();
    return app != nullptr && app->Instance() != nullptr ? app->Instance() : ::GetModuleHandleW(nullptr);
}

bool IsSheetNotification(UINT code) {
    // PSN_FIRST (0 - 200) down to PSN_LAST (0 - 299), as unsigned values.
    return code <= static_cast<UINT>(PSN_FIRST) && code >= static_cast<UINT>(PSN_LAST);
}

// Dialog procedures return these results directly, not through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    return (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) || message == WM_COMPAREITEM ||
           message == WM_VKEYTOITEM || message == WM_CHARTOITEM || message == WM_QUERYDRAGICON;
}
}  // namespace

// ---- page ----

CPropertyPageBase::CPropertyPageBase(UINT templateId) : templateId_(templateId) {}

CPropertyPageBase* CPropertyPageBase::FromHandle(HWND hwnd) {
    return hwnd != nullptr ? static_cast<CPropertyPageBase*>(::GetPropW(hwnd, kPageProperty)) : nullptr;
}

HPROPSHEETPAGE CPropertyPageBase::CreateHandle() {
    PROPSHEETPAGEW page = {};
    page.dwSize = sizeof(page);
    page.dwFlags = PSP_DEFAULT;
    if (!title_.empty()) page.dwFlags |= PSP_USETITLE;
    if (hideHeader_) page.dwFlags |= PSP_HIDEHEADER;
    page.hInstance = AppInstance();
    page.pszTemplate = MAKEINTRESOURCEW(templateId_);
    page.pszTitle = title_.c_str();
    page.pfnDlgProc = &CPropertyPageBase::PageProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    auto create = zel::CommonControls().createPropertySheetPage;
    return create != nullptr ? create(&page) : nullptr;
}

INT_PTR CALLBACK CPropertyPageBase::PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CPropertyPageBase* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CPropertyPageBase*>(reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        ::SetPropW(hwnd, kPageProperty, self);
    } else {
        self = reinterpret_cast<CPropertyPageBase*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (self == nullptr) return FALSE;
    INT_PTR handled = FALSE;
    try {
        handled = self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        handled = FALSE;
    }
    if (message == WM_NCDESTROY) {
        ::RemovePropW(hwnd, kPageProperty);
        self->hwnd_ = nullptr;
    }
    return handled;
}

INT_PTR CPropertyPageBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(wParam, lParam);
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (IsSheetNotification(header->code) && sheet_ != nullptr) {
            ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, HandleNotify(*header));
            return TRUE;
        }
        break;
    }
    default:
        break;
    }
    LRESULT result = 0;
    if (!OnMessage(message, wParam, lParam, result)) return FALSE;
    if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
    return TRUE;
}

LRESULT CPropertyPageBase::HandleNotify(const NMHDR& header) {
    switch (header.code) {
    case PSN_SETACTIVE:
        return OnSetActive() ? 0 : -1;
    case PSN_KILLACTIVE:
        return OnKillActive() ? FALSE : TRUE;
    case PSN_WIZBACK:
        return OnWizardBack();
    case PSN_WIZNEXT: {
        sheet_->inNextPress_ = this;
        LRESULT result = OnWizardNext();
        sheet_->inNextPress_ = nullptr;
        sheet_->FinishPendingRemoval(result, this);
        return result;
    }
    case PSN_WIZFINISH:
        if (!OnWizardFinish()) return TRUE;
        sheet_->result_ = CPropertySheetBase::kFinished;
        return FALSE;
    case PSN_QUERYCANCEL:
        return OnQueryCancel() ? FALSE : TRUE;
    default:
        return 0;
    }
}

// ---- sheet ----

CPropertySheetBase::CPropertySheetBase(std::wstring caption) : caption_(std::move(caption)) {}

CPropertySheetBase::~CPropertySheetBase() {
    if (hwnd_ != nullptr && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
}

CPropertySheetBase* CPropertySheetBase::FromHandle(HWND hwnd) {
    return hwnd != nullptr ? static_cast<CPropertySheetBase*>(::GetPropW(hwnd, kSheetProperty)) : nullptr;
}

void CPropertySheetBase::AddPage(CPropertyPageBase* page) {
    if (page == nullptr || PageIndex(page) >= 0) return;
    page->sheet_ = this;
    if (hwnd_ != nullptr) {
        HPROPSHEETPAGE handle = page->CreateHandle();
        if (handle == nullptr || !PropSheet_AddPage(hwnd_, handle)) return;
    }
    pages_.push_back(page);
}

void CPropertySheetBase::RemovePage(CPropertyPageBase* page) {
    int index = PageIndex(page);
    if (index < 0) return;
    if (hwnd_ != nullptr) {
        if (page == inNextPress_) {
            removeAfterNext_ = true;
            return;
        }
        PropSheet_RemovePage(hwnd_, index, nullptr);
    }
    pages_.erase(pages_.begin() + index);
}

// The page stays in the list until its Next press is over: the wizard moves
// on to the page after it, and the page goes once its handler has returned.
void CPropertySheetBase::FinishPendingRemoval(LRESULT& nextResult, CPropertyPageBase* page) {
    if (!removeAfterNext_) return;
    removeAfterNext_ = false;
    int index = PageIndex(page);
    if (index < 0) return;
    if (nextResult == 0 && index + 1 < PageCount()) {
        SetActivePage(pages_[index + 1]);
        nextResult = -1;
    }
    ::PostMessageW(hwnd_, kRemovePageMessage, 0, reinterpret_cast<LPARAM>(page));
}

bool CPropertySheetBase::SetActivePage(CPropertyPageBase* page) {
    int index = PageIndex(page);
    if (index < 0 || hwnd_ == nullptr) return false;
    return PropSheet_SetCurSel(hwnd_, nullptr, index) != FALSE;
}

int CPropertySheetBase::PageIndex(const CPropertyPageBase* page) const {
    auto it = std::find(pages_.begin(), pages_.end(), page);
    return it == pages_.end() ? -1 : static_cast<int>(it - pages_.begin());
}

CPropertyPageBase* CPropertySheetBase::GetPage(int index) const {
    return index >= 0 && index < PageCount() ? pages_[index] : nullptr;
}

CPropertyPageBase* CPropertySheetBase::GetActivePage() const {
    if (hwnd_ == nullptr) return nullptr;
    return CPropertyPageBase::FromHandle(PropSheet_GetCurrentPageHwnd(hwnd_));
}

int CPropertySheetBase::GetActiveIndex() const { return PageIndex(GetActivePage()); }

// Posted like the platform's own presses, so that a page may go while its
// button handles the click. A second click queued behind the first would
// otherwise act on the page the first one opened, past its disabled Next.
void CPropertySheetBase::Press(int button) {
    if (hwnd_ != nullptr)
        ::PostMessageW(hwnd_, kPressMessage, static_cast<WPARAM>(button), reinterpret_cast<LPARAM>(GetActivePage()));
}

void CPropertySheetBase::EndDialog(INT_PTR result) {
    result_ = result;
    ended_ = true;
    if (hwnd_ != nullptr) ::PostMessageW(hwnd_, WM_NULL, 0, 0);
}

LRESULT CPropertySheetBase::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::CallWindowProcW(platformProc_, hwnd_, message, wParam, lParam);
}

int CALLBACK CPropertySheetBase::SheetCallback(HWND, UINT message, LPARAM lParam) {
    if (message == PSCB_PRECREATE && creatingSheet != nullptr && lParam != 0)
        creatingSheet->OnPreCreate(reinterpret_cast<DLGTEMPLATE*>(lParam));
    return 0;
}

LRESULT CALLBACK CPropertySheetBase::SheetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CPropertySheetBase* self = FromHandle(hwnd);
    if (self == nullptr) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == kRemovePageMessage) {
        auto* page = reinterpret_cast<CPropertyPageBase*>(lParam);
        if (page != self->GetActivePage()) self->RemovePage(page);
        return 0;
    }
    if (message == kPressMessage) {
        const int button = static_cast<int>(wParam);
        if (reinterpret_cast<CPropertyPageBase*>(lParam) == self->GetActivePage() && self->TakesPress(button))
            self->Default(PSM_PRESSBUTTON, wParam, 0);
        return 0;
    }
    LRESULT result = 0;
    bool handled = false;
    try {
        handled = self->OnMessage(message, wParam, lParam, result) != FALSE;
    } catch (...) {
        handled = false;
    }
    if (handled) return result;
    WNDPROC platform = self->platformProc_;
    if (message == WM_NCDESTROY) {
        ::RemovePropW(hwnd, kSheetProperty);
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(platform));
        self->hwnd_ = nullptr;
    }
    return ::CallWindowProcW(platform, hwnd, message, wParam, lParam);
}

bool CPropertySheetBase::RunsModalLoop() const {
    return !ended_ && hwnd_ != nullptr && ::IsWindow(hwnd_) && PropSheet_GetCurrentPageHwnd(hwnd_) != nullptr;
}

INT_PTR CPropertySheetBase::DoModal(HWND parent) {
    if (pages_.empty() || hwnd_ != nullptr) return -1;
    std::vector<HPROPSHEETPAGE> handles;
    for (CPropertyPageBase* page : pages_) {
        HPROPSHEETPAGE handle = page->CreateHandle();
        if (handle == nullptr) {
            for (HPROPSHEETPAGE made : handles) CommonControls().destroyPropertySheetPage(made);
            return -1;
        }
        handles.push_back(handle);
    }
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = (headerBand_ ? PSH_WIZARD97 | PSH_HEADER : PSH_WIZARD) | PSH_MODELESS | PSH_USECALLBACK;
    header.hwndParent = parent;
    header.hInstance = AppInstance();
    header.pszCaption = caption_.c_str();
    header.nPages = static_cast<UINT>(handles.size());
    header.phpage = handles.data();
    header.pfnCallback = &CPropertySheetBase::SheetCallback;

    result_ = IDCANCEL;
    ended_ = false;
    creatingSheet = this;
    // Pages were made, so the library and its exports are there.
    INT_PTR created = CommonControls().propertySheet != nullptr ? CommonControls().propertySheet(&header) : -1;
    creatingSheet = nullptr;
    if (created == 0 || created == -1) return -1;
    hwnd_ = reinterpret_cast<HWND>(created);
    ::SetPropW(hwnd_, kSheetProperty, this);
    platformProc_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CPropertySheetBase::SheetProc)));
    OnInitialized();

    const bool disabledParent = parent != nullptr && ::IsWindowEnabled(parent);
    if (disabledParent) ::EnableWindow(parent, FALSE);
    MSG msg;
    while (RunsModalLoop()) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1) break;
        if (msg.hwnd == hwnd_ || ::IsChild(hwnd_, msg.hwnd)) {
            CPropertyPageBase* page = GetActivePage();
            if (page != nullptr && page->PreTranslateMessage(&msg)) continue;
            if (PreTranslateMessage(&msg)) continue;
        }
        if (hwnd_ != nullptr && PropSheet_IsDialogMessage(hwnd_, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    if (disabledParent) ::EnableWindow(parent, TRUE);
    if (hwnd_ != nullptr && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
    hwnd_ = nullptr;
    return result_;
}

}  // namespace zel
