#include "framework/CommonControls.h"

#include "framework/ProcAddress.h"

namespace zel {

const CommonControlsLibrary& CommonControls() {
    static const CommonControlsLibrary library = [] {
        CommonControlsLibrary found;
        // By bare name: the manifest's dependency redirects it to the version 6
        // assembly, which a path into the system folder would bypass. The DLL
        // search was narrowed at start-up, as for the import it replaces.
        HMODULE module = ::LoadLibraryW(L"comctl32.dll");
        found.initCommonControlsEx = GetProc<decltype(found.initCommonControlsEx)>(module, "InitCommonControlsEx");
        found.createPropertySheetPage =
            GetProc<decltype(found.createPropertySheetPage)>(module, "CreatePropertySheetPageW");
        found.destroyPropertySheetPage =
            GetProc<decltype(found.destroyPropertySheetPage)>(module, "DestroyPropertySheetPage");
        found.propertySheet = GetProc<decltype(found.propertySheet)>(module, "PropertySheetW");
        found.imageListCreate = GetProc<decltype(found.imageListCreate)>(module, "ImageList_Create");
        found.imageListAddMasked = GetProc<decltype(found.imageListAddMasked)>(module, "ImageList_AddMasked");
        return found;
    }();
    return library;
}

}  // namespace zel
