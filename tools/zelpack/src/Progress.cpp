#include "Progress.h"

#include <unistd.h>

namespace zelpack {

bool StderrIsTerminal() { return isatty(2) != 0; }

Progress::Progress(std::string label, uint64_t totalBytes, uint64_t totalFiles, bool enabled)
    : label_(std::move(label)), totalBytes_(totalBytes), totalFiles_(totalFiles), enabled_(enabled),
      start_(std::chrono::steady_clock::now()), lastDraw_(start_) {}

Progress::~Progress() { Done(); }

void Progress::Add(uint64_t bytes, uint64_t files) {
    bytes_ += bytes;
    files_ += files;
    if (!enabled_) return;
    auto now = std::chrono::steady_clock::now();
    std::unique_lock lock(drawing_, std::try_to_lock);
    if (lock && now - lastDraw_ >= std::chrono::milliseconds(100)) {
        lastDraw_ = now;
        Draw(false);
    }
}

void Progress::Done() {
    if (!enabled_ || !drawn_) return;
    std::lock_guard lock(drawing_);
    Draw(true);
    std::fputc('\n', stderr);
    drawn_ = false;
    enabled_ = false;
}

void Progress::Draw(bool) {
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    double mib = double(bytes_) / (1024.0 * 1024.0);
    double rate = seconds > 0 ? mib / seconds : 0;
    unsigned percent = totalBytes_ ? unsigned(100.0 * double(bytes_) / double(totalBytes_)) : 100;
    char files[64] = "";
    if (totalFiles_)  // packing counts records, not files
        std::snprintf(files, sizeof files, "  %llu / %llu files", (unsigned long long)files_.load(),
                      (unsigned long long)totalFiles_);
    std::fprintf(stderr, "\r%s: %3u%%  %.1f / %.1f MiB%s  %.1f MiB/s   ", label_.c_str(),
                 percent > 100 ? 100 : percent, mib, double(totalBytes_) / (1024.0 * 1024.0), files, rate);
    std::fflush(stderr);
    drawn_ = true;
}

}  // namespace zelpack
