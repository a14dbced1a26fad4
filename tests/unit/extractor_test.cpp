#include "app/App.h"
#include "core/Messages.h"
#include "logging/LogFile.h"
#include "payload/Extractor.h"
#include "payload/VersionInfo.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using zel_test::ReadBytes;
using zel_test::TempDir;
using zel_test::WriteBytes;

// ---- building payload files -------------------------------------------------

struct Rec {
    Rec(std::wstring n, int k, std::string d, std::optional<uint32_t> storedNameLength = std::nullopt,
        std::optional<uint32_t> storedDataSize = std::nullopt)
        : name(std::move(n)), kind(k), data(std::move(d)), nameLength(storedNameLength), dataSize(storedDataSize) {}
    std::wstring name;
    int kind;
    std::string data;
    std::optional<uint32_t> nameLength;  // the stored field, when it lies
    std::optional<uint32_t> dataSize;
};

void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string Utf16(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>((c >> 8) & 0xFF);
    }
    return out;
}

std::string MarkerBytes() { return Utf16(L"{20726377-9F91-41b8-B514-20AE00AA235D}"); }

std::string RecordBytes(const Rec& r) {
    std::string name = Utf16(r.name);
    std::string out = MarkerBytes();
    PutU32(out, r.nameLength.value_or(static_cast<uint32_t>(name.size())));
    out += name;
    PutU32(out, r.dataSize.value_or(static_cast<uint32_t>(r.data.size())));
    out += static_cast<char>(r.kind & 0xFF);
    out += static_cast<char>((r.kind >> 8) & 0xFF);
    out += r.data;
    return out;
}

// Stands in for the PE image in front of the payload.
const std::string kFakeImage = "MZ" + std::string(198, '\x90');

std::string Payload(const std::vector<Rec>& records) {
    std::string out;
    for (const Rec& r : records) out += RecordBytes(r);
    return out;
}

std::string Pattern(size_t n, char seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(seed + i * 7);
    return s;
}

// ---- what the reader reported -------------------------------------------------

struct Line {
    std::wstring levelWord;
    std::wstring text;
};

std::vector<Line> ParseLogFile(const std::string& bytes) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        start = end + 2;
        if (line.size() < 57 || line[8] != '|') continue;  // a continuation line
        Line parsed;
        for (char c : line.substr(9, 10)) parsed.levelWord += static_cast<wchar_t>(static_cast<unsigned char>(c));
        for (char c : line.substr(57)) parsed.text += static_cast<wchar_t>(static_cast<unsigned char>(c));
        lines.push_back(parsed);
    }
    return lines;
}

std::vector<LogRecord> g_relayed;
std::function<void(const LogRecord&)> g_onRelayed;

LRESULT CALLBACK CaptureProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ZEL_LOG_LINE) {
        const auto& record = *reinterpret_cast<const LogRecord*>(wParam);
        g_relayed.push_back(record);
        if (g_onRelayed) g_onRelayed(record);
        return 1;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

// A hidden message-only window on the test thread: the reader's sends reach
// it directly, with no message loop.
class CaptureWindow {
public:
    CaptureWindow() {
        static ATOM atom = [] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = CaptureProc;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.lpszClassName = L"ZelExtractorTestCapture";
            return ::RegisterClassW(&wc);
        }();
        (void)atom;
        hwnd_ = ::CreateWindowExW(0, L"ZelExtractorTestCapture", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
        g_relayed.clear();
        g_onRelayed = nullptr;
    }
    ~CaptureWindow() {
        ::DestroyWindow(hwnd_);
        g_onRelayed = nullptr;
    }
    HWND get() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

std::vector<Line> RelayedLines() {
    std::vector<Line> lines;
    for (const LogRecord& r : g_relayed) {
        EXPECT_EQ(r.Source, L"ExtractFile");
        EXPECT_TRUE(r.Argument.empty());
        lines.push_back({theLog.GetLevelText(r.Level), r.Text});
    }
    return lines;
}

std::map<std::wstring, std::string> FilesIn(const std::wstring& folder) {
    std::map<std::wstring, std::string> files;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") files[name] = ReadBytes(folder + name);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return files;
}

// theLog is the settings pass's log; point it at a file of the test and put
// it back afterwards.
class ExtractorTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedPath_ = theLog.GetFilePath();
        savedLevel_ = theLog.GetLogLevel();
        theLog.InitLog(dir_.File(L"test.log"), 11);
        target_ = dir_.Path() + L"target\\";
        ::CreateDirectoryW(target_.substr(0, target_.size() - 1).c_str(), nullptr);
        CancelRequested = 0;
    }
    void TearDown() override {
        theLog.InitLog(savedPath_, savedLevel_);
        CancelRequested = 0;
    }

    TempDir dir_;
    std::wstring target_;
    std::wstring savedPath_;
    int savedLevel_ = 9;
};

