// The first pages of the wizard: welcome, language and requirements.
#include "checks/Condition.h"
#include "checks/ExtractorValidator.h"
#include "logging/LogFile.h"
#include "payload/Initializer.h"
#include "payload/LanguageTexts.h"
#include "platform/SettingsFile.h"
#include "platform/SystemLibrary.h"
#include "ui/ControlText.h"
#include "ui/IntroLogic.h"
#include "ui/TavoSheet.h"
#include "ui/WizardHost.h"
#include "ui/WizardPages.h"

#include <objidl.h>

#include <cstring>

namespace {
constexpr int kBannerHeight = 60;
constexpr int kWelcomePictureId = 167;

std::wstring Setting(const wchar_t* section, const wchar_t* key) {
    return CSettingsFile(theInitializer.SettingsFilePath).GetString(section, key);
}

bool IsChecked(HWND page, int id) { return ::IsDlgButtonChecked(page, id) == BST_CHECKED; }
}  // namespace

// ---- welcome ----

BOOL CWelcomePage::OnInitDialog() {
    if (!SheetReady()) return TRUE;
    CreateFonts();
    TavoSheet().SetButtonCaptions(L"");
    SetHeadingFont(1047);
    if (Setting(L"Runtime", L"DisplayWelcomeImage") == L"1") {
        theLog.LogMessage(8, L"DisplayWelcomeImage", L"%s", L"Displaying the Welcome image");
        LoadWelcomePicture();
    }
    Activate();
    return TRUE;
}

// The picture is decoded from a movable copy of the resource: the stream
// owns the copy and frees it with itself.
void CWelcomePage::LoadWelcomePicture() {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(kWelcomePictureId), L"PNG");
    HGLOBAL loaded = resource != nullptr ? ::LoadResource(module, resource) : nullptr;
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    const DWORD size = resource != nullptr ? ::SizeofResource(module, resource) : 0;
    if (bytes == nullptr || size == 0) {
        theLog.LogMessage(1, L"DisplayWelcomeImage", L"%s", L"The welcome image could not be loaded");
        return;
    }
    HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, size);
    void* target = copy != nullptr ? ::GlobalLock(copy) : nullptr;
    if (target == nullptr) {
        if (copy != nullptr) ::GlobalFree(copy);
        return;
    }
    std::memcpy(target, bytes, size);
    ::GlobalUnlock(copy);
    IStream* stream = nullptr;
    const auto createStream = zel::OleDll().createStreamOnHGlobal;
    if (createStream == nullptr || FAILED(createStream(copy, TRUE, &stream))) {
        ::GlobalFree(copy);
        return;
    }
    if (!picture_.LoadFromStream(stream))
        theLog.LogMessage(1, L"DisplayWelcomeImage", L"%s", L"The welcome image could not be loaded");
    stream->Release();
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
    // The heading lies over the picture: what it showed before is painted over.
    if (picture_.Loaded()) RepaintUnderPage();
    sheet.FocusNextButton(1);
    sheet.SetDefaultButton(IDC_NEXT_BUTTON);
}

BOOL CWelcomePage::OnSetActive() {
    if (SheetReady()) Activate();
    return TRUE;
}

LRESULT CWelcomePage::OnWizardNext() {
    // With a language page next, that page asks for the password instead.
    if (Setting(L"Dialogs", L"LanguageDialog") != L"1" && TavoSheet().AskPasswordIfRequired() == -1) return -1;
    return 0;
}

BOOL CWelcomePage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_CTLCOLORSTATIC && picture_.Loaded()) {
        // Over the picture the heading has no background of its own.
        ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        result = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
        return TRUE;
    }
    if (message != WM_PAINT) return CTavoPage::OnMessage(message, wParam, lParam, result);
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(Handle(), &paint);
    RECT client = {};
    ::GetClientRect(Handle(), &client);
    WizardHost().TopImage().Draw(dc, 0, 0, client.right, kBannerHeight);
    picture_.Draw(dc, 0, kBannerHeight, client.right, client.bottom);
    ::EndPaint(Handle(), &paint);
    result = 0;
    return TRUE;
}

// ---- language ----

void CLanguagePage::SetHeading() {
    const std::wstring text =
        ReplaceTokens(GetLangString(208), {{L"[PACKAGEDISPLAYNAME]", WizardHost().DisplayName()}});
    zel::SetFittedControlText(::GetDlgItem(Handle(), 1013), text, zel::FitOptions::LanguageHeading());
    RepaintUnderPage();
}

BOOL CLanguagePage::OnInitDialog() {
    if (!SheetReady()) return TRUE;
    CTavoSheet& sheet = TavoSheet();
    sheet.SetNavigationButtons(IsStartPage() ? 1 : 0, 0);
    languages_.clear();
    theValidator.GetSetupLanguages(languages_);
    theInitializer.SetSetupLanguage(theValidator.GetDefaultSetupLanguage());
    LoadLanguageFile(theInitializer.GetSetupLanguage(), theInitializer.GetWorkingFolder());
    DisplayRadioButtons();
    SetSelectedUserLang();
    CreateFonts();
    sheet.SetButtonCaptions(L"");
    SetHeading();
    SetHeadingFont(1013);
    for (int id : kLanguageRadioIds) SetBodyFont(id);
    sheet.FocusNextButton(1);
    sheet.SetDefaultButton(IDC_NEXT_BUTTON);
    return TRUE;
}

