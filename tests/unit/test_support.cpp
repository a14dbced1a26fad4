#include "test_support.h"

#include "framework/Handles.h"

#include <shellapi.h>

#include <cstdio>
#include <functional>
#include <map>
#include <vector>

namespace zel_test {
namespace {
using ChildMode = std::function<int(int, wchar_t**)>;

std::map<std::wstring, ChildMode>& ChildModes() {
    static std::map<std::wstring, ChildMode> modes;
    return modes;
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    zel::UniqueFindHandle find(::FindFirstFileW((folder + L"*").c_str(), &data));
    if (find) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + name;
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTree(path + L"\\");
            else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                ::RemoveDirectoryW(path.c_str());
            else
                ::DeleteFileW(path.c_str());
        } while (::FindNextFileW(find.get(), &data));
    }
    find.reset();
    ::RemoveDirectoryW(folder.substr(0, folder.size() - 1).c_str());
}
}  // namespace

void RegisterChildMode(const std::wstring& name, ChildMode mode) { ChildModes()[name] = std::move(mode); }

int RunChildMode(int argc, wchar_t** argv) {
    if (argc < 2) return -1;
    auto it = ChildModes().find(argv[1]);
    if (it == ChildModes().end()) return -1;
    return it->second(argc, argv);
}

std::string RunSelf(const std::wstring& arguments, DWORD* exitCode) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" " + arguments;

    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readRaw = nullptr, writeRaw = nullptr;
    if (!::CreatePipe(&readRaw, &writeRaw, &inherit, 0)) return std::string();
    zel::UniqueHandle readEnd(readRaw), writeEnd(writeRaw);
    ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back(L'\0');
    if (!::CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &process))
        return std::string();
    zel::UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    writeEnd.reset();

    std::string output;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(readEnd.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) output.append(buffer, got);
    ::WaitForSingleObject(processHandle.get(), INFINITE);
    if (exitCode != nullptr) ::GetExitCodeProcess(processHandle.get(), exitCode);
    return output;
}

TempDir::TempDir() {
    wchar_t base[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, base);
    static LONG counter = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        wchar_t name[64];
        swprintf(name, 64, L"zeltest_%lu_%ld\\", ::GetCurrentProcessId(), ::InterlockedIncrement(&counter));
        std::wstring path = std::wstring(base) + name;
        if (::CreateDirectoryW(path.substr(0, path.size() - 1).c_str(), nullptr)) {
            path_ = path;
            return;
        }
    }
}

TempDir::~TempDir() {
    if (!path_.empty()) RemoveTree(path_);
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    zel::UniqueHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string ReadBytes(const std::wstring& path) {
    zel::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (!file) return bytes;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
    return bytes;
}

void WriteUtf16File(const std::wstring& path, const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    WriteBytes(path, bytes);
}

std::string Narrow(const std::wstring& text) {
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace zel_test
