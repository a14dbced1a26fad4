#include "SettingsText.h"

namespace zelpack {
namespace {

bool DecodeUtf16(const Bytes& raw, size_t from, bool bigEndian, std::string& out) {
    if ((raw.size() - from) % 2 != 0) return false;
    std::u16string wide;
    for (size_t i = from; i < raw.size(); i += 2)
        wide.push_back(char16_t(bigEndian ? (raw[i] << 8) | raw[i + 1] : raw[i] | (raw[i + 1] << 8)));
    out = Utf16ToUtf8(wide);
    return true;
}

bool ParseKeyLine(const std::string& line, std::string& key, std::string& value) {
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '[') return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(t.substr(0, eq));
    value = Trim(t.substr(eq + 1));
    return true;
}

bool IsSectionLine(const std::string& line, std::string& name) {
    std::string t = Trim(line);
    if (t.size() < 2 || t[0] != '[') return false;
    size_t close = t.find(']');
    if (close == std::string::npos) return false;
    name = Trim(t.substr(1, close - 1));
    return true;
}

}  // namespace

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

bool EqualsNoCase(const std::string& a, const std::string& b) { return ToLowerAscii(a) == ToLowerAscii(b); }

std::string ToLowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

std::string ToUpperAscii(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

bool SettingsText::Parse(const Bytes& raw, SettingsText& out, std::string& error) {
    std::string text;
    bool ok;
    if (raw.size() >= 2 && raw[0] == 0xFF && raw[1] == 0xFE) ok = DecodeUtf16(raw, 2, false, text);
    else if (raw.size() >= 2 && raw[0] == 0xFE && raw[1] == 0xFF) ok = DecodeUtf16(raw, 2, true, text);
    else if (raw.size() >= 2 && raw[0] != 0 && raw[1] == 0) ok = DecodeUtf16(raw, 0, false, text);
    else if (raw.size() >= 2 && raw[0] == 0 && raw[1] != 0) ok = DecodeUtf16(raw, 0, true, text);
    else {
        size_t from = raw.size() >= 3 && raw[0] == 0xEF && raw[1] == 0xBB && raw[2] == 0xBF ? 3 : 0;
        text.assign(raw.begin() + from, raw.end());
        std::u16string check;
        ok = Utf8ToUtf16(text, check);
    }
    if (!ok) {
        error = "is neither UTF-8 nor UTF-16 text; save it as UTF-8 or UTF-16";
        return false;
    }
    out.lines_.clear();
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            out.lines_.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line.push_back(c);
        }
    }
    if (!line.empty()) out.lines_.push_back(line);
    return true;
}

size_t SettingsText::FindSection(const std::string& section) const {
    std::string name;
    for (size_t i = 0; i < lines_.size(); ++i)
        if (IsSectionLine(lines_[i], name) && EqualsNoCase(name, section)) return i;
    return std::string::npos;
}

void SettingsText::Body(size_t header, size_t& first, size_t& end) const {
    first = header + 1;
    end = first;
    std::string name;
    while (end < lines_.size() && !IsSectionLine(lines_[end], name)) ++end;
}

std::optional<std::string> SettingsText::Get(const std::string& section, const std::string& key) const {
    size_t h = FindSection(section);
    if (h == std::string::npos) return std::nullopt;
    size_t first, end;
    Body(h, first, end);
    std::string k, v;
    for (size_t i = first; i < end; ++i)
        if (ParseKeyLine(lines_[i], k, v) && EqualsNoCase(k, key)) return v;
    return std::nullopt;
}

bool SettingsText::IsSet(const std::string& section, const std::string& key) const {
    auto v = Get(section, key);
    return v && !v->empty();
}

void SettingsText::Set(const std::string& section, const std::string& key, const std::string& value) {
    size_t h = FindSection(section);
    if (h == std::string::npos) {
        lines_.push_back("[" + section + "]");
        lines_.push_back(key + "=" + value);
        return;
    }
    size_t first, end;
    Body(h, first, end);
    std::string k, v;
    for (size_t i = first; i < end; ++i) {
        if (ParseKeyLine(lines_[i], k, v) && EqualsNoCase(k, key)) {
            lines_[i] = k + "=" + value;
            return;
        }
    }
    // After the section's last non-blank line, so blank separators stay put.
    size_t at = end;
    while (at > first && Trim(lines_[at - 1]).empty()) --at;
    lines_.insert(lines_.begin() + long(at), key + "=" + value);
}

void SettingsText::SetFirst(const std::string& section, const std::string& key, const std::string& value) {
    size_t h = FindSection(section);
    if (h == std::string::npos) {
        Set(section, key, value);
        return;
    }
    size_t first, end;
    Body(h, first, end);
    std::string k, v;
    for (size_t i = end; i-- > first;)
        if (ParseKeyLine(lines_[i], k, v) && EqualsNoCase(k, key)) lines_.erase(lines_.begin() + long(i));
    lines_.insert(lines_.begin() + long(h + 1), key + "=" + value);
}

std::vector<SettingsLine> SettingsText::Lines() const {
    std::vector<SettingsLine> out;
    std::string section;
    for (size_t i = 0; i < lines_.size(); ++i) {
        SettingsLine l;
        l.number = i + 1;
        std::string t = Trim(lines_[i]), name;
        l.text = t;
        if (t.empty()) l.kind = SettingsLine::kBlank;
        else if (t[0] == ';') l.kind = SettingsLine::kComment;
        else if (IsSectionLine(t, name)) {
            l.kind = SettingsLine::kSection;
            section = name;
        } else if (ParseKeyLine(t, l.key, l.value) && !l.key.empty()) l.kind = SettingsLine::kKey;
        else l.kind = SettingsLine::kOther;
        l.section = section;
        out.push_back(std::move(l));
    }
    return out;
}

void SettingsText::ClearSection(const std::string& section) {
    size_t h = FindSection(section);
    if (h == std::string::npos) return;
    size_t first, end;
    Body(h, first, end);
    std::string k, v;
    for (size_t i = end; i-- > first;)
        if (ParseKeyLine(lines_[i], k, v)) lines_.erase(lines_.begin() + long(i));
}

std::vector<std::pair<std::string, std::string>> SettingsText::Keys(const std::string& section) const {
    std::vector<std::pair<std::string, std::string>> out;
    size_t h = FindSection(section);
    if (h == std::string::npos) return out;
    size_t first, end;
    Body(h, first, end);
    std::string k, v;
    for (size_t i = first; i < end; ++i)
        if (ParseKeyLine(lines_[i], k, v)) out.emplace_back(k, v);
    return out;
}

Bytes SettingsText::ToUtf16() const {
    Bytes out = {0xFF, 0xFE};
    std::u16string wide;
    for (const std::string& line : lines_) {
        Utf8ToUtf16(line, wide);
        for (char16_t c : wide) AppendLe16(out, uint16_t(c));
        AppendLe16(out, '\r');
        AppendLe16(out, '\n');
    }
    return out;
}

}  // namespace zelpack
