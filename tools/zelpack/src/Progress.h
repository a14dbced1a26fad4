// One self-rewriting progress line on a terminal; silent otherwise.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace zelpack {

class Progress {
public:
    Progress(std::string label, uint64_t totalBytes, uint64_t totalFiles, bool enabled);
    ~Progress();
    void Add(uint64_t bytes, uint64_t files = 0);
    void Done();

private:
    void Draw(bool final);
    std::string label_;
    uint64_t totalBytes_, totalFiles_;
    bool enabled_;
    std::atomic<uint64_t> bytes_{0}, files_{0};
    std::mutex drawing_;
    std::chrono::steady_clock::time_point start_, lastDraw_;
    bool drawn_ = false;
};

// True when standard error is a terminal (the only place a progress line belongs).
bool StderrIsTerminal();

}  // namespace zelpack
