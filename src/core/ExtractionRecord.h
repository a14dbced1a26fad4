// What an extraction created, so that a cancelled or failed run can take it
// away again.
#pragma once

#include <list>
#include <string>

struct ExtractionRecord {
    // Newest first.
    std::list<std::wstring> Files;
    // Outermost first, in the order they were created.
    std::list<std::wstring> Folders;
};
