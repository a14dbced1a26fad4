// MS-CAB writer: MSZIP folders compressed in parallel, laid out as one cabinet
// or as a set whose files may span from one cabinet into the next. The
// signature is written as "TAVO", which is what the stub's engine expects.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace zelpack {

constexpr uint64_t kMaxCabinetBytes = 0x7FFF8000ull - 1;  // must stay below 0x7FFF8000
constexpr uint32_t kCabBlockBytes = 32768;
constexpr uint64_t kMaxFolderBytes = uint64_t(65534) * kCabBlockBytes;  // fewer than 65,535 blocks
constexpr uint16_t kCabAttrReadOnly = 0x01, kCabAttrHidden = 0x02, kCabAttrSystem = 0x04,
                   kCabAttrArchive = 0x20, kCabAttrUtf8Name = 0x80, kCabAttrUtcTime = 0x100;

struct CabEntry {
    std::filesystem::path source;
    std::string storedName;  // UTF-8, "\" separators, leading "\"
    uint64_t size = 0;
    uint16_t date = 0, time = 0, attribs = 0;
};

struct CabOptions {
    uint16_t setId = 0;
    uint64_t maxCabinetBytes = kMaxCabinetBytes;
    bool allowSet = false;               // false: everything must fit one cabinet
    unsigned threads = 1;
    uint64_t folderTarget = 8u << 20;    // uncompressed bytes per folder (the unit of parallel work)
    int level = 5;                       // deflate level: smaller than per-block writers at level 6, and faster
    std::function<std::string(unsigned)> cabinetName;        // name stored in the prev/next fields
    std::function<std::filesystem::path(unsigned)> cabinetPath;
    std::filesystem::path spool;          // scratch file for compressed blocks
    std::function<void(uint64_t bytes, uint64_t files)> progress;
};

struct CabinetWritten {
    std::filesystem::path path;
    uint64_t size = 0;
    std::string sha1;  // full digest, lower-case hex
};

// DOS date and time of a UTC time, clamped to what the format can hold.
void ToDosDateTime(int64_t unixSeconds, uint16_t& date, uint16_t& time);

// The cabinet data checksum over a block (seeded as the format describes).
uint32_t CabChecksum(const uint8_t* data, size_t size, uint32_t seed);

bool WriteCabinets(const std::vector<CabEntry>& entries, const CabOptions& options,
                   std::vector<CabinetWritten>& written, std::string& error);

}  // namespace zelpack
