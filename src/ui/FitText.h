// Fitting a text into a control with an ellipsis. The sheet and every page
// fit their texts with this one function; the pages differ only in the
// options they pass. Widths come from a measuring callback, so the rule runs
// without a window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zel {

enum class EllipsisForm {
    End,      // keeps the start: "Some long te..."
    Leading,  // keeps the end: "...ng_file_name.txt"
};

struct TextExtent {
    long cx = 0;
    long cy = 0;
};

// Returns the extent of a text drawn with the control's font.
using MeasureText = std::function<TextExtent(const std::wstring&)>;

struct FitOptions {
    EllipsisForm Form = EllipsisForm::End;
    // Texts narrower than a fifth of the control get trailing spaces.
    bool PadShortText = true;
    // lines = floor(H / cy) is raised to 1 when it comes out 0.
    bool AtLeastOneLine = true;
    // Added to floor(H / cy) before the floor above (the finish page: -1).
    int LineAdjust = 0;
    // Above 0: this many lines whatever the height (the license page: 2).
    int FixedLines = 0;
    // The walk stops once a width reaches StopFactor x the room.
    float StopFactor = 1.0f;
    // Without it the ellipsis is added whenever the text was too wide, even
    // when every character fitted (possible with room for several lines).
    bool EllipsisOnlyWhenCut = false;

    // The sheet's SetFittedText.
    static FitOptions Sheet(EllipsisForm form = EllipsisForm::End);
    // Location, extraction progress, requirements and installation pages,
    // and the overwrite dialog: no padding and no floor of one line.
    static FitOptions Unpadded(EllipsisForm form = EllipsisForm::End);
    // The language page's heading.
    static FitOptions LanguageHeading();
    // The license page: always two lines' worth of width.
    static FitOptions License();
    // The finish page: one line fewer than the height holds.
    static FitOptions FinishPage();
};

// width and height are the control's client size. The room is compared
// with the measured widths as unsigned 32-bit numbers, so a room that comes
// out negative lets every character through.
std::wstring FitText(const std::wstring& text, std::uint32_t width, std::uint32_t height, const MeasureText& measure,
                     const FitOptions& options);

// A language string made ready for a control: the first two-character
// sequence backslash-n becomes a line break, then every placeholder is
// replaced by value.
std::wstring FillStringTemplate(std::wstring text, const std::wstring& placeholder, const std::wstring& value);

}  // namespace zel
