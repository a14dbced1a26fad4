#include "OutputFile.h"

#include <cerrno>
#include <cstring>

#include "ByteIo.h"
#include "Interrupt.h"

namespace zelpack {

OutputFile::OutputFile(std::filesystem::path target) : target_(std::move(target)) {
    temp_ = target_;
    temp_ += ".zelpack-partial";
}

OutputFile::~OutputFile() {
    if (file_) std::fclose(file_);
    if (!committed_) {
        std::error_code ec;
        std::filesystem::remove(temp_, ec);
        KeepOnInterrupt(temp_);
    }
}

bool OutputFile::Open(std::string& error) {
    RemoveOnInterrupt(temp_);
    file_ = std::fopen(temp_.c_str(), "wb");
    if (!file_) {
        error = "cannot write " + PathText(temp_) + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool OutputFile::Write(const void* data, size_t size, std::string& error) {
    if (size == 0) return true;
    if (std::fwrite(data, 1, size, file_) != size) {
        error = "cannot write " + PathText(temp_) + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool OutputFile::Close(std::string& error) {
    std::FILE* f = file_;
    file_ = nullptr;
    if (f && std::fclose(f) != 0) {
        error = "cannot write " + PathText(temp_) + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool OutputFile::Commit(std::string& error) {
    if (!Close(error)) return false;
    std::error_code ec;
    std::filesystem::rename(temp_, target_, ec);
    if (ec) {
        error = "cannot create " + PathText(target_) + ": " + ec.message();
        return false;
    }
    committed_ = true;
    KeepOnInterrupt(temp_);
    return true;
}

}  // namespace zelpack
