#include "PeImage.h"

#include <algorithm>

namespace zelpack {
namespace {

constexpr uint16_t kRtVersion = 16;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;

struct Section {
    uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

class View {
public:
    explicit View(const Bytes& b) : b_(b) {}
    bool Has(uint64_t offset, uint64_t size) const { return offset <= b_.size() && size <= b_.size() - offset; }
    uint16_t U16(uint64_t o) const { return GetLe16(&b_[o]); }
    uint32_t U32(uint64_t o) const { return GetLe32(&b_[o]); }

private:
    const Bytes& b_;
};

bool RvaToOffset(const std::vector<Section>& sections, uint32_t rva, uint32_t size, uint64_t& offset) {
    for (const Section& s : sections) {
        uint32_t span = std::max(s.virtualSize, s.rawSize);
        if (rva >= s.virtualAddress && rva - s.virtualAddress < span) {
            uint32_t delta = rva - s.virtualAddress;
            if (uint64_t(delta) + size > s.rawSize) return false;
            offset = uint64_t(s.rawOffset) + delta;
            return true;
        }
    }
    return false;
}

// Finds the fixed version information inside one VS_VERSIONINFO block.
bool FindSubtype(const View& v, uint64_t block, uint32_t blockSize, uint64_t& subtype) {
    static const char16_t kKey[] = u"VS_VERSION_INFO";
    // Block: length (2), value length (2) at 2, type (2), key, padding to 4, fixed info.
    const uint64_t valueLength = 2, keyOffset = 6, keyBytes = sizeof kKey;  // with its terminating zero
    const uint64_t fixedInfoBytes = 52, subtypeField = 40;
    uint64_t fixed = (keyOffset + keyBytes + 3) & ~uint64_t(3);
    if (blockSize < fixed + fixedInfoBytes || !v.Has(block, fixed + fixedInfoBytes)) return false;
    for (size_t i = 0; i < keyBytes / 2; ++i)
        if (v.U16(block + keyOffset + 2 * i) != uint16_t(kKey[i])) return false;
    if (v.U16(block + valueLength) < fixedInfoBytes || v.U32(block + fixed) != kFixedInfoSignature) return false;
    subtype = block + fixed + subtypeField;
    return true;
}

}  // namespace

namespace {

// Offsets of the fields read, relative to the structure named.
constexpr uint64_t kDosSize = 64, kDosPeOffset = 0x3C;
constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint64_t kCoffSize = 24;             // signature and file header
constexpr uint64_t kCoffSections = 6, kCoffSymbolTable = 12, kCoffSymbolCount = 16, kCoffOptionalSize = 20;
constexpr uint16_t kMagicPe32 = 0x10B, kMagicPe32Plus = 0x20B;
constexpr uint64_t kOptHeadersSize = 60;
constexpr uint64_t kOptDirCount32 = 92, kOptDirCount64 = 108;
constexpr uint64_t kDirEntryBytes = 8;
constexpr uint32_t kDirResource = 2, kDirSecurity = 4;
constexpr uint64_t kSectionBytes = 40;
constexpr uint64_t kSecVirtualSize = 8, kSecVirtualAddress = 12, kSecRawSize = 16, kSecRawOffset = 20;
constexpr uint64_t kSymbolBytes = 18;
constexpr uint64_t kResDirBytes = 16, kResNamedCount = 12, kResIdCount = 14, kResEntryBytes = 8;
constexpr uint32_t kResSubdirectory = 0x80000000u;
constexpr uint64_t kResDataEntryBytes = 16;

struct Headers {
    uint64_t opt = 0;             // offset of the optional header
    uint16_t optionalSize = 0, sectionCount = 0;
    uint32_t symbolTable = 0, symbolCount = 0;
    uint64_t dirs = 0;            // data directories, relative to opt
    uint32_t dirCount = 0;
};

bool ReadHeaders(const View& v, const Bytes& head, Headers& h, PeLayout& layout, std::string& error) {
    if (!v.Has(0, kDosSize) || head[0] != 'M' || head[1] != 'Z') {
        error = "not a Windows executable (no MZ header)";
        return false;
    }
    uint32_t pe = v.U32(kDosPeOffset);
    if (!v.Has(pe, kCoffSize) || v.U32(pe) != kPeSignature) {
        error = "not a PE executable (no PE signature)";
        return false;
    }
    h.sectionCount = v.U16(pe + kCoffSections);
    h.symbolTable = v.U32(pe + kCoffSymbolTable);
    h.symbolCount = v.U32(pe + kCoffSymbolCount);
    h.optionalSize = v.U16(pe + kCoffOptionalSize);
    h.opt = pe + kCoffSize;
    if (!v.Has(h.opt, h.optionalSize) || h.optionalSize < 2) {
        error = "truncated PE optional header";
        return false;
    }
    uint16_t magic = v.U16(h.opt);
    if (magic != kMagicPe32 && magic != kMagicPe32Plus) {
        error = "unknown PE optional header magic";
        return false;
    }
    layout.is64 = magic == kMagicPe32Plus;
    uint64_t countField = layout.is64 ? kOptDirCount64 : kOptDirCount32;
    if (h.optionalSize < countField + 4) {
        error = "truncated PE optional header";
        return false;
    }
    h.dirCount = v.U32(h.opt + countField);
    h.dirs = countField + 4;
    layout.imageEnd = v.U32(h.opt + kOptHeadersSize);
    return true;
}

void Directory(const View& v, const Headers& h, uint32_t index, uint32_t& rva, uint32_t& size) {
    rva = size = 0;
    if (index < h.dirCount && h.dirs + kDirEntryBytes * (index + 1) <= h.optionalSize) {
        rva = v.U32(h.opt + h.dirs + kDirEntryBytes * index);
        size = v.U32(h.opt + h.dirs + kDirEntryBytes * index + 4);
    }
}

// The section table, and the end of the image: sections and, in unstripped
// images, the COFF symbols and their string table behind them.
bool ReadSections(const View& v, const Headers& h, uint64_t fileSize, std::vector<Section>& sections,
                  PeLayout& layout, std::string& error) {
    uint64_t table = h.opt + h.optionalSize;
    if (!v.Has(table, uint64_t(h.sectionCount) * kSectionBytes)) {
        error = "truncated PE section table";
        return false;
    }
    for (uint16_t i = 0; i < h.sectionCount; ++i) {
        uint64_t s = table + kSectionBytes * i;
        Section sec{v.U32(s + kSecVirtualAddress), v.U32(s + kSecVirtualSize), v.U32(s + kSecRawSize),
                    v.U32(s + kSecRawOffset)};
        sections.push_back(sec);
        if (sec.rawSize > 0) layout.imageEnd = std::max(layout.imageEnd, uint64_t(sec.rawOffset) + sec.rawSize);
    }
    if (h.symbolTable != 0) {
        uint64_t strings = uint64_t(h.symbolTable) + uint64_t(h.symbolCount) * kSymbolBytes;
        uint64_t end = strings;
        if (v.Has(strings, 4)) end += v.U32(strings);
        layout.imageEnd = std::max(layout.imageEnd, end);
    }
    if (layout.imageEnd > fileSize) {
        error = "the executable is truncated (its sections run past the end of the file)";
        return false;
    }
    return true;
}

// Resource tree: type -> id -> language -> data entry. Offsets inside the
// tree are relative to its root; the data entry holds an RVA.
void FindVersionSubtypes(const View& v, const std::vector<Section>& sections, uint64_t root, PeLayout& layout) {
    auto entries = [&](uint64_t dir, auto&& visit) {
        if (!v.Has(dir, kResDirBytes)) return;
        uint32_t count = uint32_t(v.U16(dir + kResNamedCount)) + v.U16(dir + kResIdCount);
        for (uint32_t i = 0; i < count && v.Has(dir + kResDirBytes + kResEntryBytes * i, kResEntryBytes); ++i) {
            uint64_t e = dir + kResDirBytes + kResEntryBytes * i;
            visit(v.U32(e), v.U32(e + 4));
        }
    };
    entries(root, [&](uint32_t type, uint32_t typeTarget) {
        if (type != kRtVersion || !(typeTarget & kResSubdirectory)) return;
        entries(root + (typeTarget & ~kResSubdirectory), [&](uint32_t id, uint32_t idTarget) {
            if (id != 1 || !(idTarget & kResSubdirectory)) return;
            entries(root + (idTarget & ~kResSubdirectory), [&](uint32_t, uint32_t langTarget) {
                if (langTarget & kResSubdirectory) return;
                uint64_t leaf = root + langTarget;
                if (!v.Has(leaf, kResDataEntryBytes)) return;
                uint32_t dataRva = v.U32(leaf), dataSize = v.U32(leaf + 4);
                uint64_t data, subtype;
                if (RvaToOffset(sections, dataRva, dataSize, data) && FindSubtype(v, data, dataSize, subtype))
                    layout.subtypeOffsets.push_back(subtype);
            });
        });
    });
}

}  // namespace

bool ParsePe(const Bytes& head, uint64_t fileSize, PeLayout& layout, std::string& error) {
    layout = PeLayout{};
    View v(head);
    Headers h;
    std::vector<Section> sections;
    if (!ReadHeaders(v, head, h, layout, error) || !ReadSections(v, h, fileSize, sections, layout, error))
        return false;
    Directory(v, h, kDirSecurity, layout.securityOffset, layout.securitySize);
    uint32_t rsrcRva, rsrcSize;
    Directory(v, h, kDirResource, rsrcRva, rsrcSize);
    uint64_t root;
    if (rsrcRva != 0 && RvaToOffset(sections, rsrcRva, kResDirBytes, root)) FindVersionSubtypes(v, sections, root, layout);
    return true;
}

}  // namespace zelpack
