#include "Interrupt.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace zelpack {
namespace {

// A fixed table the signal handler can walk without locks or allocation.
// Strings are never freed: a slot may be read by the handler at any moment.
constexpr size_t kSlots = 4096;
std::atomic<const char*> slots[kSlots];

extern "C" void OnInterrupt(int signal) {
    for (auto& slot : slots)
        if (const char* p = slot.load()) ::unlink(p);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

void InstallInterruptCleanup() {
    for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, OnInterrupt);
}

void RemoveOnInterrupt(const std::filesystem::path& path) {
    const char* copy = strdup(path.c_str());
    if (!copy) return;
    for (auto& slot : slots) {
        const char* empty = nullptr;
        if (slot.compare_exchange_strong(empty, copy)) return;
    }
}

void KeepOnInterrupt(const std::filesystem::path& path) {
    for (auto& slot : slots) {
        const char* p = slot.load();
        if (p && path == p && slot.compare_exchange_strong(p, nullptr)) return;
    }
}

}  // namespace zelpack
