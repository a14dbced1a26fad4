// Collects the files under content/ as cabinet entries, in a stable order.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "Cabinet.h"

namespace zelpack {

// Empty when the stub can write a file or folder of this name on Windows.
std::string CheckWindowsName(const std::string& name);

bool ScanContent(const std::filesystem::path& root, std::vector<CabEntry>& entries,
                 std::vector<std::string>& warnings, std::string& error);

}  // namespace zelpack
