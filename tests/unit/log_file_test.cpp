#include "logging/LogFile.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using zel_test::ReadBytes;
using zel_test::TempDir;

// 2026-12-08 09:05:07: single-digit hour, minute and second show the padding.
SYSTEMTIME FixedTime() {
    SYSTEMTIME t = {};
    t.wYear = 2026;
    t.wMonth = 12;
    t.wDay = 8;
    t.wHour = 9;
    t.wMinute = 5;
    t.wSecond = 7;
    return t;
}

constexpr wchar_t kEndBanner[] =
    L"############################## --------- End --------- ##############################";

// The level counters are class-wide and never reset, so sequences whose
// summary depends on them run in a fresh child process.
int GoldenSequence(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    CBuildLogFile log;
    log.SetTimeSource(&FixedTime);
    log.InitLog(argv[2], 9);
    log.WriteStartBanner();
    log.WriteSummary();
    log.LogMessage(8, L"CreateExtractionLogFile", L"Creating Extraction Log File");
    log.LogMessage(1, L"CheckFreeSpace", L"Only %d MB free on %s", 12, L"C:\\");
    log.LogMessage(6, L"OSVersion", L"Service pack %c", L'2');
    log.LogMessage(7, L"Seven", L"level seven");
    log.LogMessage(9, L"Nine", L"level nine");
    log.LogMessage(10, L"Ten", L"dropped");
    log.LogMessage(11, L"Eleven", L"dropped");
    log.LogMessage(8, L"Source_with_exactly_35_characters__", L"exact");
    log.LogMessage(8, L"Source_with_exactly_40_characters_______", L"whole");
    log.LogMessage(8, L"Source_with_exactly_50_characters_________________", L"cut");
    log.LogUnnamed(8, L"%s,%s,%s", L"alpha", L"beta", L"gamma");
    log.LogMessage(8, L"ExtractFile", L"Reached EOF : %s \n FileSize : %d", L"C:\\Setup.exe", 76);
    log.LogText(8, L"ExtractFile", L"Extracting file : C:\\W\\100%s caf\u00e9 \u03a9 \U0001F600 end");
    log.WriteSummary();
    log.LogMessage(0, L"ExtractFile", L"Error creating file : %s Error code : %d ", L"C:\\W\\a.ini", 5);
    log.EndLog();
    log.WriteRaw(L"%s\n", kEndBanner);
    return 0;
}

// An error written while the log pointed at the first file still fails the
// summary written into the second one.
int SwitchSequence(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    CBuildLogFile log;
    log.SetTimeSource(&FixedTime);
    log.InitLog(argv[2], 9);
    log.LogMessage(0, L"InitInstance", L"master error");
    log.LogMessage(1, L"InitInstance", L"master warning");
    log.InitLog(argv[3], 11);
    log.WriteStartBanner();
    log.LogMessage(3, L"Init", L"package warning");
    log.EndLog();
    return 0;
}

const bool kRegistered = [] {
    zel_test::RegisterChildMode(L"log-golden", GoldenSequence);
    zel_test::RegisterChildMode(L"log-switch", SwitchSequence);
    return true;
}();

std::string DataFile(const char* name) {
    std::wstring path = L"S:\\tests\\unit\\data\\";
    for (const char* p = name; *p; ++p) path += static_cast<wchar_t>(*p);
    return ReadBytes(path);
}

TEST(LogFile, GoldenSequenceMatchesByteForByte) {
    TempDir dir;
    DWORD code = 1;
    zel_test::RunSelf(L"log-golden \"" + dir.File(L"golden.log") + L"\"", &code);
    ASSERT_EQ(code, 0u);
    std::string expected = DataFile("log_golden.txt");
    ASSERT_FALSE(expected.empty()) << "golden file missing";
    EXPECT_EQ(ReadBytes(dir.File(L"golden.log")), expected);
}

TEST(LogFile, CountersSurviveSwitchToAnotherFile) {
    TempDir dir;
    DWORD code = 1;
    zel_test::RunSelf(L"log-switch \"" + dir.File(L"master.log") + L"\" \"" + dir.File(L"package.log") + L"\"", &code);
    ASSERT_EQ(code, 0u);
    std::string package = ReadBytes(dir.File(L"package.log"));
    EXPECT_NE(package.find("|RETURN    |STATUS                                |Fail\r\n"), std::string::npos) << package;
    EXPECT_NE(package.find("1 Errors found and 2 Warnings found\r\n"), std::string::npos) << package;
    EXPECT_EQ(package.find("master"), std::string::npos);
}