// ---- the table of payloads ----------------------------------------------------

constexpr DWORD kBuffer = 16;
constexpr DWORD kAtImage = 0xFFFFFFFF;  // offset = end of the fake image

struct PayloadCase {
    const char* name;
    std::string payload;  // behind the fake image
    int wantedKind;
    int result;
    std::map<std::wstring, std::string> files;  // the target's content afterwards
    const wchar_t* levelWord;                   // of the line that must be there
    const wchar_t* logged;                      // start of that line's text
    DWORD offset = kAtImage;
};

const wchar_t* kError = L"ERROR     ";
const wchar_t* kInfo = L"          ";

std::vector<PayloadCase> PayloadCases() {
    const std::string ini = "[Runtime]\r\nCheckAdmin=1\r\n";
    const std::string cab = "TAVO" + Pattern(40, 'c');
    const std::string signatureTail = std::string("\x30\x82\x1f\x00", 4) + Pattern(300, 's');
    return {
        {"no version information: offset 0 is the image", Payload({{L"a.ini", 200, ini}}),
         kRecordKindSettings, 0, {}, kInfo, L"Attached files are extracted", 0},
        {"settings pass copies settings records and stops at the package",
         Payload({{L"Properties_Tavo.ini", 200, ini}, {L"1033.ulf", 200, "lang"}, {L"WebCab1", 100, cab}}),
         kRecordKindSettings, 0, {{L"Properties_Tavo.ini", ini}, {L"1033.ulf", "lang"}}, kInfo,
         L"Extracting file : "},
        {"settings pass: a first package record ends it at once",
         Payload({{L"WebCab1", 100, cab}, {L"a.ini", 200, ini}}), kRecordKindSettings, 0, {}, kInfo,
         L"Reading footer information"},
        {"package pass skips settings records and copies the package",
         Payload({{L"a.ini", 200, ini}, {L"b.ini", 200, ini}, {L"WebCab1", 100, cab}}), kRecordKindPackage, 0,
         {{L"WebCab1", cab}}, kInfo, L"Closing file : "},
        {"data ending exactly at the end of the file", Payload({{L"a.ini", 200, ini}}), kRecordKindSettings, 0,
         {{L"a.ini", ini}}, kInfo, L"Reached EOF : "},
        {"DataSize 0 makes an empty file", Payload({{L"empty.ini", 200, ""}}), kRecordKindSettings, 0,
         {{L"empty.ini", ""}}, kInfo, L"Closing file : "},
        {"DataSize equal to the buffer size", Payload({{L"b.bin", 200, Pattern(kBuffer, 'b')}}),
         kRecordKindSettings, 0, {{L"b.bin", Pattern(kBuffer, 'b')}}, kInfo, L"Closing file : "},
        {"data over several buffers", Payload({{L"m.bin", 200, Pattern(5 * kBuffer + 3, 'm')}}),
         kRecordKindSettings, 0, {{L"m.bin", Pattern(5 * kBuffer + 3, 'm')}}, kInfo, L"Closing file : "},
        {"a signature block after the last record is not copied",
         Payload({{L"a.ini", 200, ini}}) + signatureTail, kRecordKindSettings, 0, {{L"a.ini", ini}}, kInfo,
         L"Attached files are extracted"},
        {"a partial marker at a record start is the end",
         Payload({{L"a.ini", 200, ini}}) + MarkerBytes().substr(0, 40), kRecordKindSettings, 0,
         {{L"a.ini", ini}}, kInfo, L"Reached EOF : "},
        {"a name with percent signs is logged as it is", Payload({{L"100%s%n%d.ini", 200, ini}}),
         kRecordKindSettings, 0, {{L"100%s%n%d.ini", ini}}, kInfo, L"Closing file : "},
        {"NameLength 1024 is refused", Payload({{L"a.ini", 200, ini, 1024u}}) + std::string(1100, 'x'),
         kRecordKindSettings, -1, {}, kError, L"Invalid record in payload : name length 1024"},
        {"a name climbing out is refused", Payload({{L"..\\evil.ini", 200, ini}}), kRecordKindSettings, -1, {},
         kError, L"Refused file name in payload : ..\\evil.ini : the name holds a folder part"},
        {"a name with a folder part is refused", Payload({{L"sub/a.ini", 200, ini}}), kRecordKindSettings,
         -1, {}, kError, L"Refused file name in payload : sub/a.ini"},
        {"a drive-relative name is refused", Payload({{L"C:evil.ini", 200, ini}}), kRecordKindSettings, -1, {},
         kError, L"Refused file name in payload : C:evil.ini : the name holds a drive"},
        {"a stream name is refused", Payload({{L"a.ini:hidden", 200, ini}}), kRecordKindSettings, -1, {}, kError,
         L"Refused file name in payload : a.ini:hidden"},
        {"the name .. is refused", Payload({{L"..", 200, ini}}), kRecordKindSettings, -1, {}, kError,
         L"Refused file name in payload : .. : the name refers to a folder"},
        {"a device name is refused", Payload({{L"con.ini", 200, ini}}), kRecordKindSettings, -1, {}, kError,
         L"Refused file name in payload : con.ini : the name is a device name"},
        {"an empty name is refused", Payload({{L"", 200, ini}}), kRecordKindSettings, -1, {}, kError,
         L"Refused file name in payload :  : the name is empty"},
        {"DataSize past the end of the file is a truncated payload",
         Payload({{L"a.ini", 200, ini, std::nullopt, 1000u}}), kRecordKindSettings, -1, {}, kError,
         L"Payload is truncated : record a.ini needs 1000 bytes"},
        {"a package pass over a truncated settings record fails too",
         Payload({{L"a.ini", 200, ini, std::nullopt, 1000u}}), kRecordKindPackage, -1, {}, kError,
         L"Payload is truncated : record a.ini"},
        {"a header cut after the marker is a truncated payload", MarkerBytes() + "\x05", kRecordKindSettings, -1,
         {}, kError, L"Payload is truncated : the record header ends early"},
        {"an offset of 2 GiB or more cannot be reached", Payload({{L"a.ini", 200, ini}}), kRecordKindSettings, -1,
         {}, kError, L"Error seeking file : ", 0x80000000u},
    };
}

