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
#include "Interrupt.h"
#include "OutputFile.h"

namespace zelpack {
namespace {

constexpr size_t kMaxEntries = 0xFFFF;       // folders or files in one cabinet
constexpr size_t kMaxBlockPayload = kCabBlockBytes + 12;  // the largest MSZIP block the format allows
// A block that does not shrink: its header, "CK" and a stored block's own header.
constexpr size_t kWorstBlockOverhead = kDataHeaderBytes + 2 + 5;
// A data block header and one byte: the least a cut may leave for the next cabinet.
constexpr size_t kSmallestPiece = kDataHeaderBytes + 1;

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

uint64_t FileBytes(const CabEntry& e) { return kFileEntryFixedBytes + e.storedName.size() + 1; }

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

// The fixed header, the set links and the folder and file entries of cabinet k;
// `total` becomes the size of the whole cabinet.
Bytes CabinetHead(const std::vector<CabEntry>& entries, const CabOptions& options, const std::vector<CabOut>& cabs,
                  unsigned k, uint64_t& total) {
    const CabOut& cab = cabs[k];
    bool prev = k > 0, next = k + 1 < cabs.size();
    Bytes head(kHeaderBytes, 0);
    std::memcpy(&head[kHdrSignature], "TAVO", 4);
    head[kHdrMinorVersion] = 3;
    head[kHdrMajorVersion] = 1;
    PutLe16(&head[kHdrFolderCount], uint16_t(cab.folders.size()));
    PutLe16(&head[kHdrFileCount], uint16_t(cab.files.size()));
    PutLe16(&head[kHdrFlags], uint16_t((prev ? kFlagPrev : 0) | (next ? kFlagNext : 0)));
    PutLe16(&head[kHdrSetId], options.setId);
    PutLe16(&head[kHdrIndex], uint16_t(k));
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
    uint64_t firstFile = head.size() + kFolderEntryBytes * cab.folders.size();
    uint64_t at = firstFile + filesBytes;
    for (const auto& pieces : cab.folders) {
        AppendLe32(head, uint32_t(at));
        AppendLe16(head, uint16_t(pieces.size()));
        AppendLe16(head, kTypeMszip);
        for (const Piece& p : pieces) at += kDataHeaderBytes + p.cb;
    }
    PutLe32(&head[kHdrCabinetBytes], uint32_t(at));
    PutLe32(&head[kHdrFirstFile], uint32_t(firstFile));
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
    total = at;
    return head;
}

// Copies a cabinet's data blocks from the spool behind its head.
bool CopyBlocks(std::FILE* spool, const CabOptions& options, const CabOut& cab, OutputFile& out, Sha1& sha,
                std::string& error) {
    Bytes data;
    for (const auto& pieces : cab.folders) {
        for (const Piece& p : pieces) {
            data.resize(kDataHeaderBytes + p.cb);
            PutLe16(&data[kDataCompressedSize], p.cb);
            PutLe16(&data[kDataUncompressedSize], p.ucb);
            if (fseeko(spool, off_t(p.spoolOffset), SEEK_SET) != 0 ||
                std::fread(&data[kDataHeaderBytes], 1, p.cb, spool) != p.cb) {
                error = "cannot read back " + PathText(options.spool);
                return false;
            }
            PutLe32(&data[0], CabChecksum(&data[kDataCompressedSize], 4,
                                          CabChecksum(&data[kDataHeaderBytes], p.cb, 0)));
            if (!out.Write(data.data(), data.size(), error)) return false;
            sha.Update(data.data(), data.size());
        }
    }
    return true;
}

// Writes the planned cabinets under temporary names, each closed once written
// so that a set of hundreds of parts never holds hundreds of files open, and
// renames them all only when every one is complete.
bool EmitCabinets(const std::vector<CabEntry>& entries, const CabOptions& options, const std::vector<CabOut>& cabs,
                  std::vector<CabinetWritten>& written, std::string& error) {
    UniqueFile in(std::fopen(options.spool.c_str(), "rb"));
    if (!in) {
        error = "cannot read back " + PathText(options.spool);
        return false;
    }
    std::vector<std::unique_ptr<OutputFile>> outputs;
    for (unsigned k = 0; k < cabs.size(); ++k) {
        uint64_t total = 0;
        Bytes head = CabinetHead(entries, options, cabs, k, total);
        auto out = std::make_unique<OutputFile>(options.cabinetPath(k));
        if (!out->Open(error) || !out->Write(head.data(), head.size(), error)) return false;
        Sha1 sha;
        sha.Update(head.data(), head.size());
        if (!CopyBlocks(in.get(), options, cabs[k], *out, sha, error) || !out->Close(error)) return false;
        written.push_back({out->Target(), total, ToHex(sha.Finish())});
        outputs.push_back(std::move(out));
    }
    // Until the caller keeps them, finished cabinets go with an interrupted build.
    for (auto& out : outputs) RemoveOnInterrupt(out->Target());
    for (auto& out : outputs)
        if (!out->Commit(error)) return false;
    return true;
}

// The part size that would have kept a set within the allowed count: the
// planned bytes spread over that many parts, plus one part's fixed overhead
// and a margin for the space a cut leaves unused.
uint64_t SmallestPartSize(const std::vector<CabEntry>& entries, const CabOptions& options,
                          const std::vector<CabOut>& cabs) {
    uint64_t all = 0, total = 0;
    for (unsigned k = 0; k < cabs.size(); ++k) {
        CabinetHead(entries, options, cabs, k, total);
        all += total;
    }
    uint64_t perPart = (all + options.maxCabinets - 1) / options.maxCabinets;
    uint64_t overhead = kHeaderBytes + NameBytes(options, 1, true, true);
    return perPart + perPart / 32 + overhead;
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
            cabSize += kDataHeaderBytes + b.cb;
        }
        for (size_t i = f.firstEntry; i < f.endEntry; ++i) {
            cab.files.push_back({i, uint32_t(f.starts[i - f.firstEntry]), uint16_t(done)});
            cabSize += FileBytes(entries[i]);
        }
        cab.folders.push_back(std::move(pieces));
        cabSize += kFolderEntryBytes;
        ++done;
        if (cabSize > options.maxCabinetBytes || cab.files.size() > kMaxEntries || cab.folders.size() > kMaxEntries)
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
class SetPlanner {
public:
    SetPlanner(const std::vector<CabEntry>& entries, const CabOptions& options, OutputFile& spool,
               std::vector<CabOut>& cabs, std::string& error)
        : entries_(entries), options_(options), spool_(spool), cabs_(cabs), error_(error),
          max_(options.maxCabinetBytes) {}

