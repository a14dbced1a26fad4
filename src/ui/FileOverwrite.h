// The question asked before the cabinet engine overwrites an existing file:
// the file's name and five answers, Yes, Yes To All, No, No To All and
// Cancel. Focus, focused look and default button always move together, so
// Enter answers the button that shows the focus.
#pragma once

#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "ui/SolidBackground.h"
#include "ui/TavoButton.h"

#include <array>
#include <memory>
#include <string>

constexpr UINT IDD_FILE_OVERWRITE = 910;
constexpr int IDC_OVERWRITE_EXISTS = 1025;
constexpr int IDC_OVERWRITE_FILE = 1030;
constexpr int IDC_OVERWRITE_QUESTION = 1026;

struct OverwriteChoice {
    int ControlId;
    int CaptionString;
    int Answer;
    const wchar_t* LogText;
};

// The buttons in their row (and tab) order.
extern const std::array<OverwriteChoice, 5> kOverwriteChoices;

// The button rectangles in the dialog's client coordinates, from the bottom
// a of the question text and the right edge b of the dialog's outer window
// rectangle: one row centred in b less 8, Yes 95 wide, the others 93.
std::array<RECT, 5> OverwriteButtonRects(int a, int b);

// The button that takes the focus when key (Tab or an arrow) is pressed on
// button from; Shift+Tab, Left and Up go backwards. Both ends wrap.
// -1 for any other key.
int NextOverwriteButton(int from, UINT key, bool shift);

class CFileOverwrite : public zel::CDialogBase {
public:
    // fileName: the name, without folder, of the file that exists.
    explicit CFileOverwrite(std::wstring fileName, HWND owner = nullptr);
    ~CFileOverwrite() override;

    // 2 until a button ended the dialog, then 1000 to 1004.
    int Answer() const { return answer_; }
    // Index in kOverwriteChoices of the button with the focus.
    int FocusedIndex() const { return focused_; }
    CTavoButton* Button(int index) const { return buttons_.at(index).get(); }

protected:
    BOOL OnInitDialog() override;
    // Enter always has a default button; an OK command is no answer.
    void OnOK() override {}
    void OnCancel() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void CreateButtons();
    void SetTexts();
    void CentreOverOwner();
    void MoveFocusTo(int index);
    // Returns false for ids that are not one of the answers.
    bool Choose(int controlId);
    bool FilterKey(const MSG& msg);
    static LRESULT CALLBACK KeyFilter(int code, WPARAM wParam, LPARAM lParam);

    std::wstring fileName_;
    int answer_ = 2;
    int focused_ = -1;
    bool moving_ = false;
    std::array<std::unique_ptr<CTavoButton>, 5> buttons_;
    zel::UniqueGdiObject bodyFont_;
    CSolidBackground background_;
    zel::UniqueHook keyFilter_;
    CFileOverwrite* outer_ = nullptr;
};
