// The payload records appended to the stub, and the stamped start offset.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ByteIo.h"

namespace zelpack {

constexpr uint16_t kKindSettings = 200;
constexpr uint16_t kKindPackage = 100;
constexpr const char16_t kPayloadMarker[] = u"{20726377-9F91-41b8-B514-20AE00AA235D}";
constexpr size_t kMarkerBytes = 76;
constexpr uint32_t kMaxNameBytes = 1022;  // the reader needs NameLength < 1024 with a zero after it
constexpr uint64_t kMaxPayloadStart = 0x7FFFFFFF;

struct RecordSource {
    std::string name;                    // UTF-8, a plain file name
    uint16_t kind = kKindSettings;
    std::optional<Bytes> data;           // either the bytes ...
    std::filesystem::path file;          // ... or a file to copy
};

// Empty when the name can be a record name, else why not.
std::string CheckRecordName(const std::string& name);

using ProgressFn = std::function<void(uint64_t bytes)>;
// Last work on a complete package under its temporary name (signing), before
// it takes the output's place.
using FinishFn = std::function<bool(const std::filesystem::path& complete, std::string& error)>;

// Writes stub + records to `output` (through a temporary name) and stamps the
// payload start into the stub's version resource. The stub file is not changed,
// and neither is an earlier `output` unless the whole write, `finish` included,
// succeeds.
bool WritePackage(const std::filesystem::path& stub, const std::vector<RecordSource>& records,
                  const std::filesystem::path& output, const ProgressFn& progress, std::string& error,
                  const FinishFn& finish = {});

struct RecordInfo {
    std::string name;
    uint16_t kind = 0;
    uint64_t headerOffset = 0;
    uint64_t dataOffset = 0;
    uint32_t size = 0;
    std::string sha256;
};

struct PackageInfo {
    bool is64 = false;
    uint32_t payloadStart = 0;
    std::vector<RecordInfo> records;
    uint64_t trailingBytes = 0;  // bytes after the last record (a signature, say)
    uint32_t signatureOffset = 0, signatureSize = 0;  // the certificate table, when signed
};

bool InspectPackage(const std::filesystem::path& file, PackageInfo& info, std::string& error);

}  // namespace zelpack