    bool Run() {
        Open();
        size_t i = 0;
        while (i < entries_.size()) {
            if (cabs_.back().files.size() >= kMaxEntries) {
                Open();
                continue;
            }
            Folder group = Gather(i);
            if (group.endEntry == i) {
                int alone = Alone(i, group);
                if (alone < 0) return false;
                if (alone == 0) continue;  // a new cabinet was opened; look again
            }
            Compressed c = CompressFolder(entries_, group, options_.level, options_.progress);
            if (!c.error.empty()) {
                error_ = c.error;
                return false;
            }
            if (!spool_.Write(c.data.data(), c.data.size(), error_)) return false;
            uint64_t base = spoolSize_;
            spoolSize_ += c.data.size();
            if (!Place(group, c, base)) return false;
            i = group.endEntry;
        }
        if (cabs_.size() > 1 && Fresh()) cabs_.pop_back();
        return true;
    }

private:
    void Open() {
        unsigned k = unsigned(cabs_.size());
        cabs_.emplace_back();
        size_ = kHeaderBytes + NameBytes(options_, k, k > 0, true);
    }
    bool Fresh() const { return cabs_.back().folders.empty(); }

    // The files from i on that fit the current cabinet even if they do not
    // compress at all.
    Folder Gather(size_t i) const {
        Folder group;
        group.firstEntry = group.endEntry = i;
        uint64_t bound = kFolderEntryBytes;
        size_t files = cabs_.back().files.size();
        for (size_t j = i; j < entries_.size(); ++j) {
            const CabEntry& e = entries_[j];
            uint64_t blocks = (e.size + kCabBlockBytes - 1) / kCabBlockBytes;
            uint64_t worst = FileBytes(e) + e.size + kWorstBlockOverhead * (blocks + 1);
            if (size_ + bound + worst > max_ || group.bytes + e.size > options_.folderTarget || files + 1 > kMaxEntries)
                break;
            bound += worst;
            group.starts.push_back(group.bytes);
            group.bytes += e.size;
            group.endEntry = j + 1;
            ++files;
        }
        return group;
    }

    // File i may not fit: it gets a folder of its own (1), after a new cabinet
    // when this one cannot even take its entry and one byte of its data (0),
    // or the part size is too small for it (-1).
    int Alone(size_t i, Folder& group) {
        const CabEntry& e = entries_[i];
        bool tooFull = size_ + kFolderEntryBytes + FileBytes(e) + kSmallestPiece + kSmallestPiece > max_;
        if (tooFull && !Fresh()) {
            Open();
            return 0;
        }
        if (tooFull) {
            error_ = "a part of " + std::to_string(max_) + " bytes cannot hold the entry of " + e.storedName +
                     "; use a larger part size";
            return -1;
        }
        group.starts.push_back(0);
        group.bytes = e.size;
        group.endEntry = i + 1;
        return 1;
    }

