// What the wizard takes from the application that runs it, beyond the run
// host of every window; the application implements it, so that the wizard
// sits below it.
#pragma once

#include "ui/BannerImage.h"
#include "ui/RunHost.h"

#include <windows.h>

#include <string>

class CWizardHost {
public:
    virtual const std::wstring& DisplayName() const = 0;
    virtual const LogFontSpec& HeadingFont() const = 0;
    virtual const LogFontSpec& BodyFont() const = 0;
    virtual int CjkUi() const = 0;
    // The copies of the banner images, and the top one loaded.
    virtual const std::wstring& TopImagePath() const = 0;
    virtual const std::wstring& BottomImagePath() const = 0;
    virtual const zel::CBannerImage& TopImage() const = 0;
    // The decoded extraction password of the package.
    virtual const std::wstring& StoredPassword() const = 0;
    virtual void SetMessageBoxOwner(HWND owner) = 0;
    virtual int OsCheckResult() const = 0;
    virtual int OsCheckedBeforeExtraction() const = 0;
    virtual void SetStartPageSet() = 0;
    // The package's finish message built from the setups' return codes.
    virtual std::wstring FinishMessage() const = 0;

protected:
    ~CWizardHost() = default;
};

// The application of this process.
CWizardHost& WizardHost();