void CLanguagePage::DisplayRadioButtons() {
    const std::wstring& folder = theInitializer.GetWorkingFolder();
    LanguageRadioSources sources;
    sources.Installed = [](int lcid) { return ::IsValidLocale(static_cast<LCID>(lcid), LCID_INSTALLED) != FALSE; };
    sources.Caption = [&folder](int lcid) { return GetLanguageCaption(lcid, folder); };
    sources.OwnName = [&folder](int lcid) { return GetLanguageName(lcid, folder); };
    const LanguageRadioPlan plan = BuildLanguageRadios(languages_, sources);
    for (const std::wstring& entry : plan.Rejected)
        theLog.LogText(1, L"DisplayRadioButtons", L"Invalid language in SetupLanguages : " + entry);

    radioLanguages_.clear();
    for (const LanguageRadio& radio : plan.Radios) {
        radioLanguages_[radio.RadioId] = radio.Lcid;
        HWND button = ::GetDlgItem(Handle(), radio.RadioId);
        if (button == nullptr) continue;
        ::ShowWindow(button, SW_SHOW);
        ::EnableWindow(button, radio.Enabled ? TRUE : FALSE);
        if (!radio.Enabled)
            theLog.LogText(8, L"DisplayRadioButtons",
                           L"Language : " + radio.Caption + L" not supported and has been disabled");
        ::SetWindowTextW(button, radio.Caption.c_str());
    }
}

void CLanguagePage::SetSelectedUserLang() {
    std::vector<LanguageRadio> radios;
    for (int id : kLanguageRadioIds) {
        auto found = radioLanguages_.find(id);
        if (found != radioLanguages_.end()) radios.push_back({id, found->second, L"", true});
    }
    const int radio = RadioToCheck(radios, theInitializer.GetSetupLanguage());
    if (radio == 0) return;
    ::CheckRadioButton(Handle(), kLanguageRadioIds[0], kLanguageRadioIds[kLanguageRadioCount - 1], radio);
    theLog.LogMessage(8, L"SetSelectedUserLang", L"Setting the radio button for LanguageID : %d",
                      radioLanguages_[radio]);
    // The only language offered is checked even when the system's is not
    // it: the texts follow the check, as after a click.
    if (radioLanguages_[radio] != theInitializer.GetSetupLanguage() && ::IsWindowEnabled(::GetDlgItem(Handle(), radio)))
        OnRadioClicked();
}

void CLanguagePage::OnRadioClicked() {
    int language = 1033;
    for (int id : kLanguageRadioIds) {
        auto found = radioLanguages_.find(id);
        if (found != radioLanguages_.end() && IsChecked(Handle(), id)) {
            language = found->second;
            theLog.LogMessage(8, L"Language Selected", L"ID of the Language selected : %d", language);
            break;
        }
    }
    if (LoadLanguageFile(language, theInitializer.GetWorkingFolder()) == -1) {
        theLog.LogMessage(1, L"Language Selected", L"The language file for %d is not for that language", language);
        language = 1033;
        LoadLanguageFile(language, theInitializer.GetWorkingFolder());
    }
    theInitializer.SetSetupLanguage(language);
    SetHeading();
    TavoSheet().SetButtonCaptions(L"");
}

BOOL CLanguagePage::OnCommand(WPARAM wParam, LPARAM) {
    if (HIWORD(wParam) != BN_CLICKED) return FALSE;
    for (int id : kLanguageRadioIds) {
        if (id == LOWORD(wParam)) {
            OnRadioClicked();
            return TRUE;
        }
    }
    return FALSE;
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

std::wstring CConditionCheck::GetConditionMessage() {
    ConditionMessageInputs inputs;
    inputs.SetupLanguages = Setting(L"LANGUAGES", L"SetupLanguages");
    inputs.SelectedLanguage = theInitializer.GetSetupLanguage();
    inputs.MessageKeys = theValidator.GetConditionMessageKeys();
    CCondition condition(theValidator.GetSettingsPath());
    inputs.Message = [&](const std::wstring& key) { return condition.GetMessage(inputs.SelectedLanguage, key); };
    inputs.Logged = [](const std::wstring& message) { theLog.LogText(11, L"Condition Message", message); };
    return ConditionMessageText(inputs);
}

void CConditionCheck::SetTexts() {
    const std::wstring heading = ReplaceTokens(GetLangString(802), {{L"[PACKAGENAME]", WizardHost().DisplayName()}});
    zel::SetFittedControlText(::GetDlgItem(Handle(), 1041), heading, zel::FitOptions::Unpadded());
    TavoSheet().SetButtonCaptions(L"RETRY");
    ::SetDlgItemTextW(Handle(), 1050, GetConditionMessage().c_str());
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
    // Both texts go blank for a moment, so that the user sees the check ran.
    ::SetDlgItemTextW(Handle(), 1041, L"");
    ::SetDlgItemTextW(Handle(), 1050, L"");
    RepaintUnderPage();
    ::Sleep(100);
    SetTexts();
    RepaintUnderPage();
    theInitializer.SetFinishStatus(-1);
    return -1;
}