struct FilterCase {
    int threshold;
    int level;
    bool unnamed;
    bool written;
    const char* levelWord;
};

const FilterCase kFilterCases[] = {
    {9, 0, false, true, "ERROR     "},   {9, 1, false, true, "WARNING   "},
    {9, 6, false, true, "WARNING   "},   {9, 7, false, true, "          "},
    {9, 8, false, true, "          "},   {9, 9, false, true, "          "},
    {9, 10, false, false, nullptr},      {9, 11, false, false, nullptr},
    {9, 11, true, false, nullptr},       {11, 11, false, true, "          "},
    {11, 11, true, true, "          "},  {0, 0, false, true, "ERROR     "},
    {0, 3, false, true, "WARNING   "},   {0, 6, true, true, "WARNING   "},
    {0, 7, false, false, nullptr},       {0, 8, true, false, nullptr},
};

TEST(LogFile, LevelFilterAndCounters) {
    TempDir dir;
    int row = 0;
    for (const FilterCase& c : kFilterCases) {
        SCOPED_TRACE("threshold " + std::to_string(c.threshold) + " level " + std::to_string(c.level) +
                     (c.unnamed ? " unnamed" : ""));
        std::wstring path = dir.File(L"filter" + std::to_wstring(row++) + L".log");
        CBuildLogFile log;
        log.InitLog(path, c.threshold);
        ASSERT_TRUE(CLogFile::HasLevelCounters());
        uint16_t before = CLogFile::LevelCount(c.level);
        if (c.unnamed)
            log.LogUnnamed(c.level, L"text");
        else
            log.LogMessage(c.level, L"Src", L"text");
        EXPECT_EQ(static_cast<uint16_t>(CLogFile::LevelCount(c.level) - before), c.written ? 1 : 0);
        std::string bytes = ReadBytes(path);
        if (!c.written) {
            EXPECT_TRUE(bytes.empty()) << bytes;
            continue;
        }
        ASSERT_GE(bytes.size(), 20u);
        EXPECT_EQ(bytes.substr(8, 12), std::string("|") + c.levelWord + "|");
    }
}

TEST(LogFile, TwoThreadsLoseAndTearNoLine) {
    TempDir dir;
    std::wstring path = dir.File(L"threads.log");
    CBuildLogFile log;
    log.InitLog(path, 9);
    constexpr int kLines = 10000;
    auto writer = [&log](const wchar_t* source) {
        for (int i = 0; i < kLines; ++i) log.LogMessage(8, source, L"line %05d of the worker", i);
    };
    std::thread a(writer, L"ThreadA");
    std::thread b(writer, L"ThreadB");
    a.join();
    b.join();

    std::string bytes = ReadBytes(path);
    int next[2] = {0, 0};
    size_t lines = 0;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "unterminated tail";
        std::string line = bytes.substr(start, end - start);
        start = end + 2;
        ++lines;
        // 8 time + | + 10 level + | + 35 source + " |" + "line NNNNN of the worker"
        ASSERT_EQ(line.size(), 8u + 1 + 10 + 1 + 35 + 2 + 24) << line;
        std::string source = line.substr(20, 7);
        ASSERT_TRUE(source == "ThreadA" || source == "ThreadB") << line;
        int which = source == "ThreadA" ? 0 : 1;
        int number = std::stoi(line.substr(20 + 35 + 2 + 5, 5));
        ASSERT_EQ(number, next[which]) << line;
        ++next[which];
    }
    EXPECT_EQ(lines, 2u * kLines);
    EXPECT_EQ(next[0], kLines);
    EXPECT_EQ(next[1], kLines);
}

enum class Call { Message, Unnamed, Raw };

struct FolderCase {
    const char* name;
    Call call;
    const wchar_t* missing;  // folders below the temp folder that do not exist
    bool written;
};

// A line writer loses its line, the unnamed writer creates the whole chain,
// the raw writer creates one missing level and retries once.
const FolderCase kFolderCases[] = {
    {"message, one level missing", Call::Message, L"m1\\", false},
    {"raw, one level missing", Call::Raw, L"r1\\", true},
    {"raw, two levels missing", Call::Raw, L"r2\\sub\\", false},
    {"unnamed, three levels missing", Call::Unnamed, L"u3\\a\\b\\", true},
};

