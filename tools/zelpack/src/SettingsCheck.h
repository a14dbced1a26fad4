// Settings the stub would silently ignore, or that can never take effect,
// found before a package is built.
#pragma once

#include <string>
#include <vector>

#include "SettingsText.h"

namespace zelpack {

struct Finding {
    bool error = false;  // the package could never do what the settings ask
    std::string text;
};

void CheckSettings(const SettingsText& settings, std::vector<Finding>& findings);

// The known name closest to `name` (ignoring case), or "" when none is close.
std::string NearestName(const std::string& name, const std::vector<std::string>& known);

}  // namespace zelpack
