// SHA-1 and SHA-256 over byte streams; no outside crypto library needed.
#pragma once

#include <array>
#include <filesystem>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zelpack {

class Sha256 {
public:
    Sha256();
    void Update(const void* data, size_t size);
    std::array<uint8_t, 32> Finish();

private:
    void Block(const uint8_t* p);
    uint32_t state_[8];
    uint8_t buffer_[64];
    size_t buffered_ = 0;
    uint64_t total_ = 0;
};

class Sha1 {
public:
    Sha1();
    void Update(const void* data, size_t size);
    std::array<uint8_t, 20> Finish();

private:
    void Block(const uint8_t* p);
    uint32_t state_[5];
    uint8_t buffer_[64];
    size_t buffered_ = 0;
    uint64_t total_ = 0;
};

std::string ToHex(const uint8_t* data, size_t size);

// Lower-case hex SHA-1 of a whole file; empty when it cannot be read.
std::string Sha1OfFile(const std::filesystem::path& path);

template <size_t N>
std::string ToHex(const std::array<uint8_t, N>& digest) { return ToHex(digest.data(), N); }

}  // namespace zelpack
