#include "ui/WizardSeams.h"

#include "cabinet/CabDecompressor.h"
#include "logging/LogFile.h"

INT_PTR ShowExtractionPasswordDialog(CTavoSheet&) {
    theLog.LogMessage(0, L"AskPasswordIfRequired", L"%s",
                      L"The package requires an extraction password, which this program cannot ask for yet.");
    return IDCANCEL;
}

void AskOverwrite(HWND) {
    // Keeping the file loses nothing; overwriting without asking could.
    OverwriteAnswer = OverwriteNo;
}