    // Lays the compressed folder into the current cabinet, cutting it across
    // as many following cabinets as it needs.
    bool Place(const Folder& group, const Compressed& c, uint64_t base) {
        bool alone = group.endEntry == group.firstEntry + 1;
        bool fromPrev = false;
        size_t b = 0;
        uint64_t offset = 0, left = 0;  // inside a block that was cut
        while (true) {
            CabOut& cab = cabs_.back();
            uint16_t index = uint16_t(cab.folders.size());
            cab.folders.emplace_back();
            size_ += kFolderEntryBytes;
            size_t firstFile = cab.files.size();
            for (size_t k = group.firstEntry; k < group.endEntry; ++k) {
                cab.files.push_back({k, uint32_t(group.starts[k - group.firstEntry]), index});
                size_ += FileBytes(entries_[k]);
            }
            bool cut = false;
            for (; b < c.blocks.size(); ++b) {
                const Block& blk = c.blocks[b];
                uint64_t start = left ? offset : base + blk.spoolOffset;
                uint64_t cb = left ? left : blk.cb;
                bool lastBlock = b + 1 == c.blocks.size();
                // Keep room for the next piece unless the folder ends here.
                if (size_ + kDataHeaderBytes + cb + (lastBlock ? 0 : kSmallestPiece) <= max_) {
                    cab.folders.back().push_back({start, uint16_t(cb), blk.ucb});
                    size_ += kDataHeaderBytes + cb;
                    left = 0;
                    continue;
                }
                uint64_t room = max_ > size_ + kDataHeaderBytes ? max_ - size_ - kDataHeaderBytes : 0;
                uint64_t fits = std::min(room, cb - 1);
                if (!alone || fits < 1) {
                    error_ = "a part of " + std::to_string(max_) +
                             " bytes is too small for this content; use a larger part size";
                    return false;
                }
                cab.folders.back().push_back({start, uint16_t(fits), 0});
                size_ += kDataHeaderBytes + fits;
                offset = start + fits;
                left = cb - fits;
                cut = true;
                break;
            }
            uint16_t field = fromPrev && cut ? kContinuedBoth : fromPrev ? kContinuedFromPrev
                             : cut           ? kContinuedToNext
                                             : index;
            if (fromPrev || cut) cab.files[firstFile].folderField = field;
            if (!cut) return true;
            Open();
            fromPrev = true;
        }
    }

    const std::vector<CabEntry>& entries_;
    const CabOptions& options_;
    OutputFile& spool_;
    std::vector<CabOut>& cabs_;
    std::string& error_;
    const uint64_t max_;
    uint64_t spoolSize_ = 0, size_ = 0;
};

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
    bool planned = options.allowSet ? SetPlanner(entries, options, spool, cabs, error).Run()
                                    : PlanSingle(entries, options, spool, cabs, error);
    if (!planned || !spool.Commit(error)) return false;
    SpoolRemover removeSpool{options.spool};
    if (cabs.size() > options.maxCabinets) {
        uint64_t smallest = SmallestPartSize(entries, options, cabs);
        error = "this content needs " + std::to_string(cabs.size()) + " parts of at most " +
                std::to_string(options.maxCabinetBytes) + " bytes, but the stub finds parts 001 to " +
                std::to_string(options.maxCabinets) + " only; use --part-size " +
                std::to_string((smallest + 1023) / 1024) + "K or more";
        return false;
    }
    return EmitCabinets(entries, options, cabs, written, error);
}

}  // namespace zelpack

namespace zelpack {

bool ListCabinet(std::FILE* f, uint64_t offset, uint64_t size, CabListing& listing, std::string& error) {
    listing = CabListing{};
    auto read = [&](uint64_t at, Bytes& into, size_t n) {
        into.resize(n);
        return at + n <= size && fseeko(f, off_t(offset + at), SEEK_SET) == 0 &&
               std::fread(into.data(), 1, n, f) == n;
    };
    Bytes head;
    if (!read(0, head, kHeaderBytes) || std::memcmp(&head[kHdrSignature], "TAVO", 4) != 0) {
        error = "not a package cabinet (no TAVO header)";
        return false;
    }
    listing.setId = GetLe16(&head[kHdrSetId]);
    listing.index = GetLe16(&head[kHdrIndex]);
    uint64_t at = GetLe32(&head[kHdrFirstFile]);
    uint16_t count = GetLe16(&head[kHdrFileCount]);
    Bytes fixed, name;
    for (uint16_t i = 0; i < count; ++i) {
        if (!read(at, fixed, kFileEntryFixedBytes)) {
            error = "the file entries run past the end of the cabinet";
            return false;
        }
        CabListing::File file;
        file.size = GetLe32(&fixed[kFileSize]);
        file.folder = GetLe16(&fixed[kFileFolder]);
        at += kFileEntryFixedBytes;
        // Names are short; read generously and stop at the zero.
        uint64_t room = std::min<uint64_t>(size > at ? size - at : 0, 1024);
        if (!read(at, name, size_t(room))) name.clear();
        auto zero = std::find(name.begin(), name.end(), 0);
        if (zero == name.end()) {
            error = "a file name runs past the end of the cabinet";
            return false;
        }
        file.name.assign(name.begin(), zero);
        at += uint64_t(zero - name.begin()) + 1;
        listing.files.push_back(std::move(file));
    }
    return true;
}

}  // namespace zelpack
