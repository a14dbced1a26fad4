// An output written under a temporary name beside its target and renamed into
// place only when complete, so a failure never leaves a half-written file.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace zelpack {

class OutputFile {
public:
    explicit OutputFile(std::filesystem::path target);
    ~OutputFile();  // removes the temporary file unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Open(std::string& error);
    bool Write(const void* data, size_t size, std::string& error);
    // Closes the temporary file; Commit later only renames it. Lets a writer
    // of many files keep few of them open.
    bool Close(std::string& error);
    bool Commit(std::string& error);
    const std::filesystem::path& TempPath() const { return temp_; }
    const std::filesystem::path& Target() const { return target_; }

private:
    std::filesystem::path target_, temp_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

}  // namespace zelpack
