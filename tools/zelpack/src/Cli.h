// Command-line front end; main() only forwards to it so tests can drive it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace zelpack {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // the inputs were refused or writing failed
constexpr int kExitUsage = 2;   // the command line itself is wrong

int RunZelpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zelpack
