// Helpers for the cabinet engine tests: a small writer of uncompressed
// package cabinets (names, attributes, times and set fields as given), the
// cabinets made by other writers, and a window that answers the engine.
#pragma once

#include "cabinet/CabDecompressor.h"
#include "core/Messages.h"
#include "core/RunFlags.h"
#include "framework/Handles.h"
#include "test_support.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace cab_test {

struct Entry {
    std::string Name;  // as stored
    std::string Data;
    uint16_t Attribs = 0x20;
    uint16_t Date = (46 << 9) | (3 << 5) | 15;  // 2026-03-15
    uint16_t Time = (10 << 11) | (20 << 5) | 5;  // 10:20:10
};

inline void Put16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// One folder, no compression, data in blocks of at most 32 KiB.
// next: the name of the next cabinet of the set, announced in the header.
inline std::string MakeCabinet(const std::vector<Entry>& entries, uint16_t setId = 0, uint16_t index = 0,
                               const char* signature = "TAVO", const std::string& next = std::string()) {
    std::string data;
    std::string files;
    for (const Entry& e : entries) {
        Put32(files, static_cast<uint32_t>(e.Data.size()));
        Put32(files, static_cast<uint32_t>(data.size()));
        Put16(files, 0);
        Put16(files, e.Date);
        Put16(files, e.Time);
        Put16(files, e.Attribs);
        files += e.Name;
        files.push_back('\0');
        data += e.Data;
    }
    std::string blocks;
    uint16_t blockCount = 0;
    for (size_t at = 0; at < data.size(); at += 32768, ++blockCount) {
        std::string piece = data.substr(at, 32768);
        Put32(blocks, 0);
        Put16(blocks, static_cast<uint32_t>(piece.size()));
        Put16(blocks, static_cast<uint32_t>(piece.size()));
        blocks += piece;
    }
    std::string names;
    if (!next.empty()) names += next + '\0' + "disk" + '\0';
    const uint32_t headerSize = 36 + static_cast<uint32_t>(names.size()), folderSize = 8;
    uint32_t filesAt = headerSize + folderSize;
    uint32_t dataAt = filesAt + static_cast<uint32_t>(files.size());
    std::string cab(signature, 4);
    Put32(cab, 0);
    Put32(cab, dataAt + static_cast<uint32_t>(blocks.size()));
    Put32(cab, 0);
    Put32(cab, filesAt);
    Put32(cab, 0);
    cab.push_back(3);
    cab.push_back(1);
    Put16(cab, 1);
    Put16(cab, static_cast<uint32_t>(entries.size()));
    Put16(cab, next.empty() ? 0 : 2);
    Put16(cab, setId);
    Put16(cab, index);
    cab += names;
    Put32(cab, dataAt);
    Put16(cab, blockCount);
    Put16(cab, 0);
    return cab + files + blocks;
}

// The folder of the cabinets made by cab_fixtures.sh, with a trailing
// backslash, or empty when they were not made.
inline std::wstring FixtureDir() {
    wchar_t value[MAX_PATH] = {};
    DWORD got = ::GetEnvironmentVariableW(L"ZEL_CAB_FIXTURES", value, MAX_PATH);
    std::wstring dir = got > 0 && got < MAX_PATH ? value : L"S:\\build\\i686\\cab_fixtures";
    for (wchar_t& c : dir) c = c == L'/' ? L'\\' : c;
    if (dir.back() != L'\\') dir += L'\\';
    return ::GetFileAttributesW((dir + L"src").c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : dir;
}

// Relative path (lower case) -> content of every file below folder.
inline void ListTree(const std::wstring& folder, const std::wstring& prefix, std::map<std::wstring, std::string>& out) {
    WIN32_FIND_DATAW data;
    zel::UniqueFindHandle find(::FindFirstFileW((folder + L"*").c_str(), &data));
    if (!find) return;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListTree(folder + name + L"\\", prefix + name + L"\\", out);
        else
            out[prefix + name] = zel_test::ReadBytes(folder + name);
    } while (::FindNextFileW(find.get(), &data));
}
inline std::map<std::wstring, std::string> Tree(const std::wstring& folder) {
    std::map<std::wstring, std::string> out;
    ListTree(folder, L"", out);
    return out;
}

// A hidden window on the test's thread: the engine's SendMessage calls reach
// it directly. It keeps the log lines, counts files and answers the
// overwrite question from a list of answers.
class EngineWindow {
public:
    EngineWindow() {
        static ATOM atom = [] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = Proc;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.lpszClassName = L"ZelCabTestWindow";
            return ::RegisterClassW(&wc);
        }();
        (void)atom;
        hwnd_ = ::CreateWindowW(L"ZelCabTestWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~EngineWindow() { ::DestroyWindow(hwnd_); }
    HWND Handle() const { return hwnd_; }

    std::deque<int> Answers;
    int Questions = 0;
    int FilesDone = 0;
    std::vector<LogRecord> Lines;

    bool HasLine(const std::wstring& format, const std::wstring& text) const {
        for (const auto& l : Lines)
            if (l.Text == format && l.Argument == text) return true;
        return false;
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<EngineWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self != nullptr) {
            if (message == WM_ZEL_LOG_LINE) {
                self->Lines.push_back(*reinterpret_cast<const LogRecord*>(wParam));
                return 1;
            }
            if (message == WM_ZEL_PROGRESS) {
                self->FilesDone += static_cast<int>(wParam);
                return 0;
            }
            if (message == WM_ZEL_OVERWRITE_QUESTION) {
                ++self->Questions;
                OverwriteAnswer = self->Answers.empty() ? OverwriteCancel : self->Answers.front();
                if (!self->Answers.empty()) self->Answers.pop_front();
                return 0;
            }
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    HWND hwnd_ = nullptr;
};

// Resets the process-wide state the engine reads and writes.
inline void ResetEngineState() {
    OverwriteAnswer = OverwriteNotAsked;
    ContinueExtraction = 1;
}

}  // namespace cab_test
