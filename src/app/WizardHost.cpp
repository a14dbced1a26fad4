// The application's side of the wizard.
#include "app/App.h"
#include "ui/WizardHost.h"

namespace {
class CAppWizardHost final : public CWizardHost {
public:
    const std::wstring& DisplayName() const override { return theApp.DisplayName; }
    const LogFontSpec& HeadingFont() const override { return theApp.HeadingFont; }
    const LogFontSpec& BodyFont() const override { return theApp.BodyFont; }
    int CjkUi() const override { return theApp.CjkUi; }
    const std::wstring& TopImagePath() const override { return theApp.TopImagePath; }
    const std::wstring& BottomImagePath() const override { return theApp.BottomImagePath; }
    const zel::CBannerImage& TopImage() const override { return theApp.TopImage; }
    const std::wstring& StoredPassword() const override { return theApp.StoredPassword; }
    void SetMessageBoxOwner(HWND owner) override { theApp.MessageBoxOwner = owner; }
    int OsCheckResult() const override { return theApp.OsCheckResult; }
    int OsCheckedBeforeExtraction() const override { return theApp.OsCheckedBeforeExtraction; }
    void SetStartPageSet() override { theApp.StartPageSet = 1; }
    std::wstring FinishMessage() const override { return theApp.FinishTexts.GetFinishMessage(); }
};
}  // namespace

CWizardHost& WizardHost() {
    static CAppWizardHost host;
    return host;
}
