// Stands in for a package's setup in the launch tests: records how it was
// started and ends with the exit code it is told.
//   setup_probe [--exit=N] [--sleep=MS] [--until=PATH] [--crash] [--check=PATH] [--list=PATTERN] [anything else]
// --until waits (at most two minutes) until PATH exists: the test decides when
// the setup ends.
// Writes "<own path>.record" (UTF-8):
//   cmdline=<its command line>
//   cwd=<its working folder>
//   check=gone|present          (with --check)
//   list=<name>;<name>...       (with --list: what the wildcard pattern finds)
// and appends "start <name>" and, before it ends, "end <name>" to
// launch_order.txt beside itself.
#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// Two probes may append at the same moment: retry while the other one has it.
void Append(const std::wstring& path, const std::string& bytes) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            ::CloseHandle(file);
            return;
        }
        ::Sleep(20);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring selfPath(self);
    std::wstring folder = selfPath.substr(0, selfPath.rfind(L'\\') + 1);
    std::wstring name = selfPath.substr(folder.size());

    int exitCode = 0;
    DWORD sleepMs = 0;
    bool crash = false;
    std::wstring check;
    std::wstring list;
    std::wstring until;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg.rfind(L"--exit=", 0) == 0) exitCode = std::wcstol(arg.c_str() + 7, nullptr, 10);
        else if (arg.rfind(L"--sleep=", 0) == 0) sleepMs = std::wcstoul(arg.c_str() + 8, nullptr, 10);
        else if (arg == L"--crash") crash = true;
        else if (arg.rfind(L"--check=", 0) == 0) check = arg.substr(8);
        else if (arg.rfind(L"--list=", 0) == 0) list = arg.substr(7);
        else if (arg.rfind(L"--until=", 0) == 0) until = arg.substr(8);
    }

    wchar_t cwd[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, cwd);
    std::wstring record = L"cmdline=" + std::wstring(::GetCommandLineW()) + L"\ncwd=" + cwd + L"\n";
    if (!check.empty())
        record += std::wstring(L"check=") +
                  (::GetFileAttributesW(check.c_str()) == INVALID_FILE_ATTRIBUTES ? L"gone" : L"present") + L"\n";
    if (!list.empty()) {
        record += L"list=";
        WIN32_FIND_DATAW found;
        HANDLE find = ::FindFirstFileW(list.c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do record += std::wstring(found.cFileName) + L";";
            while (::FindNextFileW(find, &found));
            ::FindClose(find);
        }
        record += L"\n";
    }
    Append(selfPath + L".record", Utf8(record));
    Append(folder + L"launch_order.txt", Utf8(L"start " + name + L"\n"));

    if (sleepMs != 0) ::Sleep(sleepMs);
    for (int waited = 0; !until.empty() && waited < 120000 && ::GetFileAttributesW(until.c_str()) == INVALID_FILE_ATTRIBUTES;
         waited += 50)
        ::Sleep(50);
    Append(folder + L"launch_order.txt", Utf8(L"end " + name + L"\n"));
    if (crash) {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    }
    return exitCode;
}
