#include "payload/VersionInfo.h"

#include "platform/SystemLibrary.h"

#include <cstring>
#include <vector>

namespace {
constexpr DWORD kFixedInfoSignature = 0xFEEF04BD;

// Root block: wLength, wValueLength, wType, the key "VS_VERSION_INFO" with
// its terminating zero, then VS_FIXEDFILEINFO at the next 4-byte boundary.
DWORD SubtypeFromBlock(const std::vector<BYTE>& block) {
    constexpr size_t kHeader = 3 * sizeof(WORD);
    constexpr wchar_t kKey[] = L"VS_VERSION_INFO";
    constexpr size_t kKeyBytes = sizeof(kKey);
    constexpr size_t kFixedAt = (kHeader + kKeyBytes + 3) & ~size_t(3);
    if (block.size() < kFixedAt + sizeof(VS_FIXEDFILEINFO)) return 0;
    WORD valueLength = 0;
    std::memcpy(&valueLength, block.data() + sizeof(WORD), sizeof(valueLength));
    if (valueLength < sizeof(VS_FIXEDFILEINFO)) return 0;
    if (std::memcmp(block.data() + kHeader, kKey, kKeyBytes) != 0) return 0;
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, block.data() + kFixedAt, sizeof(fixed));
    if (fixed.dwSignature != kFixedInfoSignature) return 0;
    return fixed.dwFileSubtype;
}
}  // namespace

DWORD CTavoVersionInfoUpdater::GetModuleVersionSubtype(const std::wstring& path) {
    const auto getSize = zel::VersionDll().getSize;
    const auto getInfo = zel::VersionDll().getInfo;
    if (getSize == nullptr || getInfo == nullptr) return 0;
    DWORD ignored = 0;
    DWORD size = getSize(path.c_str(), &ignored);
    if (size == 0) return 0;
    std::vector<BYTE> block(size);
    if (!getInfo(path.c_str(), 0, size, block.data())) return 0;
    return SubtypeFromBlock(block);
}
