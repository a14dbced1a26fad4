// Fitting a text into a real control: widths measured with the platform's
// text extent on the parent window's device context.
#pragma once

#include "ui/FitText.h"

#include <windows.h>

#include <string>

namespace zel {

// Fits text into control's client rectangle with the control's font, or
// with font when one is given (a page that measures with its own font).
// Without the control the text comes back unchanged.
std::wstring FitControlText(HWND control, const std::wstring& text, const FitOptions& options, HFONT font = nullptr);

// Fits the text and makes it the control's window text.
void SetFittedControlText(HWND control, const std::wstring& text, const FitOptions& options, HFONT font = nullptr);

}  // namespace zel