TEST_F(ExtractorTest, PayloadTable) {
    for (const PayloadCase& c : PayloadCases()) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::wstring exe = dir.File(L"Setup.exe");
        std::wstring target = dir.Path() + L"out\\";
        ::CreateDirectoryW(target.substr(0, target.size() - 1).c_str(), nullptr);
        WriteBytes(exe, kFakeImage + c.payload);
        std::wstring logPath = dir.File(L"case.log");
        theLog.InitLog(logPath, 11);
        DWORD offset = c.offset == kAtImage ? static_cast<DWORD>(kFakeImage.size()) : c.offset;

        std::vector<Line> lines;
        if (c.wantedKind == kRecordKindSettings) {
            CExtractor reader;
            EXPECT_EQ(reader.ExtractFile(exe, target, c.wantedKind, offset, kBuffer), c.result);
            lines = ParseLogFile(ReadBytes(logPath));
        } else {
            CaptureWindow window;
            CExtractor reader(window.get(), 0);
            EXPECT_EQ(reader.ExtractFile(exe, target, c.wantedKind, offset, kBuffer), c.result);
            lines = RelayedLines();
            // Skipped records are neither copied nor announced.
            for (const Line& l : lines) {
                if (l.text.find(L"Extracting file") == 0) {
                    EXPECT_EQ(l.text.find(L".ini"), std::wstring::npos);
                }
            }
        }
        EXPECT_EQ(FilesIn(target), c.files);
        // Nothing lands beside the target folder.
        std::map<std::wstring, std::string> beside = FilesIn(dir.Path());
        beside.erase(L"Setup.exe");
        beside.erase(L"out");
        beside.erase(L"case.log");
        EXPECT_TRUE(beside.empty());

        auto found = std::find_if(lines.begin(), lines.end(), [&](const Line& l) {
            return l.text.compare(0, wcslen(c.logged), c.logged) == 0;
        });
        ASSERT_NE(found, lines.end()) << "no line starting with: " << testing::PrintToString(std::wstring(c.logged));
        EXPECT_EQ(found->levelWord, c.levelWord);
        if (c.result != 0) {
            // A refused or truncated record leaves no partial file behind it.
            EXPECT_TRUE(std::none_of(lines.begin(), lines.end(),
                                     [](const Line& l) { return l.text.find(L"Extracting file") == 0; }));
        }
    }
}

