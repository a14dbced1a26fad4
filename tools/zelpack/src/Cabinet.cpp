#include "Cabinet.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <future>
#include <memory>
#include <zlib.h>

#include "ByteIo.h"
#include "Hash.h"
#include "OutputFile.h"

namespace zelpack {
namespace {

constexpr uint16_t kTypeMszip = 1;
constexpr uint16_t kFlagPrev = 0x1, kFlagNext = 0x2;
constexpr uint16_t kContinuedFromPrev = 0xFFFD, kContinuedToNext = 0xFFFE, kContinuedBoth = 0xFFFF;
constexpr size_t kHeaderBytes = 36;
constexpr size_t kMaxBlockPayload = kCabBlockBytes + 12;

struct Block {
    uint64_t spoolOffset = 0;
    uint32_t csum = 0;
    uint16_t cb = 0, ucb = 0;
};

struct Folder {
    size_t firstEntry = 0, endEntry = 0;
    uint64_t bytes = 0;
    std::vector<uint64_t> starts;  // offset of each entry in the folder
    std::vector<Block> blocks;
    std::vector<uint64_t> blockStart;  // uncompressed offset of each block, plus the end
};

struct Compressed {
    Bytes data;
    std::vector<Block> blocks;  // spoolOffset relative to data
    std::string error;
};

struct FileCloser {
    void operator()(std::FILE* f) const { if (f) std::fclose(f); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// One deflate stream per folder, flushed to a byte boundary at the end of
// each block and closed there by an empty final block, so every block is a
// complete deflate stream (as MSZIP wants) while the history carries on
// without re-feeding the previous block as a dictionary.
class Deflater {
public:
    explicit Deflater(int level) {
        std::memset(&z_, 0, sizeof z_);
        ok_ = deflateInit2(&z_, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
        out_.resize(deflateBound(&z_, kCabBlockBytes) + 64);
    }
    ~Deflater() { if (ok_) deflateEnd(&z_); }
    bool ok() const { return ok_; }

    bool Block(const uint8_t* in, uint32_t size, Bytes& payload) {
        z_.next_in = const_cast<uint8_t*>(in);
        z_.avail_in = size;
        size_t made = 0;
        do {
            if (made == out_.size()) out_.resize(out_.size() * 2);
            z_.next_out = out_.data() + made;
            z_.avail_out = uInt(out_.size() - made);
            if (deflate(&z_, Z_SYNC_FLUSH) == Z_STREAM_ERROR) return false;
            made = out_.size() - z_.avail_out;
        } while (z_.avail_in > 0 || z_.avail_out == 0);
        payload.assign({'C', 'K'});
        if (2 + made + 2 <= kMaxBlockPayload) {
            payload.insert(payload.end(), out_.data(), out_.data() + made);
            payload.push_back(0x03);  // empty final block with fixed codes
            payload.push_back(0x00);
        } else {
            // Incompressible: one stored final block always fits. The decoder's
            // history is the same either way, so the stream goes on unharmed.
            payload.push_back(0x01);
            AppendLe16(payload, uint16_t(size));
            AppendLe16(payload, uint16_t(~size));
            payload.insert(payload.end(), in, in + size);
        }
        return true;
    }

private:
    z_stream z_;
    bool ok_ = false;
    Bytes out_;
};

Compressed CompressFolder(const std::vector<CabEntry>& entries, const Folder& folder, int level,
                          const std::function<void(uint64_t, uint64_t)>& progress) {
    Compressed result;
    Deflater deflater(level);
    if (!deflater.ok()) {
        result.error = "cannot start the deflate compressor";
        return result;
    }
    Bytes block, payload;
    block.reserve(kCabBlockBytes);
    auto flush = [&]() {
        if (!deflater.Block(block.data(), uint32_t(block.size()), payload)) return false;
        Block b;
        b.spoolOffset = result.data.size();
        b.cb = uint16_t(payload.size());
        b.ucb = uint16_t(block.size());
        uint8_t sizes[4];
        PutLe16(sizes, b.cb);
        PutLe16(sizes + 2, b.ucb);
        b.csum = CabChecksum(sizes, 4, CabChecksum(payload.data(), payload.size(), 0));
        result.data.insert(result.data.end(), payload.begin(), payload.end());
        result.blocks.push_back(b);
        if (progress) progress(block.size(), 0);
        block.clear();
        return true;
    };
    uint8_t buffer[1 << 16];
    for (size_t i = folder.firstEntry; i < folder.endEntry; ++i) {
        const CabEntry& e = entries[i];
        UniqueFile f(std::fopen(e.source.c_str(), "rb"));
        if (!f) {
            result.error = "cannot read " + PathText(e.source) + ": " + std::strerror(errno);
            return result;
        }
        uint64_t left = e.size;
        while (left > 0) {
            size_t want = size_t(std::min<uint64_t>(left, sizeof buffer));
            size_t got = std::fread(buffer, 1, want, f.get());
            if (got != want) {
                result.error = PathText(e.source) + " became shorter while packing; pack again";
                return result;
            }
            left -= got;
            for (size_t at = 0; at < got;) {
                size_t take = std::min(got - at, size_t(kCabBlockBytes) - block.size());
                block.insert(block.end(), buffer + at, buffer + at + take);
                at += take;
                if (block.size() == kCabBlockBytes && !flush()) {
                    result.error = "deflate failed";
                    return result;
                }
            }
        }
        if (std::fgetc(f.get()) != EOF) {
            result.error = PathText(e.source) + " grew while packing; pack again";
            return result;
        }
        if (progress) progress(0, 1);
    }
    if (!block.empty() && !flush()) result.error = "deflate failed";
    return result;
}

std::vector<Folder> PlanFolders(const std::vector<CabEntry>& entries, uint64_t target) {
    std::vector<Folder> folders;
    for (size_t i = 0; i < entries.size(); ++i) {
        const CabEntry& e = entries[i];
        if (folders.empty() || (folders.back().bytes > 0 && folders.back().bytes + e.size > target) ||
            folders.back().bytes + e.size > kMaxFolderBytes) {
            Folder f;
            f.firstEntry = f.endEntry = i;
            folders.push_back(f);
        }
        Folder& f = folders.back();
        f.starts.push_back(f.bytes);
        f.bytes += e.size;
        f.endEntry = i + 1;
    }
    return folders;
}

// What one cabinet holds: its folders (as pieces of compressed data in the
// spool) and its file entries.
struct Piece {
    uint64_t spoolOffset = 0;
    uint16_t cb = 0, ucb = 0;  // ucb 0: the block goes on in the next cabinet
};

struct CabOut {
    std::vector<std::vector<Piece>> folders;
    struct File {
        size_t entry;
        uint32_t folderOffset;
        uint16_t folderField;  // folder index or one of the continuation values
    };
    std::vector<File> files;
};

uint64_t FileBytes(const CabEntry& e) { return 16 + e.storedName.size() + 1; }

uint64_t NameBytes(const CabOptions& o, unsigned index, bool prev, bool next) {
    uint64_t n = 0;
    if (prev) n += o.cabinetName(index - 1).size() + 2;  // name and an empty disk name
    if (next) n += o.cabinetName(index + 1).size() + 2;
    return n;
}

void AppendString(Bytes& out, const std::string& s) {
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
}

}  // namespace

void ToDosDateTime(int64_t unixSeconds, uint16_t& date, uint16_t& time) {
    std::time_t t = std::time_t(unixSeconds);
    std::tm tm{};
    if (!gmtime_r(&t, &tm) || tm.tm_year < 80) {
        date = (0 << 9) | (1 << 5) | 1;
        time = 0;
        return;
    }
    if (tm.tm_year > 207) {
        date = uint16_t((127 << 9) | (12 << 5) | 31);
        time = uint16_t((23 << 11) | (59 << 5) | 29);
        return;
    }
    date = uint16_t(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    time = uint16_t((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
}

uint32_t CabChecksum(const uint8_t* p, size_t size, uint32_t seed) {
    uint32_t csum = seed;
    size_t words = size / 4;
    for (size_t i = 0; i < words; ++i, p += 4) csum ^= GetLe32(p);
    uint32_t ul = 0;
    switch (size % 4) {
        case 3: ul |= uint32_t(*p++) << 16; [[fallthrough]];
        case 2: ul |= uint32_t(*p++) << 8; [[fallthrough]];
        case 1: ul |= *p++; [[fallthrough]];
        default: break;
    }
    return csum ^ ul;
}

namespace {

// Writes the planned cabinets, copying compressed data from the spool.
bool EmitCabinets(const std::vector<CabEntry>& entries, const CabOptions& options, const std::vector<CabOut>& cabs,
                  std::vector<CabinetWritten>& written, std::string& error) {
    UniqueFile in(std::fopen(options.spool.c_str(), "rb"));
    if (!in) {
        error = "cannot read back " + PathText(options.spool);
        return false;
    }
    std::vector<std::unique_ptr<OutputFile>> outputs;
    Bytes data;
    for (unsigned k = 0; k < cabs.size(); ++k) {
        const CabOut& cab = cabs[k];
        bool prev = k > 0, next = k + 1 < cabs.size();
        Bytes head(kHeaderBytes, 0);
        std::memcpy(head.data(), "TAVO", 4);
        head[24] = 3;  // format version 1.3
        head[25] = 1;
        PutLe16(&head[26], uint16_t(cab.folders.size()));
        PutLe16(&head[28], uint16_t(cab.files.size()));
        PutLe16(&head[30], uint16_t((prev ? kFlagPrev : 0) | (next ? kFlagNext : 0)));
        PutLe16(&head[32], options.setId);
        PutLe16(&head[34], uint16_t(k));
        if (prev) {
            AppendString(head, options.cabinetName(k - 1));
            AppendString(head, "");
        }
        if (next) {
            AppendString(head, options.cabinetName(k + 1));
            AppendString(head, "");
        }
        uint64_t filesBytes = 0;
        for (const auto& f : cab.files) filesBytes += FileBytes(entries[f.entry]);
        uint64_t coffFiles = head.size() + 8 * cab.folders.size();
        uint64_t at = coffFiles + filesBytes;
        for (const auto& pieces : cab.folders) {
            AppendLe32(head, uint32_t(at));
            AppendLe16(head, uint16_t(pieces.size()));
            AppendLe16(head, kTypeMszip);
            for (const Piece& p : pieces) at += 8 + p.cb;
        }
        PutLe32(&head[8], uint32_t(at));
        PutLe32(&head[16], uint32_t(coffFiles));
        for (const auto& f : cab.files) {
            const CabEntry& e = entries[f.entry];
            AppendLe32(head, uint32_t(e.size));
            AppendLe32(head, f.folderOffset);
            AppendLe16(head, f.folderField);
            AppendLe16(head, e.date);
            AppendLe16(head, e.time);
            AppendLe16(head, e.attribs);
            AppendString(head, e.storedName);
        }
        auto out = std::make_unique<OutputFile>(options.cabinetPath(k));
        if (!out->Open(error) || !out->Write(head.data(), head.size(), error)) return false;
        Sha1 sha;
        sha.Update(head.data(), head.size());
        for (const auto& pieces : cab.folders) {
            for (const Piece& p : pieces) {
                data.resize(8 + p.cb);
                PutLe16(&data[4], p.cb);
                PutLe16(&data[6], p.ucb);
                if (fseeko(in.get(), off_t(p.spoolOffset), SEEK_SET) != 0 ||
                    std::fread(&data[8], 1, p.cb, in.get()) != p.cb) {
                    error = "cannot read back " + PathText(options.spool);
                    return false;
                }
                PutLe32(&data[0], CabChecksum(&data[4], 4, CabChecksum(&data[8], p.cb, 0)));
                if (!out->Write(data.data(), data.size(), error)) return false;
                sha.Update(data.data(), data.size());
            }
        }
        written.push_back({out->Target(), at, ToHex(sha.Finish())});
        outputs.push_back(std::move(out));
    }
    for (auto& out : outputs)
        if (!out->Commit(error)) return false;
    return true;
}

struct SpoolRemover {
    std::filesystem::path p;
    ~SpoolRemover() {
        std::error_code ec;
        std::filesystem::remove(p, ec);
    }
};

// One cabinet: folders compressed on several threads, in order into the spool.
bool PlanSingle(const std::vector<CabEntry>& entries, const CabOptions& options, OutputFile& spool,
                std::vector<CabOut>& cabs, std::string& error) {
    std::vector<Folder> folders = PlanFolders(entries, options.folderTarget);
    uint64_t spoolSize = 0, cabSize = kHeaderBytes;
    CabOut cab;
    std::deque<std::future<Compressed>> running;
    size_t next = 0, done = 0;
    unsigned threads = std::max(1u, options.threads);
    auto stop = [&](std::string why) {
        for (auto& r : running) r.wait();
        error = std::move(why);
        return false;
    };
    while (done < folders.size()) {
        while (next < folders.size() && running.size() < threads + 1) {
            const Folder* f = &folders[next++];
            running.push_back(std::async(std::launch::async, [&entries, f, &options]() {
                return CompressFolder(entries, *f, options.level, options.progress);
            }));
        }
        Compressed c = running.front().get();
        running.pop_front();
        if (!c.error.empty()) return stop(c.error);
        const Folder& f = folders[done];
        std::vector<Piece> pieces;
        for (const Block& b : c.blocks) {
            pieces.push_back({spoolSize + b.spoolOffset, b.cb, b.ucb});
            cabSize += 8 + b.cb;
        }
        for (size_t i = f.firstEntry; i < f.endEntry; ++i) {
            cab.files.push_back({i, uint32_t(f.starts[i - f.firstEntry]), uint16_t(done)});
            cabSize += FileBytes(entries[i]);
        }
        cab.folders.push_back(std::move(pieces));
        cabSize += 8;
        ++done;
        if (cabSize > options.maxCabinetBytes || cab.files.size() > 0xFFFF || cab.folders.size() > 0xFFFF)
            return stop("the content does not fit one cabinet (at most " + std::to_string(options.maxCabinetBytes) +
                        " bytes and 65,535 files); make a multi-part package ([Package] MultiPartDownload=1 and "
                        "MultipartFileName)");
        if (!spool.Write(c.data.data(), c.data.size(), error)) return stop(error);
        spoolSize += c.data.size();
    }
    cabs.push_back(std::move(cab));
    return true;
}

// A cabinet set. Files that surely fit the current cabinet share folders; a
// file that may not fit gets a folder of its own, which is then cut across
// cabinets. A cut splits one data block into a piece that ends the cabinet
// (uncompressed size 0) and the rest, which opens the next one, as decoders
// of cabinet sets expect. So only that one file ever runs across a cut.
bool PlanSet(const std::vector<CabEntry>& entries, const CabOptions& options, OutputFile& spool,
             std::vector<CabOut>& cabs, std::string& error) {
    const uint64_t max = options.maxCabinetBytes;
    uint64_t spoolSize = 0, size = 0;
    auto open = [&]() {
        unsigned k = unsigned(cabs.size());
        cabs.emplace_back();
        size = kHeaderBytes + NameBytes(options, k, k > 0, true);
    };
    auto fresh = [&]() { return cabs.back().folders.empty(); };
    auto spoolIn = [&](const Compressed& c) {
        if (!spool.Write(c.data.data(), c.data.size(), error)) return false;
        return true;
    };
    open();
    size_t i = 0;
    while (i < entries.size()) {
        if (cabs.back().files.size() >= 0xFFFF) {
            open();
            continue;
        }
        // Gather the files that fit even if they do not compress at all.
        Folder group;
        group.firstEntry = group.endEntry = i;
        uint64_t bound = 8;
        size_t files = cabs.back().files.size();
        for (size_t j = i; j < entries.size(); ++j) {
            const CabEntry& e = entries[j];
            uint64_t worst = FileBytes(e) + e.size + 15 * ((e.size + kCabBlockBytes - 1) / kCabBlockBytes) + 15;
            if (size + bound + worst > max || group.bytes + e.size > options.folderTarget || files + 1 > 0xFFFF) break;
            bound += worst;
            group.starts.push_back(group.bytes);
            group.bytes += e.size;
            group.endEntry = j + 1;
            ++files;
        }
        if (group.endEntry == i) {
            // The next file may not fit. Start a new cabinet first when this one
            // cannot even take the file's entry and a byte of its data.
            const CabEntry& e = entries[i];
            if (!fresh() && size + 8 + FileBytes(e) + 8 + 1 + 9 > max) {
                open();
                continue;
            }
            if (fresh() && size + 8 + FileBytes(e) + 8 + 1 + 9 > max) {
                error = "a part of " + std::to_string(max) + " bytes cannot hold the entry of " + e.storedName +
                        "; use a larger part size";
                return false;
            }
            group.starts.push_back(0);
            group.bytes = e.size;
            group.endEntry = i + 1;
        }
        Compressed c = CompressFolder(entries, group, options.level, options.progress);
        if (!c.error.empty()) {
            error = c.error;
            return false;
        }
        if (!spoolIn(c)) return false;
        uint64_t base = spoolSize;
        spoolSize += c.data.size();

        bool alone = group.endEntry == group.firstEntry + 1;
        bool fromPrev = false;
        size_t b = 0;
        uint64_t offset = 0, left = 0;  // inside a block that was cut
        while (true) {
            CabOut& cab = cabs.back();
            uint16_t index = uint16_t(cab.folders.size());
            cab.folders.emplace_back();
            size += 8;
            size_t firstFile = cab.files.size();
            for (size_t k = group.firstEntry; k < group.endEntry; ++k) {
                cab.files.push_back({k, uint32_t(group.starts[k - group.firstEntry]), index});
                size += FileBytes(entries[k]);
            }
            bool cut = false;
            for (; b < c.blocks.size(); ++b) {
                const Block& blk = c.blocks[b];
                uint64_t start = left ? offset : base + blk.spoolOffset;
                uint64_t cb = left ? left : blk.cb;
                bool lastBlock = b + 1 == c.blocks.size();
                // Keep room for the next piece unless the folder ends here.
                if (size + 8 + cb + (lastBlock ? 0 : 9) <= max) {
                    cab.folders.back().push_back({start, uint16_t(cb), blk.ucb});
                    size += 8 + cb;
                    left = 0;
                    continue;
                }
                uint64_t room = max > size + 8 ? max - size - 8 : 0;
                uint64_t fits = std::min(room, cb - 1);
                if (!alone || fits < 1) {
                    error = "a part of " + std::to_string(max) + " bytes is too small for this content; use a larger part size";
                    return false;
                }
                cab.folders.back().push_back({start, uint16_t(fits), 0});
                size += 8 + fits;
                offset = start + fits;
                left = cb - fits;
                cut = true;
                break;
            }
            uint16_t field = fromPrev && cut ? kContinuedBoth : fromPrev ? kContinuedFromPrev
                             : cut           ? kContinuedToNext
                                             : index;
            if (fromPrev || cut) cab.files[firstFile].folderField = field;
            if (!cut) break;
            open();
            fromPrev = true;
        }
        i = group.endEntry;
    }
    if (cabs.size() > 1 && fresh()) cabs.pop_back();
    return true;
}

}  // namespace

bool WriteCabinets(const std::vector<CabEntry>& entries, const CabOptions& options,
                   std::vector<CabinetWritten>& written, std::string& error) {
    written.clear();
    for (const CabEntry& e : entries) {
        if (e.size > kMaxFolderBytes) {
            error = PathText(e.source) + " is larger than a cabinet folder can hold (" +
                    std::to_string(kMaxFolderBytes) + " bytes)";
            return false;
        }
    }
    OutputFile spool(options.spool);
    if (!spool.Open(error)) return false;
    std::vector<CabOut> cabs;
    bool planned = options.allowSet ? PlanSet(entries, options, spool, cabs, error)
                                    : PlanSingle(entries, options, spool, cabs, error);
    if (!planned || !spool.Commit(error)) return false;
    SpoolRemover removeSpool{options.spool};
    return EmitCabinets(entries, options, cabs, written, error);
}

}  // namespace zelpack
