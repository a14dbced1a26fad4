#include "TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>
#include <sys/wait.h>

namespace zelpack::test {

TempDir::TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() / ("zelpack-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    // Read-only files in fixtures must not keep the folder alive.
    for (auto& e : std::filesystem::recursive_directory_iterator(path_, ec))
        std::filesystem::permissions(e.path(), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

void WriteBytes(const std::filesystem::path& path, const Bytes& data) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    if (!f) throw std::runtime_error("cannot write " + path.string());
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
    WriteBytes(path, Bytes(text.begin(), text.end()));
}

Bytes ReadBytes(const std::filesystem::path& path) {
    Bytes out;
    std::string error;
    if (!ReadWholeFile(path, out, error)) throw std::runtime_error(error);
    return out;
}

Bytes MakePe(bool is64, bool withVersion) {
    Bytes pe(0x400, 0);
    pe[0] = 'M';
    pe[1] = 'Z';
    PutLe32(&pe[0x3C], 0x80);
    PutLe32(&pe[0x80], 0x00004550);
    const uint16_t optionalSize = is64 ? 240 : 224;
    PutLe16(&pe[0x84], is64 ? 0x8664 : 0x14C);
    PutLe16(&pe[0x86], 1);
    PutLe16(&pe[0x94], optionalSize);
    PutLe16(&pe[0x96], 0x0102);
    const size_t opt = 0x98;
    PutLe16(&pe[opt], is64 ? 0x20B : 0x10B);
    PutLe32(&pe[opt + 60], 0x200);
    const size_t count = is64 ? 108 : 92;
    PutLe32(&pe[opt + count], 16);
    const uint32_t rsrcSize = 0x58 + 92;
    PutLe32(&pe[opt + count + 4 + 8 * 2], 0x1000);
    PutLe32(&pe[opt + count + 4 + 8 * 2 + 4], rsrcSize);
    const size_t sec = opt + optionalSize;
    std::memcpy(&pe[sec], ".rsrc", 5);
    PutLe32(&pe[sec + 8], rsrcSize);
    PutLe32(&pe[sec + 12], 0x1000);
    PutLe32(&pe[sec + 16], 0x200);
    PutLe32(&pe[sec + 20], 0x200);
    uint8_t* r = &pe[0x200];
    PutLe16(r + 14, 1);
    PutLe32(r + 16, withVersion ? 16 : 14);
    PutLe32(r + 20, 0x80000000u | 0x18);
    PutLe16(r + 0x18 + 14, 1);
    PutLe32(r + 0x18 + 16, 1);
    PutLe32(r + 0x18 + 20, 0x80000000u | 0x30);
    PutLe16(r + 0x30 + 14, 1);
    PutLe32(r + 0x30 + 16, 0x409);
    PutLe32(r + 0x30 + 20, 0x48);
    PutLe32(r + 0x48, 0x1000 + 0x58);
    PutLe32(r + 0x48 + 4, 92);
    uint8_t* vs = r + 0x58;
    PutLe16(vs, 92);
    PutLe16(vs + 2, 52);
    const char16_t key[] = u"VS_VERSION_INFO";
    for (size_t i = 0; i < 16; ++i) PutLe16(vs + 6 + 2 * i, uint16_t(key[i]));
    PutLe32(vs + 40, 0xFEEF04BD);
    PutLe32(vs + 44, 0x10000);
    return pe;
}

std::filesystem::path RealStub(const char* variable) {
    const char* value = std::getenv(variable);
    if (!value || !*value || !std::filesystem::is_regular_file(value)) return {};
    return value;
}

int RunCommand(const std::string& command, std::string* output) {
    std::FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    int status = pclose(p);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace zelpack::test
