// The wizard's pages. Each page leaves its buttons to the sheet's services
// and does nothing but the platform's default until the sheet is ready.
#pragma once

#include "framework/Handles.h"
#include "framework/PropertySheet.h"
#include "platform/StringList.h"
#include "ui/BannerImage.h"
#include "ui/FitText.h"
#include "ui/ProgressCounter.h"
#include "ui/WizardLogic.h"

#include <richedit.h>

#include <map>
#include <memory>
#include <string>

class CTavoButton;
class CTavoSheet;

// Posted by the launch to make the finish page current; returns 1.
constexpr UINT WM_ZEL_GO_TO_FINISH = WM_USER + 600;  // 1624

constexpr UINT IDD_LANGUAGE_PAGE = 903;
constexpr UINT IDD_WELCOME_PAGE = 905;
constexpr UINT IDD_LICENSE_PAGE = 906;
constexpr UINT IDD_DIRCHANGE_PAGE = 908;
constexpr UINT IDD_EXTRACTOR_PAGE = 909;
constexpr UINT IDD_FINISH_PAGE = 911;
constexpr UINT IDD_REQUIREMENTS_PAGE = 920;
constexpr UINT IDD_AUTOLAUNCH_PAGE = 173;

// What every page shares: the background, transparent statics, the top
// banner, the two fonts, and the way to its sheet.
class CTavoPage : public zel::CPropertyPageBase {
public:
    CTavoPage(UINT templateId, WizardPage kind, bool hideHeader, bool drawsBanner);

    WizardPage Kind() const { return kind_; }

protected:
    CTavoSheet& TavoSheet() const;
    bool SheetReady() const;
    bool IsStartPage() const;
    void CreateFonts();
    void SetHeadingFont(int id) const { SetFont(id, headingFont_.get()); }
    void SetBodyFont(int id) const { SetFont(id, bodyFont_.get()); }
    // The language string with its first backslash-n made a line break and
    // every placeholder replaced.
    void SetTextFromString(int controlId, int stringId, const std::wstring& placeholder, const std::wstring& value);
    // A heading and a status text, fitted without padding, then the page
    // repainted.
    void SetHeadingAndStatus(int headingId, int headingString, int statusId, int statusString);
    // Repaints the part of the sheet under the page, background included.
    void RepaintUnderPage() const;
    // A progress bar of 0 to 100 standing at its first step.
    void StartBar(int id) const;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void SetFont(int id, HGDIOBJ font) const;

    WizardPage kind_;
    bool drawsBanner_;
    zel::UniqueGdiObject headingFont_;
    zel::UniqueGdiObject bodyFont_;
};

class CLanguagePage : public CTavoPage {
public:
    CLanguagePage() : CTavoPage(IDD_LANGUAGE_PAGE, WizardPage::Language, true, true) {}
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    void DisplayRadioButtons();
    void SetSelectedUserLang();
    void OnRadioClicked();
    void SetHeading();

    StringList languages_;
    std::map<int, int> radioLanguages_;
};

class CWelcomePage : public CTavoPage {
public:
    CWelcomePage() : CTavoPage(IDD_WELCOME_PAGE, WizardPage::Welcome, true, true) {}
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;

protected:
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void Activate();
    void LoadWelcomePicture();

    zel::CBannerImage picture_;
};

class CConditionCheck : public CTavoPage {
public:
    CConditionCheck() : CTavoPage(IDD_REQUIREMENTS_PAGE, WizardPage::Requirements, true, true) {}
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    // The messages of the unmet conditions in the selected language.
    static std::wstring GetConditionMessage();

private:
    void SetTexts();
};

class CLicensePage : public CTavoPage {
public:
    CLicensePage();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    bool IsFirst() const;
    void SetupDocumentList();
    void BuildDocumentList();
    void AddDocumentItem(int position, int stringId);
    void SetItemImage(int item, int image);
    void LoadDocument(const std::wstring& path);
    void ClearViewer();
    void OnItemChanged(const NMLISTVIEW& change);
    void OnBoxClicked(int id);
    void UpdateAcceptance();
    void SetFittedString(int controlId, int stringId);

    std::wstring licenseFile_;
    std::wstring securityFile_;
    std::wstring currentDocument_;
    int licenseItem_ = -1;
    int securityItem_ = -1;
    CHARFORMAT2W defaultFormat_ = {};
};

class CDirChangePage : public CTavoPage {
public:
    CDirChangePage();
    ~CDirChangePage() override;
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    // The sheet's Tab reached the Browse button.
    void FocusBrowseButton();

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void SetTexts();
    void CreateBrowseButton();
    void Browse();
    void OnExtractOnlyClicked();

    std::unique_ptr<CTavoButton> browse_;
};

class CExtractorPage : public CTavoPage {
public:
    CExtractorPage();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    // The page moves on only when the worker ends: a Next or Back press
    // that still arrives (a key, a late click) stays.
    LRESULT OnWizardNext() override { return -1; }
    LRESULT OnWizardBack() override { return -1; }

protected:
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void SetStatusTexts(int statusString);
    void OnWorkerEnd(UINT message);
    void OnExtractionEnded();
    void OnExtractionFailed();

    CProgressCounter counter_;
    bool started_ = false;
    // Cancel was the answer to the overwrite question.
    bool cancelledInQuestion_ = false;
    // The end the worker reported while the cancel question was open.
    UINT deferredEnd_ = 0;
};

class CAutoLaunchSilentPage : public CTavoPage {
public:
    CAutoLaunchSilentPage();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    // The launch ended, or a cancel was confirmed; returns 1.
    LRESULT OnLaunchSetupFinish();

protected:
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void SetTexts(int statusString);
};

class CFinishPage : public CTavoPage {
public:
    CFinishPage() : CTavoPage(IDD_FINISH_PAGE, WizardPage::Finish, false, false) {}
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnWizardFinish() override;

private:
    void SetResultTexts();
    void OfferOpenLocation();
    void OpenExtractionFolder();

    int failed_ = 0;
    zel::UniqueGdiObject failedPicture_;
};
