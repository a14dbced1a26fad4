// The scrambled form of the extraction password that the stub decodes.
#pragma once

#include <string>

namespace zelpack {

constexpr size_t kMaxPasswordLength = 50;  // what the stub's password box accepts

// Empty when the stub can take this password, else why not.
std::string CheckPassword(const std::string& password);

// Each character moves `shift` places up the printable range 32..126.
std::string ScramblePassword(const std::string& password, int shift);

// A shift in 1..94 derived from the password (so builds are repeatable) whose
// scrambled text neither begins nor ends with a blank and is not wrapped in
// quotes: the stub trims blanks and the profile reader strips quotes.
int ChooseShift(const std::string& password);

}  // namespace zelpack
