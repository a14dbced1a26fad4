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
    const uint64_t keyOffset = 6, keyBytes = sizeof kKey;  // with its terminating zero
    uint64_t fixed = (keyOffset + keyBytes + 3) & ~uint64_t(3);
    if (blockSize < fixed + 52 || !v.Has(block, fixed + 52)) return false;
    for (size_t i = 0; i < keyBytes / 2; ++i)
        if (v.U16(block + keyOffset + 2 * i) != uint16_t(kKey[i])) return false;
    if (v.U16(block + 2) < 52 || v.U32(block + fixed) != kFixedInfoSignature) return false;
    subtype = block + fixed + 40;
    return true;
}

}  // namespace

bool ParsePe(const Bytes& head, uint64_t fileSize, PeLayout& layout, std::string& error) {
    layout = PeLayout{};
    View v(head);
    if (!v.Has(0, 64) || head[0] != 'M' || head[1] != 'Z') {
        error = "not a Windows executable (no MZ header)";
        return false;
    }
    uint32_t pe = v.U32(0x3C);
    if (!v.Has(pe, 24) || v.U32(pe) != 0x00004550) {
        error = "not a PE executable (no PE signature)";
        return false;
    }
    uint16_t sectionCount = v.U16(pe + 6);
    uint32_t symbolTable = v.U32(pe + 12), symbolCount = v.U32(pe + 16);
    uint16_t optionalSize = v.U16(pe + 20);
    uint64_t opt = pe + 24;
    if (!v.Has(opt, optionalSize) || optionalSize < 2) {
        error = "truncated PE optional header";
        return false;
    }
    uint16_t magic = v.U16(opt);
    if (magic != 0x10B && magic != 0x20B) {
        error = "unknown PE optional header magic";
        return false;
    }
    layout.is64 = magic == 0x20B;
    uint64_t countField = layout.is64 ? 108 : 92;
    if (optionalSize < countField + 4) {
        error = "truncated PE optional header";
        return false;
    }
    uint32_t dirCount = v.U32(opt + countField);
    uint64_t dirs = countField + 4;
    auto directory = [&](uint32_t index, uint32_t& rva, uint32_t& size) {
        rva = size = 0;
        if (index < dirCount && dirs + 8 * (index + 1) <= optionalSize) {
            rva = v.U32(opt + dirs + 8 * index);
            size = v.U32(opt + dirs + 8 * index + 4);
        }
    };
    uint32_t headersSize = v.U32(opt + 60);
    layout.imageEnd = headersSize;

    uint64_t table = opt + optionalSize;
    if (!v.Has(table, uint64_t(sectionCount) * 40)) {
        error = "truncated PE section table";
        return false;
    }
    std::vector<Section> sections;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        uint64_t s = table + 40ull * i;
        Section sec{v.U32(s + 12), v.U32(s + 8), v.U32(s + 16), v.U32(s + 20)};
        sections.push_back(sec);
        if (sec.rawSize > 0) layout.imageEnd = std::max(layout.imageEnd, uint64_t(sec.rawOffset) + sec.rawSize);
    }
    // Unstripped images keep COFF symbols and their string table behind the sections.
    if (symbolTable != 0) {
        uint64_t strings = uint64_t(symbolTable) + uint64_t(symbolCount) * 18;
        uint64_t end = strings;
        if (v.Has(strings, 4)) end += v.U32(strings);
        layout.imageEnd = std::max(layout.imageEnd, end);
    }
    if (layout.imageEnd > fileSize) {
        error = "the executable is truncated (its sections run past the end of the file)";
        return false;
    }
    directory(4, layout.securityOffset, layout.securitySize);

    uint32_t rsrcRva, rsrcSize;
    directory(2, rsrcRva, rsrcSize);
    uint64_t root;
    if (rsrcRva == 0 || !RvaToOffset(sections, rsrcRva, 16, root)) return true;

    // Resource tree: type -> id -> language -> data entry. Offsets inside the
    // tree are relative to its root; the data entry holds an RVA.
    auto entries = [&](uint64_t dir, auto&& visit) {
        if (!v.Has(dir, 16)) return;
        uint32_t count = uint32_t(v.U16(dir + 12)) + v.U16(dir + 14);
        for (uint32_t i = 0; i < count && v.Has(dir + 16 + 8ull * i, 8); ++i) {
            uint64_t e = dir + 16 + 8ull * i;
            visit(v.U32(e), v.U32(e + 4));
        }
    };
    entries(root, [&](uint32_t type, uint32_t typeTarget) {
        if (type != kRtVersion || !(typeTarget & 0x80000000u)) return;
        entries(root + (typeTarget & 0x7FFFFFFFu), [&](uint32_t id, uint32_t idTarget) {
            if (id != 1 || !(idTarget & 0x80000000u)) return;
            entries(root + (idTarget & 0x7FFFFFFFu), [&](uint32_t, uint32_t langTarget) {
                if (langTarget & 0x80000000u) return;
                uint64_t leaf = root + langTarget;
                if (!v.Has(leaf, 16)) return;
                uint32_t dataRva = v.U32(leaf), dataSize = v.U32(leaf + 4);
                uint64_t data, subtype;
                if (RvaToOffset(sections, dataRva, dataSize, data) && FindSubtype(v, data, dataSize, subtype))
                    layout.subtypeOffsets.push_back(subtype);
            });
        });
    });
    return true;
}

}  // namespace zelpack
