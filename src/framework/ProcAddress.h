// Typed look-up of a library's export.
#pragma once

#include <windows.h>

namespace zel {

// The export name of module as a function of type Fn; null when either is
// missing. Functions newer than the oldest supported system are found so.
template <typename Fn>
Fn GetProc(HMODULE module, const char* name) {
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace zel
