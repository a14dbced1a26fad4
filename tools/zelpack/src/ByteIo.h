// Little-endian field access and whole-file helpers shared by the writers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace zelpack {

using Bytes = std::vector<uint8_t>;

inline uint16_t GetLe16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t GetLe32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void PutLe16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void AppendLe16(Bytes& out, uint16_t v) { out.push_back(uint8_t(v)); out.push_back(uint8_t(v >> 8)); }
inline void AppendLe32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

struct FileCloser {
    void operator()(std::FILE* f) const { if (f) std::fclose(f); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// Reads a whole file; false with a message naming the file on failure.
bool ReadWholeFile(const std::filesystem::path& path, Bytes& out, std::string& error);

// UTF-8 <-> UTF-16 code units; invalid input gives false.
bool Utf8ToUtf16(const std::string& text, std::u16string& out);
std::string Utf16ToUtf8(const std::u16string& text);
// Paths are native (UTF-8) text on the hosts we build on.
inline std::string PathText(const std::filesystem::path& p) { return p.string(); }

}  // namespace zelpack
