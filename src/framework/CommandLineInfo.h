// Receives the command line argument by argument, as the C run-time split it.
#pragma once

#include <windows.h>

namespace zel {

class CCommandLineInfoBase {
public:
    virtual ~CCommandLineInfoBase() = default;

    // param: the argument without its leading "-" or "/" when isFlag is set.
    virtual void ParseParam(const wchar_t* param, BOOL isFlag, BOOL isLast) = 0;
};

// Feeds argv[1..argc-1] to info. An argument starting with "-" or "/" is a
// switch and is passed without that character.
void FeedArguments(CCommandLineInfoBase& info, int argc, const wchar_t* const* argv);

// Feeds the run-time's own argument vector (__wargv), so that quoting follows
// exactly the C run-time's rules.
void ParseProcessCommandLine(CCommandLineInfoBase& info);

}  // namespace zel
