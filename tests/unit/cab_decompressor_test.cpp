#include "cabinet/CabDecompressor.h"

#include "cab_test_support.h"
#include "test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using cab_test::Entry;
using cab_test::EngineWindow;
using cab_test::MakeCabinet;
using zel_test::ReadBytes;
using zel_test::TempDir;
using zel_test::WriteBytes;

namespace {

class CabEngineTest : public testing::Test {
protected:
    void SetUp() override { cab_test::ResetEngineState(); }
    void TearDown() override { cab_test::ResetEngineState(); }

    std::wstring WriteCab(const std::vector<Entry>& entries, const std::wstring& name = L"pkg.cab") {
        std::wstring path = dir_.File(name);
        WriteBytes(path, MakeCabinet(entries));
        return path;
    }

    TempDir dir_;
};

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

ULONGLONG WriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return (ULONGLONG(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

ULONGLONG StoredTime(const Entry& e, bool storedIsUtc) {
    FILETIME stored, utc;
    ::DosDateTimeToFileTime(e.Date, e.Time, &stored);
    if (storedIsUtc)
        utc = stored;
    else
        ::LocalFileTimeToFileTime(&stored, &utc);
    return (ULONGLONG(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
}

// --- cabinets from other writers ---------------------------------------------

class CabForeignWriterTest : public CabEngineTest, public testing::WithParamInterface<const wchar_t*> {};

TEST_P(CabForeignWriterTest, ExtractsTreeIdenticalToSource) {
    std::wstring fixtures = cab_test::FixtureDir();
    if (fixtures.empty()) GTEST_SKIP() << "cab_fixtures.sh has not run";
    std::wstring cab = fixtures + GetParam();
    if (!Exists(cab)) GTEST_SKIP() << "no cabinet from this writer yet";
    std::string before = ReadBytes(cab);

    EngineWindow window;
    CCabDecompressor engine(window.Handle(), true);
    std::wstring target = dir_.File(L"out");
    ASSERT_EQ(engine.ExtractCabinet(cab, target), 0) << engine.GetErrorText();

    EXPECT_EQ(engine.GetErrorText(), L"Success");
    auto source = cab_test::Tree(fixtures + L"src\\");
    ASSERT_EQ(source.size(), 4u);
    EXPECT_EQ(cab_test::Tree(target + L"\\"), source);
    EXPECT_EQ(window.FilesDone(), 4);
    EXPECT_EQ(ReadBytes(cab), before) << "the cabinet on disk was changed";
}

// zelpack.cab is the packaging tool's own cabinet of the same tree.
INSTANTIATE_TEST_SUITE_P(Writers, CabForeignWriterTest,
                         testing::Values(L"gcab.cab", L"cabarc.cab", L"zelpack.cab"));

TEST_F(CabEngineTest, StandardCabinetIsRefused) {
    std::wstring fixtures = cab_test::FixtureDir();
    std::wstring cab = fixtures.empty() ? dir_.File(L"std.cab") : fixtures + L"mscf.cab";
    if (fixtures.empty()) WriteBytes(cab, MakeCabinet({{"\\a.txt", "x"}}, 0, 0, "MSCF"));
    std::string before = ReadBytes(cab);

    CCabDecompressor engine(nullptr, true);
    EXPECT_EQ(engine.ExtractCabinet(cab, dir_.File(L"out")), 2);
    EXPECT_EQ(engine.GetErrorText(), L"The file is not a cabinet");
    EXPECT_TRUE(cab_test::Tree(dir_.File(L"out\\")).empty());
    EXPECT_EQ(engine.GetCabinetSetID(cab), 65535);
    EXPECT_EQ(ReadBytes(cab), before);
}

class CabSpanningSetTest : public CabEngineTest, public testing::WithParamInterface<const wchar_t*> {};

TEST_P(CabSpanningSetTest, IsExtractedAcrossItsCabinets) {
    std::wstring fixtures = cab_test::FixtureDir();
    if (fixtures.empty()) GTEST_SKIP() << "cab_fixtures.sh has not run";
    std::wstring first = fixtures + GetParam();
    if (!Exists(first)) GTEST_SKIP() << "no set from this writer yet";
    CCabDecompressor engine(nullptr, true);
    EXPECT_EQ(engine.GetCabinetSetID(first), 4242);
    std::wstring target = dir_.File(L"out");
    ASSERT_EQ(engine.ExtractCabinet(first, target), 0) << engine.GetErrorText();
    EXPECT_EQ(cab_test::Tree(target + L"\\"), cab_test::Tree(fixtures + L"src\\"));
}

// Wine's cabarc and zelpack, three cabinets each, b.bin running across them.
INSTANTIATE_TEST_SUITE_P(Writers, CabSpanningSetTest,
                         testing::Values(L"span\\pkg.001", L"zelpack_span\\zpkg.001"));

// A set whose first cabinet ends with a whole file: the decoder never asks for
// the next cabinet, which is extracted all the same.
TEST_F(CabEngineTest, SetEndingOnAFileBoundaryIsExtractedWhole) {
    WriteBytes(dir_.File(L"one.cab"), MakeCabinet({{"\\a.txt", "first"}}, 9, 0, "TAVO", "two.cab"));
    WriteBytes(dir_.File(L"two.cab"), MakeCabinet({{"\\b.txt", "second"}}, 9, 1));
    CCabDecompressor engine(nullptr, true);
    ASSERT_EQ(engine.ExtractCabinet(dir_.File(L"one.cab"), dir_.File(L"out")), 0) << engine.GetErrorText();
    EXPECT_EQ(ReadBytes(dir_.File(L"out\\a.txt")), "first");
    EXPECT_EQ(ReadBytes(dir_.File(L"out\\b.txt")), "second");

    // A cabinet that names itself as the next one is read once and fails
    // the extraction: the set is broken.
    WriteBytes(dir_.File(L"self.cab"), MakeCabinet({{"\\c.txt", "c"}}, 9, 0, "TAVO", "self.cab"));
    EXPECT_EQ(engine.ExtractCabinet(dir_.File(L"self.cab"), dir_.File(L"out")), FDIERROR_WRONG_CABINET);
    EXPECT_EQ(ReadBytes(dir_.File(L"out\\c.txt")), "c");
}

// The job's question callback answers in place of a window, once for "to
// all", and the job's record receives what was written.
TEST_F(CabEngineTest, JobAnswersTheOverwriteQuestionAndKeepsTheRecord) {
    std::wstring out = dir_.File(L"out");
    std::wstring cab = WriteCab({{"\\a.txt", "new a"}, {"\\b.txt", "new b"}});
    ::CreateDirectoryW(out.c_str(), nullptr);
    WriteBytes(out + L"\\a.txt", "old a");
    WriteBytes(out + L"\\b.txt", "old b");

    ExtractionRecord record;
    int questions = 0;
    CabinetJob job;
    job.Record = &record;
    job.AskOverwrite = [&questions] {
        ++questions;
        return int(OverwriteNoToAll);
    };
    CCabDecompressor engine(nullptr, std::move(job));
    ASSERT_EQ(engine.ExtractCabinet(cab, out), 0) << engine.GetErrorText();
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(ReadBytes(out + L"\\a.txt"), "old a");
    EXPECT_EQ(ReadBytes(out + L"\\b.txt"), "old b");
    EXPECT_TRUE(record.Files.empty());
    EXPECT_EQ(&engine.GetRecord(), &record);

    ExtractionRecord replaced;
    CabinetJob yes;
    yes.Record = &replaced;
    yes.AskOverwrite = [] { return int(OverwriteYesToAll); };
    CCabDecompressor again(nullptr, std::move(yes));
    ASSERT_EQ(again.ExtractCabinet(cab, out), 0) << again.GetErrorText();
    EXPECT_EQ(ReadBytes(out + L"\\b.txt"), "new b");
    EXPECT_THAT(replaced.Files, testing::ElementsAre(out + L"\\a.txt", out + L"\\b.txt"));
}

// --- names, folders and paths --------------------------------------------------

TEST_F(CabEngineTest, FolderWithoutBackslashGetsFoldersCreatedAndListed) {
    // Our packer stores a leading backslash, other writers do not.
    for (const char* stored : {"\\Data\\a.txt", "Data\\a.txt"}) {
        cab_test::ResetEngineState();
        TempDir target;
        std::wstring folder = target.File(L"Pkg");
        CCabDecompressor engine(nullptr, true);
        ASSERT_EQ(engine.ExtractCabinet(WriteCab({{stored, "alpha"}}), folder), 0) << stored;
        EXPECT_EQ(ReadBytes(folder + L"\\Data\\a.txt"), "alpha") << stored;
        EXPECT_THAT(engine.GetRecord().Folders, testing::ElementsAre(folder, folder + L"\\Data")) << stored;
        EXPECT_THAT(engine.GetRecord().Files, testing::ElementsAre(folder + L"\\Data\\a.txt")) << stored;
        EXPECT_EQ(CurrentExtractFileName, L"a.txt");
    }
}

TEST_F(CabEngineTest, OutputPathLimitIs260Characters) {
    const std::string stored = "\\" + std::string(100, 'n') + "\\" + std::string(100, 'f');
    for (size_t length : {size_t(260), size_t(261)}) {
        cab_test::ResetEngineState();
        TempDir target;
        size_t pad = length - stored.size() - target.Path().size();
        std::wstring folder = target.Path() + std::wstring(pad, L'p');
        std::wstring output = folder + std::wstring(stored.begin(), stored.end());
        ASSERT_EQ(output.size(), length);

        CCabDecompressor engine(nullptr, true);
        int code = engine.ExtractCabinet(WriteCab({{stored, "long"}}), folder);
        if (length == 260) {
            EXPECT_EQ(code, 0) << engine.GetErrorText();
            EXPECT_EQ(ReadBytes(output), "long");
        } else {
            EXPECT_EQ(code, 1005);
            EXPECT_EQ(engine.GetErrorText(), L"The path is too long. (Max 260 characters are allowed).");
            EXPECT_FALSE(Exists(output));
        }
    }
}

class CabHostileNameTest : public CabEngineTest, public testing::WithParamInterface<const char*> {};

TEST_P(CabHostileNameTest, NothingIsWrittenOutsideTheFolder) {
    TempDir root;
    std::wstring folder = root.File(L"inner\\pkg");
    EngineWindow window;
    CCabDecompressor engine(window.Handle(), true);
    std::wstring cab = WriteCab({{"\\first.txt", "ok"}, {GetParam(), "evil"}, {"\\last.txt", "late"}});

    EXPECT_EQ(engine.ExtractCabinet(cab, folder), CabCodeUnsafeName);
    EXPECT_EQ(ReadBytes(folder + L"\\first.txt"), "ok");
    EXPECT_FALSE(Exists(folder + L"\\last.txt"));
    auto everything = cab_test::Tree(root.Path());
    EXPECT_THAT(everything, testing::ElementsAre(testing::Key(L"inner\\pkg\\first.txt")));
    EXPECT_FALSE(Exists(L"C:\\evil.txt"));
    std::string name = GetParam();
    bool named = false;
    for (const auto& line : window.Lines())
        named |= line.Level == 0 && line.Message.find(std::wstring(name.begin(), name.end())) != std::wstring::npos;
    EXPECT_TRUE(named) << "no level-0 line names the entry";
}

INSTANTIATE_TEST_SUITE_P(Names, CabHostileNameTest,
                         testing::Values("..\\evil.txt", "\\..\\evil.txt", "\\a\\..\\..\\..\\evil.txt",
                                         "a/../../../evil.txt", "C:\\evil.txt", "C:evil.txt",
                                         "\\\\server\\share\\evil.txt", "//server/share/evil.txt",
                                         "\\first.txt:stream", "\\.. \\evil.txt", "\\...\\evil.txt"));

TEST_F(CabEngineTest, BadArgumentsGive1002) {
    std::wstring cab = WriteCab({{"\\a.txt", "x"}});
    CCabDecompressor engine(nullptr, true);
    EXPECT_EQ(engine.ExtractCabinet(cab, L"C"), 1002);
    EXPECT_EQ(engine.ExtractCabinet(L"pkg.cab", dir_.File(L"out")), 1002);
    EXPECT_EQ(engine.GetErrorText(), L"Invalid parameters passed to extraction function");
}

TEST_F(CabEngineTest, MissingCabinetGivesCode1AndTheOpenError) {
    CCabDecompressor engine(nullptr, true);
    EXPECT_EQ(engine.ExtractCabinet(dir_.File(L"none.cab"), dir_.File(L"out")), 1);
    EXPECT_EQ(engine.GetLastSystemError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(engine.GetCurrentCabinetName(), L"none.cab");
}

TEST_F(CabEngineTest, CancelledRunStopsAtTheNextFile) {
    ContinueExtraction = 0;
    CCabDecompressor engine(nullptr, true);
    EXPECT_EQ(engine.ExtractCabinet(WriteCab({{"\\a.txt", "x"}}), dir_.File(L"out")), 11);
    EXPECT_EQ(engine.GetErrorText(), L"User aborted extraction");
    EXPECT_FALSE(Exists(dir_.File(L"out\\a.txt")));
}

// --- times and attributes --------------------------------------------------------

TEST_F(CabEngineTest, StoredTimeIsLocalUnlessMarkedUtc) {
    Entry local{"\\local.txt", "l"};
    Entry utc{"\\utc.txt", "u", 0x20 | CCabDecompressor::kAttribUtcTime};
    CCabDecompressor engine(nullptr, true);
    ASSERT_EQ(engine.ExtractCabinet(WriteCab({local, utc}), dir_.File(L"out")), 0);
    EXPECT_EQ(WriteTime(dir_.File(L"out\\local.txt")), StoredTime(local, false));
    EXPECT_EQ(WriteTime(dir_.File(L"out\\utc.txt")), StoredTime(utc, true));
    // Both entries carry the same stored value: away from UTC they must differ.
    if (StoredTime(local, false) != StoredTime(utc, true)) {
        EXPECT_NE(WriteTime(dir_.File(L"out\\local.txt")), WriteTime(dir_.File(L"out\\utc.txt")));
    } else {
        std::printf("note: local time is UTC here; the cab_local_time test runs this in another zone\n");
    }
}

TEST_F(CabEngineTest, AttributesKeepReadOnlyHiddenSystemArchiveOnly) {
    // 0x40 (run after extraction) and 0x100 are cabinet flags, not file attributes.
    CCabDecompressor engine(nullptr, true);
    ASSERT_EQ(engine.ExtractCabinet(WriteCab({{"\\f.txt", "f", 0x01 | 0x02 | 0x20 | 0x40 | 0x100}}), dir_.File(L"out")),
              0);
    EXPECT_EQ(::GetFileAttributesW(dir_.File(L"out\\f.txt").c_str()),
              DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
}

TEST_F(CabEngineTest, ReadOnlyFileIsReplacedBySecondRunWithoutAsking) {
    std::wstring out = dir_.File(L"out");
    {
        CCabDecompressor engine(nullptr, true);
        ASSERT_EQ(engine.ExtractCabinet(WriteCab({{"\\ro.txt", "one", 0x01}}), out), 0);
    }
    EXPECT_TRUE(::GetFileAttributesW((out + L"\\ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);

    EngineWindow window;
    CCabDecompressor engine(window.Handle(), true);
    ASSERT_EQ(engine.ExtractCabinet(WriteCab({{"\\ro.txt", "two", 0x01}}), out), 0) << engine.GetErrorText();
    EXPECT_EQ(ReadBytes(out + L"\\ro.txt"), "two");
    EXPECT_EQ(window.Questions, 0);
    EXPECT_TRUE(window.HasLine(L"Deleting file : %s", out + L"\\ro.txt"));
    EXPECT_TRUE(window.HasLine(L"Extracting file : %s", out + L"\\ro.txt"));
    EXPECT_TRUE(::GetFileAttributesW((out + L"\\ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
}

// A file of the same name in another letter case is the same file: it is
// deleted (or asked about) first; a new file is written with no such line.
TEST_F(CabEngineTest, OnlyAnExistingFileInAnyLetterCaseIsReplaced) {
    std::wstring out = dir_.File(L"out");
    std::vector<Entry> entries = {{"\\old.txt", "new"}, {"\\fresh.txt", "fresh"}};
    for (bool withoutAsking : {true, false}) {
        SCOPED_TRACE(withoutAsking ? "without asking" : "asking");
        ::CreateDirectoryW(out.c_str(), nullptr);
        WriteBytes(out + L"\\OLD.TXT", "old");
        ::DeleteFileW((out + L"\\fresh.txt").c_str());
        EngineWindow window;
        window.Answers = {OverwriteYes};
        CCabDecompressor engine(window.Handle(), withoutAsking);
        ASSERT_EQ(engine.ExtractCabinet(WriteCab(entries), out), 0) << engine.GetErrorText();

        EXPECT_EQ(ReadBytes(out + L"\\old.txt"), "new");
        EXPECT_EQ(ReadBytes(out + L"\\fresh.txt"), "fresh");
        EXPECT_EQ(window.Questions, withoutAsking ? 0 : 1);
        std::vector<std::wstring> lines;
        for (const auto& l : window.Lines()) lines.push_back(l.Message);
        const std::wstring extracting = withoutAsking ? L"Extracting file : " : L"Extracing file : ";
        EXPECT_EQ(lines, (std::vector<std::wstring>{L"Deleting file : " + out + L"\\old.txt",
                                                    extracting + out + L"\\old.txt",
                                                    extracting + out + L"\\fresh.txt"}));
        EXPECT_EQ(window.FilesDone(), 2);
        EXPECT_EQ(engine.GetLastSystemError(), 0u);
    }
}

// --- the overwrite question -------------------------------------------------------

struct OverwriteCase {
    const char* name;
    std::vector<int> answers;
    int code;
    int questions;
    const char* a;  // content of a.txt afterwards
    const char* b;
    const char* c;  // nullptr: not written
};

class CabOverwriteTest : public CabEngineTest, public testing::WithParamInterface<OverwriteCase> {};

TEST_P(CabOverwriteTest, AnswersDecide) {
    const OverwriteCase& t = GetParam();
    std::wstring out = dir_.File(L"out");
    ::CreateDirectoryW(out.c_str(), nullptr);
    WriteBytes(out + L"\\a.txt", "old a");
    WriteBytes(out + L"\\b.txt", "old b");

    EngineWindow window;
    window.Answers.assign(t.answers.begin(), t.answers.end());
    CCabDecompressor engine(window.Handle(), false);
    int code = engine.ExtractCabinet(WriteCab({{"\\a.txt", "new a"}, {"\\b.txt", "new b"}, {"\\c.txt", "new c"}}), out);

    EXPECT_EQ(code, t.code) << engine.GetErrorText();
    EXPECT_EQ(window.Questions, t.questions);
    EXPECT_EQ(ReadBytes(out + L"\\a.txt"), t.a);
    EXPECT_EQ(ReadBytes(out + L"\\b.txt"), t.b);
    if (t.c != nullptr) {
        EXPECT_EQ(ReadBytes(out + L"\\c.txt"), t.c);
    } else {
        EXPECT_FALSE(Exists(out + L"\\c.txt"));
    }
    if (code == 11) {
        EXPECT_EQ(engine.GetErrorText(), L"User aborted extraction");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, CabOverwriteTest,
    testing::Values(OverwriteCase{"No", {OverwriteNo, OverwriteNo}, 0, 2, "old a", "old b", "new c"},
                    OverwriteCase{"NoToAll", {OverwriteNoToAll}, 0, 1, "old a", "old b", "new c"},
                    OverwriteCase{"Yes", {OverwriteYes, OverwriteYes}, 0, 2, "new a", "new b", "new c"},
                    OverwriteCase{"YesToAll", {OverwriteYesToAll}, 0, 1, "new a", "new b", "new c"},
                    OverwriteCase{"YesThenNo", {OverwriteYes, OverwriteNo}, 0, 2, "new a", "old b", "new c"},
                    OverwriteCase{"Cancel", {OverwriteCancel}, 11, 1, "old a", "old b", nullptr}),
    [](const testing::TestParamInfo<OverwriteCase>& info) { return std::string(info.param.name); });

TEST_F(CabEngineTest, FileReplacedAfterYesKeepsItsWriteTime) {
    std::wstring out = dir_.File(L"out");
    ::CreateDirectoryW(out.c_str(), nullptr);
    WriteBytes(out + L"\\a.txt", "old");
    Entry a{"\\a.txt", "new"};

    EngineWindow window;
    window.Answers = {OverwriteYes};
    CCabDecompressor engine(window.Handle(), false);
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    ASSERT_EQ(engine.ExtractCabinet(WriteCab({a}), out), 0);

    ULONGLONG written = WriteTime(out + L"\\a.txt");
    ULONGLONG started = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    EXPECT_NE(written, StoredTime(a, false));
    EXPECT_GE(written + 20000000ULL, started);  // 2 s of slack for the file system's clock
    EXPECT_TRUE(window.HasLine(L"Extracing file : %s", out + L"\\a.txt"));
}

// --- questions about single cabinets -----------------------------------------------

TEST_F(CabEngineTest, SetIdOfPackageCabinet) {
    std::wstring cab = dir_.File(L"set.cab");
    WriteBytes(cab, MakeCabinet({{"\\a.txt", "x"}}, 777, 0));
    CCabDecompressor engine;
    EXPECT_EQ(engine.GetCabinetSetID(cab), 777);
    EXPECT_EQ(engine.GetCabinetSetID(dir_.File(L"missing.cab")), 65535);
    WriteBytes(cab, "");
    EXPECT_EQ(engine.GetCabinetSetID(cab), 65535);
}

struct ValidateCase {
    const wchar_t* name;
    uint16_t setId;
    uint16_t index;
    bool valid;
};

class CabValidateTest : public CabEngineTest, public testing::WithParamInterface<ValidateCase> {};

TEST_P(CabValidateTest, NameNumberAndSetMustMatch) {
    const ValidateCase& c = GetParam();
    std::wstring path = dir_.File(c.name);
    WriteBytes(path, MakeCabinet({{"\\a.txt", "x"}}, c.setId, c.index));
    EXPECT_EQ(CCabDecompressor().ValidateCabinetFile(path, 4242), c.valid);
}

INSTANTIATE_TEST_SUITE_P(Parts, CabValidateTest,
                         testing::Values(ValidateCase{L"Setup.003", 4242, 2, true},
                                         ValidateCase{L"Setup.004", 4242, 2, false},
                                         ValidateCase{L"Setup.abc", 4242, 2, false},
                                         ValidateCase{L"Setup.000", 4242, 0, false},
                                         ValidateCase{L"Setup.001", 4241, 0, false},
                                         ValidateCase{L"Setup.001", 4242, 0, true}));

}  // namespace

namespace {

// A second engine used while another extracts (the part checks make
// temporary ones) must not take over the running engine's callbacks.
TEST_F(CabEngineTest, AnotherEngineDuringAnExtractionLeavesItsCallbacksAlone) {
    std::wstring out = dir_.File(L"out");
    ::CreateDirectoryW(out.c_str(), nullptr);
    WriteBytes(out + L"\\a.txt", "old a");
    std::wstring other = dir_.File(L"other.cab");
    WriteBytes(other, MakeCabinet({{"\\x.txt", "x"}}, 77));
    EngineWindow window;
    window.Answers = {OverwriteYes};
    USHORT seen = 0;
    window.OnQuestion = [&] {
        CCabDecompressor temporary;
        seen = temporary.GetCabinetSetID(other);
    };
    CCabDecompressor engine(window.Handle(), false);
    ASSERT_EQ(engine.ExtractCabinet(WriteCab({{"\\a.txt", "new a"}, {"\\b.txt", "new b"}}), out), 0)
        << engine.GetErrorText();
    EXPECT_EQ(seen, 77);
    EXPECT_EQ(ReadBytes(out + L"\\a.txt"), "new a");
    EXPECT_EQ(ReadBytes(out + L"\\b.txt"), "new b");
}

// Paused inside a file (here from the overwrite question, so that the file
// is open), the engine waits before its next written block; a cancel then
// stops the decoder inside the file and is reported as the user's abort.
TEST_F(CabEngineTest, PauseHoldsAFileAndCancelStopsItInside) {
    const std::string big(2 << 20, 'z');
    std::wstring cab = WriteCab({{"\\big.bin", big}, {"\\after.txt", "after"}});
    std::wstring out = dir_.File(L"out");
    ::CreateDirectoryW(out.c_str(), nullptr);
    WriteBytes(out + L"\\big.bin", "old");
    std::atomic<bool> asked{false};
    int code = -100;
    std::wstring text;
    std::thread worker([&] {
        EngineWindow window;
        window.Answers = {OverwriteYes};
        window.OnQuestion = [&] {
            ExtractionPause.Pause();
            asked = true;
        };
        CCabDecompressor engine(window.Handle(), false);
        code = engine.ExtractCabinet(cab, out);
        text = engine.GetErrorText();
    });
    for (int i = 0; i < 500 && !asked; ++i) ::Sleep(10);
    ::Sleep(300);
    EXPECT_EQ(ReadBytes(out + L"\\big.bin"), "") << "written while paused";
    RequestExtractionCancel();
    worker.join();
    CancelRequested = 0;
    EXPECT_EQ(code, 11);
    EXPECT_EQ(text, L"User aborted extraction");
    EXPECT_LT(ReadBytes(out + L"\\big.bin").size(), big.size());
    EXPECT_FALSE(Exists(out + L"\\after.txt"));
}

}  // namespace
