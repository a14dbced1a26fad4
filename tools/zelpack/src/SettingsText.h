// The package settings file as lines of text: read in UTF-8 or UTF-16 with
// any line ending, edited key by key, written as UTF-16LE with BOM and CR LF
// (the form the stub's private-profile reads expect).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ByteIo.h"

namespace zelpack {

// One line of the file as the stub's profile reader sees it.
struct SettingsLine {
    enum Kind { kBlank, kComment, kSection, kKey, kOther } kind = kBlank;
    size_t number = 0;      // 1-based
    std::string section;    // the section it belongs to ("" before the first)
    std::string key, value; // kKey only
    std::string text;       // the line without blanks around it
};

class SettingsText {
public:
    static bool Parse(const Bytes& raw, SettingsText& out, std::string& error);

    // Section and key names match without regard to case; values are trimmed.
    std::optional<std::string> Get(const std::string& section, const std::string& key) const;
    // True when the key holds a non-empty value.
    bool IsSet(const std::string& section, const std::string& key) const;
    void Set(const std::string& section, const std::string& key, const std::string& value);
    // Replaces every occurrence of the key with one line right below the
    // section header, where a reader of only the section's start still sees it.
    void SetFirst(const std::string& section, const std::string& key, const std::string& value);
    void ClearSection(const std::string& section);  // drops the keys, keeps the header
    std::vector<std::pair<std::string, std::string>> Keys(const std::string& section) const;

    std::vector<SettingsLine> Lines() const;

    Bytes ToUtf16() const;

private:
    // Index of the section header line, or npos.
    size_t FindSection(const std::string& section) const;
    // Lines of a section's body: [first, end).
    void Body(size_t header, size_t& first, size_t& end) const;
    std::vector<std::string> lines_;
};

std::string Trim(const std::string& s);
// The stub's settings reads fold the case of A-Z only; so do these.
bool EqualsNoCase(const std::string& a, const std::string& b);
std::string ToLowerAscii(std::string s);
std::string ToUpperAscii(std::string s);

}  // namespace zelpack
