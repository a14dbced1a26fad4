#include "cabinet/MultiPart.h"

#include "cabinet/CabDecompressor.h"
#include "framework/Handles.h"
#include "platform/SettingsFile.h"
#include "platform/Util.h"

#include <wincrypt.h>

#include <cwchar>

namespace {
struct CryptProviderTraits {
    using type = HCRYPTPROV;
    static type empty() noexcept { return 0; }
    static bool valid(type h) noexcept { return h != 0; }
    static void close(type h) noexcept { ::CryptReleaseContext(h, 0); }
};
struct CryptHashTraits {
    using type = HCRYPTHASH;
    static type empty() noexcept { return 0; }
    static bool valid(type h) noexcept { return h != 0; }
    static void close(type h) noexcept { ::CryptDestroyHash(h); }
};
using UniqueCryptProvider = zel::UniqueResource<CryptProviderTraits>;
using UniqueCryptHash = zel::UniqueResource<CryptHashTraits>;

constexpr wchar_t kNumberFormat[] = L"%03d";

std::wstring FormatNumber(int n) {
    wchar_t buffer[16];
    std::swprintf(buffer, 16, kNumberFormat, n);
    return buffer;
}

FileHashResult HashFailure(const std::wstring& text) {
    FileHashResult result;
    result.Error = ::GetLastError();
    result.FailureText = text;
    return result;
}
}  // namespace

FileHashResult ComputeFileHash(const std::wstring& path) {
    zel::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return HashFailure(L"Error opening file " + path);

    HCRYPTPROV rawProvider = 0;
    if (!::CryptAcquireContextW(&rawProvider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        return HashFailure(L"CryptAcquireContext failed");
    UniqueCryptProvider provider(rawProvider);
    HCRYPTHASH rawHash = 0;
    if (!::CryptCreateHash(provider.get(), CALG_SHA1, 0, 0, &rawHash)) return HashFailure(L"CryptCreateHash failed");
    UniqueCryptHash hash(rawHash);

    BYTE chunk[1024];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr)) return HashFailure(L"ReadFile failed");
        if (got == 0) break;
        if (!::CryptHashData(hash.get(), chunk, got, 0)) return HashFailure(L"CryptHashData failed");
    }
    BYTE digest[256];
    DWORD digestSize = sizeof(digest);
    if (!::CryptGetHashParam(hash.get(), HP_HASHVAL, digest, &digestSize, 0) || digestSize < 16)
        return HashFailure(L"CryptGetHashParam failed");

    FileHashResult result;
    result.Ok = true;
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    for (int i = 0; i < 16; ++i) {
        result.Hash.push_back(kHex[digest[i] >> 4]);
        result.Hash.push_back(kHex[digest[i] & 0x0F]);
    }
    return result;
}

CMultiPartValidator::CMultiPartValidator(std::wstring settingsPath, std::uint16_t setId, std::wstring exePath)
    : settingsPath_(std::move(settingsPath)), setId_(setId), exePath_(std::move(exePath)) {}

std::wstring CMultiPartValidator::ExeFolder() const {
    std::wstring path = exePath_;
    if (path.empty()) {
        wchar_t self[MAX_PATH] = {};
        DWORD size = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        path.assign(self, size);
    }
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos || slash == 0 ? std::wstring() : path.substr(0, slash);
}

std::wstring CMultiPartValidator::GetPartName(int n) const {
    if (template_.empty()) return std::wstring();
    // Only the number is formatted: the base comes from the package and may hold a "%".
    size_t dot = template_.rfind(L'.');
    return template_.substr(0, dot == std::wstring::npos ? 0 : dot + 1) + FormatNumber(n);
}

std::wstring CMultiPartValidator::GetValidPartName(std::wstring& failedPath, std::list<std::wstring>& messages) {
    std::wstring folder = ExeFolder() + L"\\";                                         // 1
    CSettingsFile settings(settingsPath_);
    std::wstring base = settings.GetString(L"Package", L"MultipartFileName");          // 2

    template_ = base + L"." + kNumberFormat;                                           // 3
    std::wstring first = folder + GetPartName(1);
    std::wstring firstByBase = first;
    bool found = CUtilPaths::FileExists(first) && CCabDecompressor().GetCabinetSetID(first) == setId_;  // 4
    if (!found) {                                                                      // 5
        std::wstring exeName = exePath_;
        if (exeName.empty()) {
            wchar_t self[MAX_PATH] = {};
            exeName.assign(self, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
        }
        exeName = exeName.substr(exeName.rfind(L'\\') + 1);
        template_ = exeName.substr(0, exeName.size() >= 5 ? exeName.size() - 5 : 0) + L"." + kNumberFormat;
        first = folder + GetPartName(1);
        found = CUtilPaths::FileExists(first) && setId_ != 0;
    }
    if (!found) {                                                                      // 6
        failedPath = firstByBase;
        template_.clear();
        first.clear();
        messages.push_front(L"Multi part File not found : " + firstByBase);
    }
    firstPartName_ = GetPartName(1);                                                   // 7
    return first;
}

int CMultiPartValidator::ValidateParts(std::wstring& failedPath, std::list<std::wstring>& messages) {
    if (GetValidPartName(failedPath, messages).empty()) return PartMissing;            // 1
    std::wstring folder = ExeFolder() + L"\\";
    CSettingsFile settings(settingsPath_);
    int result = PartsValid;
    for (int n = 1;; ++n) {                                                            // 2
        std::wstring key = FormatNumber(n);
        if (settings.GetString(L"PartFileIno", key.c_str()).empty()) break;
        std::wstring path = folder + GetPartName(n);
        messages.push_front(L"Validating cabinet : " + path);
        if (!CUtilPaths::FileExists(path)) {
            failedPath = path;
            result = PartMissing;
            messages.push_front(L"Multi part File not found : " + path);
            continue;
        }
        FileHashResult hash = ComputeFileHash(path);
        if (hash.Ok) {
            std::wstring expected = settings.GetString(L"HashCode", key.c_str());
            messages.push_front(L"Hash code for : " + path + L" is :" + expected);
            if (hash.Hash != expected) {
                failedPath = path;
                result = PartCorrupt;
                messages.push_front(L"File is corrupt  : " + path);
                continue;
            }
        } else {
            messages.push_front(hash.FailureText + L" : Return Code : " + std::to_wstring(static_cast<int>(hash.Error)));
        }
        if (!CCabDecompressor().ValidateCabinetFile(path, setId_)) {
            failedPath = path;
            result = PartWrongCabinet;
            messages.push_front(L"Could not get the file status of the file : " + path);
        }
    }
    return result;                                                                     // 3
}
