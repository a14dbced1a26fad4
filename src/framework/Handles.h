// Non-copyable, movable owners for the Win32 handle kinds the stub uses.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <utility>

namespace zel {

template <typename Traits>
class UniqueResource {
public:
    using value_type = typename Traits::type;

    UniqueResource() noexcept = default;
    explicit UniqueResource(value_type value) noexcept : value_(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    value_type get() const noexcept { return value_; }
    bool valid() const noexcept { return Traits::valid(value_); }
    explicit operator bool() const noexcept { return valid(); }

    value_type release() noexcept { return std::exchange(value_, Traits::empty()); }
    void reset(value_type value = Traits::empty()) noexcept {
        value_type old = std::exchange(value_, value);
        if (Traits::valid(old)) Traits::close(old);
    }

private:
    value_type value_ = Traits::empty();
};

// Kernel handles: both null and INVALID_HANDLE_VALUE mean "none", because the
// Win32 functions disagree on which one they return on failure.
struct KernelHandleTraits {
    using type = HANDLE;
    static type empty() noexcept { return nullptr; }
    static bool valid(type h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(type h) noexcept { ::CloseHandle(h); }
};

struct FindHandleTraits {
    using type = HANDLE;
    static type empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool valid(type h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(type h) noexcept { ::FindClose(h); }
};

struct RegKeyTraits {
    using type = HKEY;
    static type empty() noexcept { return nullptr; }
    static bool valid(type h) noexcept { return h != nullptr; }
    static void close(type h) noexcept { ::RegCloseKey(h); }
};

struct ModuleTraits {
    using type = HMODULE;
    static type empty() noexcept { return nullptr; }
    static bool valid(type h) noexcept { return h != nullptr; }
    static void close(type h) noexcept { ::FreeLibrary(h); }
};

struct HeapTraits {
    using type = HANDLE;
    static type empty() noexcept { return nullptr; }
    static bool valid(type h) noexcept { return h != nullptr; }
    static void close(type h) noexcept { ::HeapDestroy(h); }
};

struct GdiObjectTraits {
    using type = HGDIOBJ;
    static type empty() noexcept { return nullptr; }
    static bool valid(type h) noexcept { return h != nullptr; }
    static void close(type h) noexcept { ::DeleteObject(h); }
};

struct HookTraits {
    using type = HHOOK;
    static type empty() noexcept { return nullptr; }
    static bool valid(type h) noexcept { return h != nullptr; }
    static void close(type h) noexcept { ::UnhookWindowsHookEx(h); }
};

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

// Memory the system allocated for the caller (FormatMessage, SID and
// security-descriptor conversions).
struct LocalMemoryTraits {
    using type = HLOCAL;
    static type empty() noexcept { return nullptr; }
    static bool valid(type h) noexcept { return h != nullptr; }
    static void close(type h) noexcept { ::LocalFree(h); }
};

struct SidTraits {
    using type = PSID;
    static type empty() noexcept { return nullptr; }
    static bool valid(type h) noexcept { return h != nullptr; }
    static void close(type h) noexcept { ::FreeSid(h); }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueFindHandle = UniqueResource<FindHandleTraits>;
using UniqueRegKey = UniqueResource<RegKeyTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueHeap = UniqueResource<HeapTraits>;
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;
using UniqueHook = UniqueResource<HookTraits>;
using UniqueCryptProvider = UniqueResource<CryptProviderTraits>;
using UniqueCryptHash = UniqueResource<CryptHashTraits>;
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;
using UniqueSid = UniqueResource<SidTraits>;

// A movable global block, locked while it lives.
class LockedGlobal {
public:
    explicit LockedGlobal(SIZE_T bytes) : handle_(::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (handle_) data_ = ::GlobalLock(handle_);
    }
    ~LockedGlobal() {
        if (data_) ::GlobalUnlock(handle_);
        if (handle_) ::GlobalFree(handle_);
    }
    LockedGlobal(const LockedGlobal&) = delete;
    LockedGlobal& operator=(const LockedGlobal&) = delete;
    void* data() const noexcept { return data_; }

private:
    HGLOBAL handle_;
    void* data_ = nullptr;
};

}  // namespace zel
