// Whether something is at a path. The variants differ on purpose: which kind
// of entry counts, and whether the path is a search pattern.
#pragma once

#include <string>

namespace zel {

// A file or a folder is at path.
bool PathExists(const std::wstring& path);
// A file, not a folder, is at path.
bool IsFile(const std::wstring& path);
// A folder is at path.
bool IsFolder(const std::wstring& path);
// A directory search for path finds an entry: wildcards match, a folder
// counts, a path ending in "\" does not, and paths of 256 characters or more
// count as not found whatever is there.
bool SearchFinds(const std::wstring& path);

}  // namespace zel
