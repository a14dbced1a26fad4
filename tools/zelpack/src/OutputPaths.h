// Where a build may write: never over or inside one of its own inputs.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zelpack {

struct NamedPath {
    std::string what;  // "the stub", "the package folder", ...
    std::filesystem::path path;
};

// Empty when none of `written` is, or lies inside, one of `inputs` (compared
// by real path, so through symbolic and hard links too); else which clash.
std::string FindInputClash(const std::vector<NamedPath>& written, const std::vector<NamedPath>& inputs);

// Empty when `output` can name a new package file, else why not.
std::string CheckOutputPlace(const std::filesystem::path& output);

}  // namespace zelpack
