// The extraction location page.
#include "ui/WizardPages.h"

#include "checks/ExtractorValidator.h"
#include "logging/LogFile.h"
#include "payload/ExtractionDriver.h"
#include "payload/Initializer.h"
#include "payload/LanguageTexts.h"
#include "platform/UtilPaths.h"
#include "ui/TavoSheet.h"

#include <cstdint>

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
    return 0;
}
