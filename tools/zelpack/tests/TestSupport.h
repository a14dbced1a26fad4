#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ByteIo.h"

namespace zelpack::test {

// A fresh folder under the system temp folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

void WriteBytes(const std::filesystem::path& path, const Bytes& data);
void WriteText(const std::filesystem::path& path, const std::string& text);
Bytes ReadBytes(const std::filesystem::path& path);

// A minimal PE image with one resource section; the version resource is left
// out when `withVersion` is false.
Bytes MakePe(bool is64, bool withVersion);

// Path of a real stub build from the environment, or empty (the test then skips).
std::filesystem::path RealStub(const char* variable);

// Runs a shell command, returns its exit status; output goes to `output`.
int RunCommand(const std::string& command, std::string* output = nullptr);

}  // namespace zelpack::test
