#include "Container.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "Hash.h"
#include "OutputFile.h"
#include "PeImage.h"

namespace zelpack {
namespace {

Bytes MarkerBytes() {
    Bytes out;
    for (size_t i = 0; i < kMarkerBytes / 2; ++i) AppendLe16(out, uint16_t(kPayloadMarker[i]));
    return out;
}

bool StubProblem(const Bytes& stub, const PeLayout& pe, std::string& error) {
    if (pe.securitySize != 0) {
        error = "the stub is signed; signing must come after packing: pack an unsigned stub, then sign the package";
        return true;
    }
    if (pe.subtypeOffsets.empty()) {
        error = "the stub has no version resource (type 16, id 1) to stamp; give it a VERSIONINFO block and rebuild it";
        return true;
    }
    if (stub.size() > pe.imageEnd) {
        error = "the stub already carries " + std::to_string(stub.size() - pe.imageEnd) +
                " bytes behind its image (a payload?); pack the plain stub from the build instead";
        return true;
    }
    for (uint64_t at : pe.subtypeOffsets) {
        if (GetLe32(&stub[at]) != 0) {
            error = "the stub's version resource already holds a payload offset; pack the plain stub from the build instead";
            return true;
        }
    }
    return false;
}

}  // namespace

std::string CheckRecordName(const std::string& name) {
    std::u16string wide;
    if (name.empty()) return "a record name is empty";
    if (!Utf8ToUtf16(name, wide)) return "record name '" + name + "' is not valid UTF-8";
    if (wide.size() * 2 > kMaxNameBytes) return "record name '" + name + "' is longer than 511 UTF-16 units";
    if (name == "." || name == "..") return "record name '" + name + "' is not a file name";
    for (char16_t c : wide) {
        if (c < 32 || c == u'\\' || c == u'/' || c == u':')
            return "record name '" + name + "' holds a folder part, a drive or a control character";
    }
    return {};
}

namespace {

// The stub's bytes and layout, refused when it cannot carry a payload.
bool LoadStub(const std::filesystem::path& stubPath, Bytes& stub, PeLayout& pe, std::string& error) {
    // The payload start is the stub's size; check it before reading the stub.
    std::error_code ec;
    uint64_t stubSize = std::filesystem::file_size(stubPath, ec);
    if (ec) {
        error = "cannot read stub " + PathText(stubPath) + ": " + ec.message();
        return false;
    }
    if (stubSize > kMaxPayloadStart) {
        error = "the payload would start at " + std::to_string(stubSize) +
                ", at or above 2 GiB, which the stub cannot read; use a smaller stub";
        return false;
    }
    if (!ReadWholeFile(stubPath, stub, error)) return false;
    if (!ParsePe(stub, stub.size(), pe, error) || StubProblem(stub, pe, error)) {
        error = "stub " + PathText(stubPath) + ": " + error;
        return false;
    }
    return true;
}

bool RecordSize(const RecordSource& r, uint64_t& size, std::string& error) {
    if (r.data) {
        size = r.data->size();
        return true;
    }
    std::error_code ec;
    size = std::filesystem::file_size(r.file, ec);
    if (ec) error = "cannot read " + PathText(r.file) + ": " + ec.message();
    return !ec;
}

bool CheckRecords(const std::vector<RecordSource>& records, std::string& error) {
    bool seenPackage = false;
    for (const RecordSource& r : records) {
        if (std::string why = CheckRecordName(r.name); !why.empty()) {
            error = why;
            return false;
        }
        if (r.kind == kKindPackage) seenPackage = true;
        else if (seenPackage) {
            error = "settings record '" + r.name + "' would follow a package record; settings records come first";
            return false;
        }
        uint64_t size = 0;
        if (!RecordSize(r, size, error)) return false;
        if (size > 0xFFFFFFFFull) {
            error = "'" + r.name + "' is 4 GiB or larger and cannot be one record; split the package into parts";
            return false;
        }
    }
    return true;
}

Bytes RecordHeader(const RecordSource& r, uint64_t size) {
    std::u16string wide;
    Utf8ToUtf16(r.name, wide);
    Bytes header = MarkerBytes();
    AppendLe32(header, uint32_t(wide.size() * 2));
    for (char16_t c : wide) AppendLe16(header, uint16_t(c));
    AppendLe32(header, uint32_t(size));
    AppendLe16(header, r.kind);
    return header;
}

bool WriteRecord(OutputFile& out, const RecordSource& r, std::vector<uint8_t>& chunk, const ProgressFn& progress,
                 std::string& error) {
    UniqueFile in;
    uint64_t size = 0;
    if (!r.data) {
        in.reset(std::fopen(r.file.c_str(), "rb"));
        std::error_code ec;
        size = std::filesystem::file_size(r.file, ec);
        if (!in || ec) {
            error = "cannot open " + PathText(r.file) + ": " + std::strerror(errno);
            return false;
        }
    } else {
        size = r.data->size();
    }
    Bytes header = RecordHeader(r, size);
    if (!out.Write(header.data(), header.size(), error)) return false;
    if (r.data) {
        if (!out.Write(r.data->data(), r.data->size(), error)) return false;
        if (progress) progress(size);
        return true;
    }
    for (uint64_t left = size; left > 0;) {
        size_t want = size_t(std::min<uint64_t>(left, chunk.size()));
        if (std::fread(chunk.data(), 1, want, in.get()) != want) {
            error = "cannot read " + PathText(r.file) + " (did it change while packing?)";
            return false;
        }
        if (!out.Write(chunk.data(), want, error)) return false;
        left -= want;
        if (progress) progress(want);
    }
    return true;
}

constexpr size_t kCopyChunk = 1 << 20;

}  // namespace

bool WritePackage(const std::filesystem::path& stubPath, const std::vector<RecordSource>& records,
                  const std::filesystem::path& output, const ProgressFn& progress, std::string& error,
                  const FinishFn& finish) {
    Bytes stub;
    PeLayout pe;
    if (!LoadStub(stubPath, stub, pe, error) || !CheckRecords(records, error)) return false;
    for (uint64_t at : pe.subtypeOffsets) PutLe32(&stub[at], uint32_t(stub.size()));

    OutputFile out(output);
    if (!out.Open(error) || !out.Write(stub.data(), stub.size(), error)) return false;
    std::vector<uint8_t> chunk(kCopyChunk);
    for (const RecordSource& r : records)
        if (!WriteRecord(out, r, chunk, progress, error)) return false;
    if (finish && (!out.Close(error) || !finish(out.TempPath(), error))) return false;
    return out.Commit(error);
}

namespace {

// The stub part of a package: its width, stamped offset and certificate table.
bool ReadPayloadStart(std::FILE* f, const std::filesystem::path& path, uint64_t fileSize, PackageInfo& info,
                      std::string& error) {
    // The stub's image is small; the payload behind it is read record by record.
    constexpr uint64_t kHeadBytes = 64u << 20;
    Bytes head(size_t(std::min<uint64_t>(fileSize, kHeadBytes)));
    if (std::fread(head.data(), 1, head.size(), f) != head.size()) {
        error = "cannot read " + PathText(path);
        return false;
    }
    PeLayout pe;
    if (!ParsePe(head, fileSize, pe, error)) {
        error = PathText(path) + ": " + error;
        return false;
    }
    info.is64 = pe.is64;
    info.signatureOffset = pe.securityOffset;
    info.signatureSize = pe.securitySize;
    if (pe.subtypeOffsets.empty()) {
        error = PathText(path) + ": no version resource, so no payload offset";
        return false;
    }
    info.payloadStart = GetLe32(&head[pe.subtypeOffsets.front()]);
    for (uint64_t at : pe.subtypeOffsets) {
        if (GetLe32(&head[at]) != info.payloadStart) {
            error = PathText(path) + ": the version resources disagree on the payload offset";
            return false;
        }
    }
    if (info.payloadStart > fileSize) {
        error = PathText(path) + ": the payload offset lies past the end of the file";
        return false;
    }
    return true;
}

// One record at `pos`: 1 read, 0 no record there (the payload ended), -1 damaged.
int ReadRecord(std::FILE* f, uint64_t pos, uint64_t fileSize, size_t number, RecordInfo& rec, std::string& error) {
    uint8_t fixed[kMarkerBytes + 4];
    static const Bytes marker = MarkerBytes();
    if (fileSize - pos < sizeof fixed || fseeko(f, off_t(pos), SEEK_SET) != 0 ||
        std::fread(fixed, 1, sizeof fixed, f) != sizeof fixed || std::memcmp(fixed, marker.data(), kMarkerBytes) != 0)
        return 0;
    rec.headerOffset = pos;
    uint32_t nameBytes = GetLe32(fixed + kMarkerBytes);
    std::string where = "record " + std::to_string(number) + " at " + std::to_string(pos);
    if (nameBytes > kMaxNameBytes || nameBytes % 2 != 0) {
        error = where + ": bad name length " + std::to_string(nameBytes);
        return -1;
    }
    constexpr uint64_t kSizeAndKind = 6;
    if (fileSize - pos - sizeof fixed < uint64_t(nameBytes) + kSizeAndKind) {
        error = where + ": truncated header";
        return -1;
    }
    Bytes rest(nameBytes + kSizeAndKind);
    if (std::fread(rest.data(), 1, rest.size(), f) != rest.size()) {
        error = where + ": read error";
        return -1;
    }
    std::u16string wide;
    for (uint32_t i = 0; i < nameBytes; i += 2) wide.push_back(char16_t(GetLe16(&rest[i])));
    rec.name = Utf16ToUtf8(wide);
    rec.size = GetLe32(&rest[nameBytes]);
    rec.kind = GetLe16(&rest[nameBytes + 4]);
    rec.dataOffset = pos + sizeof fixed + rest.size();
    if (fileSize - rec.dataOffset < rec.size) {
        error = where + " ('" + rec.name + "'): its data runs past the end of the file (truncated package)";
        return -1;
    }
    Sha256 hash;
    std::vector<uint8_t> chunk(kCopyChunk);
    for (uint64_t left = rec.size; left > 0;) {
        size_t want = size_t(std::min<uint64_t>(left, chunk.size()));
        if (std::fread(chunk.data(), 1, want, f) != want) {
            error = where + ": read error";
            return -1;
        }
        hash.Update(chunk.data(), want);
        left -= want;
    }
    rec.sha256 = ToHex(hash.Finish());
    return 1;
}

}  // namespace

bool InspectPackage(const std::filesystem::path& path, PackageInfo& info, std::string& error) {
    info = PackageInfo{};
    UniqueFile f(std::fopen(path.c_str(), "rb"));
    std::error_code ec;
    uint64_t fileSize = std::filesystem::file_size(path, ec);
    if (!f || ec) {
        error = "cannot open " + PathText(path) + ": " + std::strerror(errno);
        return false;
    }
    if (!ReadPayloadStart(f.get(), path, fileSize, info, error)) return false;
    if (info.payloadStart == 0) return true;
    uint64_t pos = info.payloadStart;
    while (true) {
        RecordInfo rec;
        int got = ReadRecord(f.get(), pos, fileSize, info.records.size() + 1, rec, error);
        if (got < 0) return false;
        if (got == 0) break;
        pos = rec.dataOffset + rec.size;
        info.records.push_back(std::move(rec));
    }
    info.trailingBytes = fileSize - pos;
    return true;
}

}  // namespace zelpack
