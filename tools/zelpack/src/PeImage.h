// Just enough of the PE format to stamp the payload offset into a stub.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ByteIo.h"

namespace zelpack {

struct PeLayout {
    bool is64 = false;
    uint64_t imageEnd = 0;          // end of headers, section data and COFF symbols
    uint32_t securityOffset = 0;    // certificate table (a file offset, not an RVA)
    uint32_t securitySize = 0;
    // File offsets of dwFileSubtype in every language of version resource 1.
    std::vector<uint64_t> subtypeOffsets;
};

// Parses headers, sections and the version resource. `fileSize` is the size of
// the whole file, which may be longer than `head` (payloads are not read).
bool ParsePe(const Bytes& head, uint64_t fileSize, PeLayout& layout, std::string& error);

}  // namespace zelpack
