// MS-CAB writer: MSZIP folders compressed in parallel, laid out as one cabinet
// or as a set whose files may span from one cabinet into the next. The
// signature is written as "TAVO", which is what the stub's engine expects.
#pragma once

#include <cstdint>
#include <cstdio>
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

// The cabinet layout: a fixed header (then the set links), folder entries,
// file entries (each followed by its name and a zero), data blocks.
constexpr size_t kHeaderBytes = 36;
constexpr size_t kHdrSignature = 0, kHdrCabinetBytes = 8, kHdrFirstFile = 16, kHdrMinorVersion = 24,
                 kHdrMajorVersion = 25, kHdrFolderCount = 26, kHdrFileCount = 28, kHdrFlags = 30, kHdrSetId = 32,
                 kHdrIndex = 34;
constexpr uint16_t kFlagPrev = 0x1, kFlagNext = 0x2, kFlagReserve = 0x4;
constexpr size_t kFolderEntryBytes = 8;  // first data block (4), block count (2), compression (2)
constexpr uint16_t kTypeMszip = 1;
constexpr size_t kFileEntryFixedBytes = 16;
constexpr size_t kFileSize = 0, kFileFolderOffset = 4, kFileFolder = 8, kFileDate = 10, kFileTime = 12,
                 kFileAttribs = 14;
constexpr uint16_t kContinuedFromPrev = 0xFFFD, kContinuedToNext = 0xFFFE, kContinuedBoth = 0xFFFF;
constexpr size_t kDataHeaderBytes = 8;  // checksum (4), compressed size (2), uncompressed size (2)
constexpr size_t kDataCompressedSize = 4, kDataUncompressedSize = 6;

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
    unsigned maxCabinets = 999;          // the stub numbers parts with three digits
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

struct CabListing {
    uint16_t setId = 0, index = 0;
    struct File {
        std::string name;
        uint32_t size = 0;
        uint16_t folder = 0;  // a folder index or one of the continuation values
    };
    std::vector<File> files;
};

// Reads the file entries of the cabinet at [offset, offset + size) of an open file.
bool ListCabinet(std::FILE* f, uint64_t offset, uint64_t size, CabListing& listing, std::string& error);

}  // namespace zelpack
