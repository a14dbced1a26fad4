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

struct FileCloser {
    void operator()(std::FILE* f) const { if (f) std::fclose(f); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

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

bool WritePackage(const std::filesystem::path& stubPath, const std::vector<RecordSource>& records,
                  const std::filesystem::path& output, const ProgressFn& progress, std::string& error) {
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
    Bytes stub;
    if (!ReadWholeFile(stubPath, stub, error)) return false;
    PeLayout pe;
    if (!ParsePe(stub, stub.size(), pe, error)) {
        error = "stub " + PathText(stubPath) + ": " + error;
        return false;
    }
    if (StubProblem(stub, pe, error)) {
        error = "stub " + PathText(stubPath) + ": " + error;
        return false;
    }
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
        uint64_t size = r.data ? r.data->size() : 0;
        if (!r.data) {
            std::error_code ec;
            size = std::filesystem::file_size(r.file, ec);
            if (ec) {
                error = "cannot read " + PathText(r.file) + ": " + ec.message();
                return false;
            }
        }
        if (size > 0xFFFFFFFFull) {
            error = "'" + r.name + "' is 4 GiB or larger and cannot be one record; split the package into parts";
            return false;
        }
    }
    for (uint64_t at : pe.subtypeOffsets) PutLe32(&stub[at], uint32_t(stub.size()));

    OutputFile out(output);
    if (!out.Open(error)) return false;
    if (!out.Write(stub.data(), stub.size(), error)) return false;
    const Bytes marker = MarkerBytes();
    std::vector<uint8_t> chunk(1 << 20);
    for (const RecordSource& r : records) {
        std::u16string wide;
        Utf8ToUtf16(r.name, wide);
        Bytes header = marker;
        AppendLe32(header, uint32_t(wide.size() * 2));
        for (char16_t c : wide) AppendLe16(header, uint16_t(c));
        UniqueFile in;
        uint64_t size = 0;
        if (r.data) {
            size = r.data->size();
        } else {
            in.reset(std::fopen(r.file.c_str(), "rb"));
            std::error_code ec;
            size = std::filesystem::file_size(r.file, ec);
            if (!in || ec) {
                error = "cannot open " + PathText(r.file) + ": " + std::strerror(errno);
                return false;
            }
        }
        AppendLe32(header, uint32_t(size));
        AppendLe16(header, r.kind);
        if (!out.Write(header.data(), header.size(), error)) return false;
        if (r.data) {
            if (!out.Write(r.data->data(), r.data->size(), error)) return false;
            if (progress) progress(size);
            continue;
        }
        uint64_t left = size;
        while (left > 0) {
            size_t want = size_t(std::min<uint64_t>(left, chunk.size()));
            if (std::fread(chunk.data(), 1, want, in.get()) != want) {
                error = "cannot read " + PathText(r.file) + " (did it change while packing?)";
                return false;
            }
            if (!out.Write(chunk.data(), want, error)) return false;
            left -= want;
            if (progress) progress(want);
        }
    }
    return out.Commit(error);
}

bool InspectPackage(const std::filesystem::path& path, PackageInfo& info, std::string& error) {
    info = PackageInfo{};
    UniqueFile f(std::fopen(path.c_str(), "rb"));
    std::error_code ec;
    uint64_t fileSize = std::filesystem::file_size(path, ec);
    if (!f || ec) {
        error = "cannot open " + PathText(path) + ": " + std::strerror(errno);
        return false;
    }
    // The stub's image is small; the payload behind it is read record by record.
    Bytes head(size_t(std::min<uint64_t>(fileSize, 64u << 20)));
    if (std::fread(head.data(), 1, head.size(), f.get()) != head.size()) {
        error = "cannot read " + PathText(path);
        return false;
    }
    PeLayout pe;
    if (!ParsePe(head, fileSize, pe, error)) {
        error = PathText(path) + ": " + error;
        return false;
    }
    info.is64 = pe.is64;
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
    if (info.payloadStart == 0) return true;
    if (info.payloadStart > fileSize) {
        error = PathText(path) + ": the payload offset lies past the end of the file";
        return false;
    }
    const Bytes marker = MarkerBytes();
    uint64_t pos = info.payloadStart;
    std::vector<uint8_t> chunk(1 << 20);
    while (true) {
        uint8_t fixed[kMarkerBytes + 4];
        if (fileSize - pos < sizeof fixed || fseeko(f.get(), off_t(pos), SEEK_SET) != 0 ||
            std::fread(fixed, 1, sizeof fixed, f.get()) != sizeof fixed ||
            std::memcmp(fixed, marker.data(), kMarkerBytes) != 0) {
            break;
        }
        RecordInfo rec;
        rec.headerOffset = pos;
        uint32_t nameBytes = GetLe32(fixed + kMarkerBytes);
        std::string where = "record " + std::to_string(info.records.size() + 1) + " at " + std::to_string(pos);
        if (nameBytes > kMaxNameBytes || nameBytes % 2 != 0) {
            error = where + ": bad name length " + std::to_string(nameBytes);
            return false;
        }
        if (fileSize - pos - sizeof fixed < uint64_t(nameBytes) + 6) {
            error = where + ": truncated header";
            return false;
        }
        Bytes rest(nameBytes + 6);
        if (std::fread(rest.data(), 1, rest.size(), f.get()) != rest.size()) {
            error = where + ": read error";
            return false;
        }
        std::u16string wide;
        for (uint32_t i = 0; i < nameBytes; i += 2) wide.push_back(char16_t(GetLe16(&rest[i])));
        rec.name = Utf16ToUtf8(wide);
        rec.size = GetLe32(&rest[nameBytes]);
        rec.kind = GetLe16(&rest[nameBytes + 4]);
        rec.dataOffset = pos + sizeof fixed + rest.size();
        if (fileSize - rec.dataOffset < rec.size) {
            error = where + " ('" + rec.name + "'): its data runs past the end of the file (truncated package)";
            return false;
        }
        Sha256 hash;
        uint64_t left = rec.size;
        while (left > 0) {
            size_t want = size_t(std::min<uint64_t>(left, chunk.size()));
            if (std::fread(chunk.data(), 1, want, f.get()) != want) {
                error = where + ": read error";
                return false;
            }
            hash.Update(chunk.data(), want);
            left -= want;
        }
        rec.sha256 = ToHex(hash.Finish());
        pos = rec.dataOffset + rec.size;
        info.records.push_back(std::move(rec));
    }
    info.trailingBytes = fileSize - pos;
    return true;
}

}  // namespace zelpack
