// The common controls, loaded on first use: a silent run shows no window and
// never maps them (under Wine they cost a run about 7 MiB).
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace zel {

struct CommonControlsLibrary {
    decltype(&::InitCommonControlsEx) initCommonControlsEx = nullptr;
    decltype(&::CreatePropertySheetPageW) createPropertySheetPage = nullptr;
    decltype(&::DestroyPropertySheetPage) destroyPropertySheetPage = nullptr;
    decltype(&::PropertySheetW) propertySheet = nullptr;
    decltype(&::ImageList_Create) imageListCreate = nullptr;
    decltype(&::ImageList_AddMasked) imageListAddMasked = nullptr;
};

// Loaded once and kept for the run; members are null when the library or an
// export is missing.
const CommonControlsLibrary& CommonControls();

}  // namespace zel
