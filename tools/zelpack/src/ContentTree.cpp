#include "ContentTree.h"

#include <algorithm>
#include <sys/stat.h>

#include "ByteIo.h"
#include "SettingsText.h"

namespace zelpack {
namespace {

bool IsAscii(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (unsigned char)c < 0x80; });
}

}  // namespace

std::string CheckWindowsName(const std::string& name) {
    std::u16string wide;
    if (!Utf8ToUtf16(name, wide)) return "'" + name + "' is not valid UTF-8";
    for (char16_t c : wide) {
        if (c < 32 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' || c == u'*' ||
            c == u'\\')
            return "'" + name + "' holds a character Windows does not allow in file names";
    }
    if (name.back() == '.' || name.back() == ' ') return "'" + name + "' ends in a point or blank, which Windows drops";
    std::string base = ToUpperAscii(name.substr(0, name.find('.')));
    static const char* reserved[] = {"CON", "PRN", "AUX", "NUL", "COM1", "COM2", "COM3", "COM4", "COM5",
                                     "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4",
                                     "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    for (const char* r : reserved)
        if (base == r) return "'" + name + "' is a reserved device name on Windows";
    return {};
}

bool ScanContent(const std::filesystem::path& root, std::vector<CabEntry>& entries,
                 std::vector<std::string>& warnings, std::string& error) {
    entries.clear();
    struct Found {
        std::vector<std::string> parts;
        std::filesystem::path path;
    };
    std::vector<Found> found;
    std::error_code ec;
    auto it = std::filesystem::recursive_directory_iterator(root, ec);
    if (ec) {
        error = "cannot read " + PathText(root) + ": " + ec.message();
        return false;
    }
    for (; it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) {
            error = "cannot read " + PathText(root) + ": " + ec.message();
            return false;
        }
        const auto& entry = *it;
        std::filesystem::path rel = entry.path().lexically_relative(root);
        std::vector<std::string> parts;
        for (const auto& p : rel) parts.push_back(p.string());
        for (const std::string& part : parts) {
            if (std::string why = CheckWindowsName(part); !why.empty()) {
                error = "content/" + rel.string() + ": " + why;
                return false;
            }
        }
        if (entry.is_symlink()) {
            error = "content/" + rel.string() + " is a symbolic link; put the file itself there";
            return false;
        }
        if (entry.is_directory()) {
            if (std::filesystem::is_empty(entry.path(), ec))
                warnings.push_back("empty folder content/" + rel.string() + " is not carried (cabinets hold files only)");
            continue;
        }
        if (!entry.is_regular_file()) {
            error = "content/" + rel.string() + " is not a regular file";
            return false;
        }
        found.push_back({parts, entry.path()});
    }
    // Byte order of the path components: the same tree always gives the same cabinet.
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.parts < b.parts; });
    for (size_t i = 1; i < found.size(); ++i) {
        std::string a, b;
        for (const auto& p : found[i - 1].parts) a.append(1, '\\').append(ToUpperAscii(p));
        for (const auto& p : found[i].parts) b.append(1, '\\').append(ToUpperAscii(p));
        if (a == b) {
            error = "content holds two names that Windows sees as one: " + PathText(found[i - 1].path) + " and " +
                    PathText(found[i].path);
            return false;
        }
    }
    for (const Found& f : found) {
        struct stat st {};
        if (::stat(f.path.c_str(), &st) != 0) {
            error = PathText(f.path) + " disappeared while packing";
            return false;
        }
        CabEntry e;
        e.source = f.path;
        for (const auto& p : f.parts) e.storedName.append(1, '\\').append(p);
        e.size = uint64_t(st.st_size);
        ToDosDateTime(int64_t(st.st_mtime), e.date, e.time);
        e.attribs = kCabAttrArchive | kCabAttrUtcTime;
        if (!(st.st_mode & S_IWUSR)) e.attribs |= kCabAttrReadOnly;
        if (!IsAscii(e.storedName)) e.attribs |= kCabAttrUtf8Name;
        entries.push_back(std::move(e));
    }
    return true;
}

}  // namespace zelpack