TEST_F(ExtractorTest, ReportsWhatCannotBeOpenedOrCreated) {
    CExtractor reader;
    EXPECT_EQ(reader.ExtractFile(dir_.File(L"missing.exe"), target_, kRecordKindSettings, 0, kBuffer), -1);
    WriteBytes(dir_.File(L"Setup.exe"), kFakeImage + Payload({{L"a.ini", 200, "x"}}));
    CExtractor second;
    EXPECT_EQ(second.ExtractFile(dir_.File(L"Setup.exe"), dir_.Path() + L"nofolder\\", kRecordKindSettings,
                                 static_cast<DWORD>(kFakeImage.size()), kBuffer),
              -1);
    std::vector<Line> lines = ParseLogFile(ReadBytes(dir_.File(L"test.log")));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front().text.find(L"Error opening file : " + dir_.File(L"missing.exe") + L" Error code : 2 "), 0u);
    EXPECT_EQ(lines.front().levelWord, kError);
    EXPECT_EQ(lines.back().text.find(L"Error creating file : " + dir_.Path() + L"nofolder\\a.ini Error code : "), 0u);
    EXPECT_EQ(lines.back().levelWord, kError);
}

TEST_F(ExtractorTest, PackagePassWithoutWindowDropsItsLines) {
    WriteBytes(dir_.File(L"Setup.exe"), kFakeImage + Payload({{L"WebCab1", 100, "cab"}}));
    CExtractor reader(nullptr, 0);
    EXPECT_EQ(reader.ExtractFile(dir_.File(L"Setup.exe"), target_, kRecordKindPackage,
                                 static_cast<DWORD>(kFakeImage.size()), kBuffer),
              0);
    EXPECT_EQ(ReadBytes(target_ + L"WebCab1"), "cab");
    EXPECT_EQ(ReadBytes(dir_.File(L"test.log")), "");
}

TEST_F(ExtractorTest, CancelStopsTheCopyAtOnce) {
    WriteBytes(dir_.File(L"Setup.exe"),
               kFakeImage + Payload({{L"first.cab", 100, Pattern(4 * kBuffer, 'f')}, {L"second.cab", 100, "2"}}));
    CaptureWindow window;
    // The window's cancel arrives while the first file is being copied.
    g_onRelayed = [](const LogRecord& r) {
        if (r.Text.find(L"Extracting file") == 0) CancelRequested = 1;
    };
    CExtractor reader(window.get(), 0);
    EXPECT_EQ(reader.ExtractFile(dir_.File(L"Setup.exe"), target_, kRecordKindPackage,
                                 static_cast<DWORD>(kFakeImage.size()), kBuffer),
              kExtractCancelled);
    EXPECT_EQ(FilesIn(target_), (std::map<std::wstring, std::string>{{L"first.cab", ""}}));
    for (const LogRecord& r : g_relayed) EXPECT_NE(r.Text.find(L"Closing file"), 0u) << "copy went on";
    // The cancel stays visible to the clean-up.
    EXPECT_EQ(CancelRequested, 1);
}