TEST(LogFile, MissingFolderHandling) {
    TempDir dir;
    for (const FolderCase& c : kFolderCases) {
        SCOPED_TRACE(c.name);
        std::wstring path = dir.Path() + c.missing + L"x.log";
        CBuildLogFile log;
        log.InitLog(path, 9);
        switch (c.call) {
        case Call::Message: log.LogMessage(8, L"Src", L"text"); break;
        case Call::Unnamed: log.LogUnnamed(8, L"text"); break;
        case Call::Raw: log.WriteRaw(L"text\n"); break;
        }
        std::string bytes = ReadBytes(path);
        EXPECT_EQ(!bytes.empty(), c.written);
        if (c.written) {
            EXPECT_EQ(bytes.substr(bytes.size() - 6), "text\r\n");
        }
    }
}

TEST(LogFile, UncreatableFolderLosesLinesQuietly) {
    TempDir dir;
    // A file stands where the log folder would have to be created.
    zel_test::WriteBytes(dir.File(L"blocker"), "not a folder");
    std::wstring path = dir.File(L"blocker\\logs\\x.log");
    CBuildLogFile log;
    log.InitLog(path, 9);
    uint16_t errorsBefore = CLogFile::LevelCount(0);
    log.LogMessage(0, L"Src", L"lost");
    log.LogUnnamed(1, L"lost, too");
    log.WriteRaw(L"lost raw\n");
    log.WriteStartBanner();
    log.EndLog();
    EXPECT_EQ(static_cast<uint16_t>(CLogFile::LevelCount(0) - errorsBefore), 1);
    EXPECT_EQ(ReadBytes(dir.File(L"blocker")), "not a folder");
    EXPECT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(LogFile, DeleteLogReportsMissingFile) {
    TempDir dir;
    CBuildLogFile log;
    log.InitLog(dir.File(L"d.log"), 9);
    EXPECT_EQ(log.DeleteLog(), -1);
    log.WriteRaw(L"x");
    EXPECT_EQ(log.DeleteLog(), 0);
    EXPECT_EQ(::GetFileAttributesW(dir.File(L"d.log").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(LogFile, AppendsToExistingFileWithoutTruncating) {
    TempDir dir;
    zel_test::WriteBytes(dir.File(L"a.log"), "earlier\r\n");
    CBuildLogFile log;
    log.SetTimeSource(&FixedTime);
    log.InitLog(dir.File(L"a.log"), 9);
    log.LogText(8, L"S", L"100% %s %n");
    EXPECT_EQ(ReadBytes(dir.File(L"a.log")),
              "earlier\r\n09:05:07|          |S                                   |100% %s %n\r\n");
}

}  // namespace

namespace {

// A viewer that opens the log between two lines without granting write
// access must not cost the later lines.
TEST(LogFile, ViewerHoldingTheFileCostsNoLine) {
    TempDir dir;
    std::wstring path = dir.File(L"viewed.log");
    CBuildLogFile log;
    log.SetTimeSource(&FixedTime);
    log.InitLog(path, 9);
    log.LogText(8, L"S", L"before the viewer");
    for (DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ}}) {
        SCOPED_TRACE(share);
        zel::UniqueHandle viewer(
            ::CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        log.LogText(8, L"S", L"while the viewer looks");
    }
    log.WriteRaw(L"raw\n");
    const std::string line = "09:05:07|          |S                                   |";
    EXPECT_EQ(ReadBytes(path), line + "before the viewer\r\n" + line + "while the viewer looks\r\n" + line +
                                   "while the viewer looks\r\nraw\r\n");
}

// Two runs writing one log (the master log of a second instance): every line
// lands at the end, none overwrites another.
TEST(LogFile, TwoWritersOfOneFileBothAppend) {
    TempDir dir;
    std::wstring path = dir.File(L"shared.log");
    CBuildLogFile first;
    CBuildLogFile second;
    first.InitLog(path, 9);
    second.InitLog(path, 9);
    first.WriteRaw(L"first 1\n");
    second.WriteRaw(L"second 1\n");
    first.WriteRaw(L"first 2\n");
    second.WriteRaw(L"second 2\n");
    EXPECT_EQ(ReadBytes(path), "first 1\r\nsecond 1\r\nfirst 2\r\nsecond 2\r\n");
}

// Pointing the log elsewhere lets go of the old file: it can be removed.
TEST(LogFile, SwitchingFilesReleasesTheOldOne) {
    TempDir dir;
    CBuildLogFile log;
    log.InitLog(dir.File(L"one.log"), 9);
    log.WriteRaw(L"x\n");
    log.InitLog(dir.File(L"two.log"), 9);
    log.WriteRaw(L"y\n");
    EXPECT_TRUE(::DeleteFileW(dir.File(L"one.log").c_str()));
    EXPECT_FALSE(::DeleteFileW(dir.File(L"two.log").c_str())) << "the current log is held open";
}

}  // namespace
