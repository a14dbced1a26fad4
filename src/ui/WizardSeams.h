// Steps of the wizard whose parts are not in the stub yet. Each does the
// least that keeps a run sound; the part that takes a step over replaces its
// function here.
#pragma once

#include <windows.h>

#include <string>

class CTavoSheet;

// The extraction password dialog. Until it exists a package that requires a
// password is refused: this returns IDCANCEL and nothing is extracted.
INT_PTR ShowExtractionPasswordDialog(CTavoSheet& sheet);

// The file overwrite question of the cabinet engine; until the dialog
// exists the existing file is kept.
void AskOverwrite(HWND owner);