TEST_F(ExtractorTest, CancelBeforeTheFirstRecordCopiesNothing) {
    WriteBytes(dir_.File(L"Setup.exe"), kFakeImage + Payload({{L"a.ini", 200, "x"}}));
    CancelRequested = 1;
    CExtractor reader;
    EXPECT_EQ(reader.ExtractFile(dir_.File(L"Setup.exe"), target_, kRecordKindSettings,
                                 static_cast<DWORD>(kFakeImage.size()), kBuffer),
              kExtractCancelled);
    EXPECT_TRUE(FilesIn(target_).empty());
}

// ---- a real executable with a stamped version record --------------------------

// VS_VERSIONINFO with only the fixed part: header, key, padding to 4, fixed info.
std::string VersionBlock(uint32_t subtype) {
    std::string key = Utf16(L"VS_VERSION_INFO") + std::string(2, '\0');
    std::string block;
    auto put16 = [&block](uint16_t v) {
        block += static_cast<char>(v & 0xFF);
        block += static_cast<char>(v >> 8);
    };
    put16(0);  // length, filled in below
    put16(sizeof(VS_FIXEDFILEINFO));
    put16(0);
    block += key;
    while (block.size() % 4) block += '\0';
    VS_FIXEDFILEINFO fixed = {};
    fixed.dwSignature = 0xFEEF04BD;
    fixed.dwStrucVersion = 0x00010000;
    fixed.dwFileType = VFT_APP;
    fixed.dwFileSubtype = subtype;
    block.append(reinterpret_cast<const char*>(&fixed), sizeof(fixed));
    block[0] = static_cast<char>(block.size() & 0xFF);
    block[1] = static_cast<char>(block.size() >> 8);
    return block;
}

bool StampVersion(const std::wstring& exe, uint32_t subtype) {
    HANDLE update = ::BeginUpdateResourceW(exe.c_str(), FALSE);
    if (update == nullptr) return false;
    std::string block = VersionBlock(subtype);
    BOOL ok = ::UpdateResourceW(update, RT_VERSION, MAKEINTRESOURCEW(1), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                block.data(), static_cast<DWORD>(block.size()));
    return ::EndUpdateResourceW(update, !ok) && ok;
}

TEST_F(ExtractorTest, StampedExecutableRoundTrip) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(CTavoVersionInfoUpdater::GetModuleVersionSubtype(self), 0u) << "the test program has no version record";
    EXPECT_EQ(CTavoVersionInfoUpdater::GetModuleVersionSubtype(dir_.File(L"none.exe")), 0u);

    std::wstring exe = dir_.File(L"Setup.exe");
    ASSERT_TRUE(::CopyFileW(self, exe.c_str(), FALSE));
    ASSERT_TRUE(StampVersion(exe, 1));
    const uint32_t imageSize = static_cast<uint32_t>(ReadBytes(exe).size());
    ASSERT_TRUE(StampVersion(exe, imageSize));
    ASSERT_EQ(ReadBytes(exe).size(), imageSize) << "stamping changed the image size";
    EXPECT_EQ(CTavoVersionInfoUpdater::GetModuleVersionSubtype(exe), imageSize);

    std::string image = ReadBytes(exe);
    WriteBytes(exe, image + Payload({{L"Properties_Tavo.ini", 200, "[Runtime]"}, {L"WebCab1", 100, "TAVOcab"}}));
    CExtractor reader;
    EXPECT_EQ(reader.ExtractFile(exe, target_, kRecordKindSettings,
                                 CTavoVersionInfoUpdater::GetModuleVersionSubtype(exe), 4096),
              0);
    EXPECT_EQ(FilesIn(target_), (std::map<std::wstring, std::string>{{L"Properties_Tavo.ini", "[Runtime]"}}));
}

}  // namespace
