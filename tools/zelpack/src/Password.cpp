#include "Password.h"

#include "Hash.h"

namespace zelpack {

std::string CheckPassword(const std::string& password) {
    if (password.empty()) return "the password is empty";
    if (password.size() > kMaxPasswordLength)
        return "the password is longer than " + std::to_string(kMaxPasswordLength) +
               " characters, more than the stub's password box takes";
    for (unsigned char c : password)
        if (c < 32 || c > 126) return "the password may hold only printable ASCII characters (letters, digits, punctuation, blank)";
    // Quiet runs take it as -extractionpassword=TEXT, of which the stub keeps
    // the text after the last "=", without blanks around it.
    if (password.find('=') != std::string::npos)
        return "the password holds \"=\", which -extractionpassword cannot carry (the stub keeps only the text "
               "after the last \"=\"); choose another password";
    if (password.front() == ' ' || password.back() == ' ')
        return "the password begins or ends with a blank, which -extractionpassword cannot carry (the stub trims "
               "it); choose another password";
    return {};
}

std::string ScramblePassword(const std::string& password, int shift) {
    std::string out;
    for (unsigned char p : password) out.push_back(char(((p - 32 + shift) % 95) + 32));
    return out;
}

int ChooseShift(const std::string& password) {
    Sha256 h;
    h.Update(password.data(), password.size());
    auto digest = h.Finish();
    int start = digest[0] % 94;
    for (int i = 0; i < 94; ++i) {
        int shift = 1 + (start + i) % 94;
        std::string s = ScramblePassword(password, shift);
        bool blankEnd = s.front() == ' ' || s.back() == ' ';
        bool quoted = s.size() >= 2 && s.front() == s.back() && (s.front() == '"' || s.front() == '\'');
        if (!blankEnd && !quoted) return shift;
    }
    return 1;  // not reached: at most four shifts are excluded
}

}  // namespace zelpack
