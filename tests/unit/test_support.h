// Helpers shared by the unit tests.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace zel_test {

// When the test program is started as a child with a mode switch as its
// first argument, runs that mode and returns its exit code; otherwise -1.
int RunChildMode(int argc, wchar_t** argv);

// Registers a child mode (see RunSelf); call from a static initialiser.
void RegisterChildMode(const std::wstring& name, std::function<int(int, wchar_t**)> mode);

// Starts this test program with the raw command line "<self> <arguments>",
// waits for it and returns what it wrote to its standard output.
std::string RunSelf(const std::wstring& arguments, DWORD* exitCode = nullptr);

// A fresh, empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // With a trailing backslash.
    const std::wstring& Path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + name; }

private:
    std::wstring path_;
};

// Writes bytes exactly as given.
void WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
// UTF-16LE with a byte-order mark, as the packaging tool writes settings files.
void WriteUtf16File(const std::wstring& path, const std::wstring& text);

// UTF-8, for failure messages and for comparing with what a child printed.
std::string Narrow(const std::wstring& text);

}  // namespace zel_test
