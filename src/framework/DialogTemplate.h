// Changes the font a dialog template in memory names, in place.
#pragma once

#include <windows.h>

#include <cstddef>

namespace zel {

// Sets the template's font to face at pointSize (DLGTEMPLATE and
// DLGTEMPLATEEX). The template shrinks or keeps its size, never grows: a face
// longer than the old one, or a template without a font, is left alone and
// false returned. size bounds the bytes the template may occupy.
bool SwitchDialogFont(void* dialogTemplate, std::size_t size, const wchar_t* face, WORD pointSize);

}  // namespace zel

// For the sheet's template, whose size the platform does not pass.
inline bool SwitchDialogFont(DLGTEMPLATE* dialogTemplate, const wchar_t* face, WORD pointSize) {
    return zel::SwitchDialogFont(dialogTemplate, static_cast<std::size_t>(-1) / 2, face, pointSize);
}
