#include "framework/CommandLineInfo.h"

#include <stdlib.h>

namespace zel {

void FeedArguments(CCommandLineInfoBase& info, int argc, const wchar_t* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const wchar_t* param = argv[i];
        if (param == nullptr) continue;
        BOOL isFlag = FALSE;
        if (param[0] == L'-' || param[0] == L'/') {
            isFlag = TRUE;
            ++param;
        }
        info.ParseParam(param, isFlag, i + 1 == argc);
    }
}

void ParseProcessCommandLine(CCommandLineInfoBase& info) {
    if (__wargv != nullptr) FeedArguments(info, __argc, __wargv);
}

}  // namespace zel
