#include "cabinet/MultiPart.h"

#include "cab_test_support.h"
#include "cabinet/CabDecompressor.h"
#include "test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing::ElementsAre;
using zel_test::TempDir;
using zel_test::WriteBytes;

namespace {

constexpr uint16_t kSet = 4242;

// --- the file hash ------------------------------------------------------------

struct HashCase {
    std::string content;
    const wchar_t* hash;
};

class PartHashTest : public testing::TestWithParam<HashCase> {};

TEST_P(PartHashTest, FirstSixteenBytesOfSha1InLowerCase) {
    TempDir dir;
    WriteBytes(dir.File(L"f"), GetParam().content);
    FileHashResult result = ComputeFileHash(dir.File(L"f"));
    ASSERT_TRUE(result.Ok) << std::string(result.FailureText.begin(), result.FailureText.end());
    EXPECT_EQ(result.Error, 0u);
    EXPECT_EQ(result.Hash, GetParam().hash);
}

INSTANTIATE_TEST_SUITE_P(Vectors, PartHashTest,
                         testing::Values(HashCase{"", L"da39a3ee5e6b4b0d3255bfef95601890"},
                                         HashCase{"abc", L"a9993e364706816aba3e25717850c26c"},
                                         // more than one 1024-byte piece
                                         HashCase{std::string(1500, 'a'), L"c520e6109835c876fd98636efec43dd6"}));

TEST(PartHash, MissingFileGivesOpenErrorAndText) {
    TempDir dir;
    FileHashResult result = ComputeFileHash(dir.File(L"none"));
    EXPECT_FALSE(result.Ok);
    EXPECT_EQ(result.Error, DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(result.FailureText, L"Error opening file " + dir.File(L"none"));
}

// --- finding and checking the parts -----------------------------------------------

// A package folder: the executable's path, its settings file and part files.
class MultiPartTest : public testing::Test {
protected:
    void SetUp() override { cab_test::ResetEngineState(); }
    void TearDown() override { cab_test::ResetEngineState(); }

    std::wstring SettingsPath() const { return dir_.File(L"Properties_Tavo.ini"); }
    CMultiPartValidator Validator(const std::wstring& exePath, uint16_t setId = kSet) const {
        return CMultiPartValidator(SettingsPath(), setId, exePath);
    }

    std::wstring Folder() const { return folder_.empty() ? dir_.Path() : folder_; }

    // parts: for each part its set number and position; listed: entries of [PartFileIno].
    void MakePackage(const std::wstring& base, const std::vector<std::pair<uint16_t, uint16_t>>& parts,
                     int listed, const std::vector<int>& missing = {}) {
        std::wstring partSection = L"[PartFileIno]\r\n", hashSection = L"[HashCode]\r\n";
        for (size_t i = 0; i < parts.size(); ++i) {
            wchar_t number[8];
            swprintf(number, 8, L"%03d", int(i + 1));
            std::wstring path = Folder() + base + L"." + number;
            WriteBytes(path, cab_test::MakeCabinet({{"\\f" + std::to_string(i) + ".txt", "part"}}, parts[i].first,
                                                   parts[i].second));
            hashSection += std::wstring(number) + L"=" + ComputeFileHash(path).Hash + L"\r\n";
            if (int(i) < listed) partSection += std::wstring(number) + L"=" + base + L"." + number + L"\r\n";
            paths_.push_back(path);
        }
        for (int n : missing) ::DeleteFileW(paths_[n - 1].c_str());
        hashText_ = hashSection;
        WriteSettings(L"[Package]\r\nMultipartFileName=" + base + L"\r\n" + partSection + hashSection);
    }
    void WriteSettings(const std::wstring& text) { zel_test::WriteUtf16File(SettingsPath(), text); }

    TempDir dir_;
    std::wstring folder_;
    std::vector<std::wstring> paths_;
    std::wstring hashText_;
};

TEST_F(MultiPartTest, FirstPartByPackageBaseName) {
    MakePackage(L"Setup", {{kSet, 0}}, 1);
    CMultiPartValidator validator = Validator(dir_.File(L"Installer.exe"));
    std::wstring failed;
    std::list<std::wstring> messages;
    EXPECT_EQ(validator.GetValidPartName(failed, messages), dir_.File(L"Setup.001"));
    EXPECT_EQ(validator.GetPartNameTemplate(), L"Setup.%03d");
    EXPECT_EQ(validator.GetFirstPartName(), L"Setup.001");
    EXPECT_EQ(validator.GetPartName(12), L"Setup.012");
    EXPECT_TRUE(messages.empty());
}

TEST_F(MultiPartTest, FirstPartByExecutableNameWhenBaseNameFails) {
    // Setup.001 is of another set; the executable "Renamed1.exe" gives "Renamed".
    MakePackage(L"Setup", {{kSet + 1, 0}}, 1);
    WriteBytes(dir_.File(L"Renamed.001"), cab_test::MakeCabinet({{"\\a", "x"}}, kSet + 1, 0));
    CMultiPartValidator validator = Validator(dir_.File(L"Renamed1.exe"));
    std::wstring failed;
    std::list<std::wstring> messages;
    EXPECT_EQ(validator.GetValidPartName(failed, messages), dir_.File(L"Renamed.001"));
    EXPECT_EQ(validator.GetFirstPartName(), L"Renamed.001");
    EXPECT_EQ(validator.GetPartNameTemplate(), L"Renamed.%03d");
    EXPECT_TRUE(messages.empty());

    // Without a set number of the package the second naming is not taken.
    validator = Validator(dir_.File(L"Renamed1.exe"), 0);
    EXPECT_EQ(validator.GetValidPartName(failed, messages), L"");
    EXPECT_EQ(failed, dir_.File(L"Setup.001"));
    EXPECT_THAT(messages, ElementsAre(L"Multi part File not found : " + dir_.File(L"Setup.001")));
    EXPECT_EQ(validator.GetFirstPartName(), L"");
}

TEST_F(MultiPartTest, NoListedPartIsValidAtOnce) {
    MakePackage(L"Setup", {{kSet, 0}}, 0);
    std::wstring failed;
    std::list<std::wstring> messages;
    EXPECT_EQ(Validator(dir_.File(L"Setup.exe")).ValidateParts(failed, messages), PartsValid);
    EXPECT_TRUE(messages.empty());
}

TEST_F(MultiPartTest, MessagesOfAGoodPartNewestFirst) {
    MakePackage(L"Setup", {{kSet, 0}}, 1);
    std::wstring failed;
    std::list<std::wstring> messages;
    EXPECT_EQ(Validator(dir_.File(L"Setup.exe")).ValidateParts(failed, messages), PartsValid);
    std::wstring p = dir_.File(L"Setup.001");
    EXPECT_THAT(messages, ElementsAre(L"Hash code for : " + p + L" is :" + ComputeFileHash(p).Hash,
                                      L"Validating cabinet : " + p));
}

TEST_F(MultiPartTest, MissingMiddlePartStillChecksTheRest) {
    MakePackage(L"Setup", {{kSet, 0}, {kSet, 1}, {kSet, 2}}, 3, {2});
    std::wstring failed;
    std::list<std::wstring> messages;
    EXPECT_EQ(Validator(dir_.File(L"Setup.exe")).ValidateParts(failed, messages), PartMissing);
    EXPECT_EQ(failed, paths_[1]);
    EXPECT_THAT(messages, testing::Contains(L"Multi part File not found : " + paths_[1]));
    EXPECT_EQ(messages.front().rfind(L"Hash code for : " + paths_[2], 0), 0u);
}

TEST_F(MultiPartTest, UpperCaseHashIsCorrupt) {
    MakePackage(L"Setup", {{kSet, 0}, {kSet, 1}}, 2);
    std::wstring upper = ComputeFileHash(paths_[1]).Hash;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
    WriteSettings(L"[Package]\r\nMultipartFileName=Setup\r\n[PartFileIno]\r\n001=a\r\n002=b\r\n[HashCode]\r\n001=" +
                  ComputeFileHash(paths_[0]).Hash + L"\r\n002=" + upper + L"\r\n");
    std::wstring failed;
    std::list<std::wstring> messages;
    EXPECT_EQ(Validator(dir_.File(L"Setup.exe")).ValidateParts(failed, messages), PartCorrupt);
    EXPECT_EQ(failed, paths_[1]);
    EXPECT_EQ(messages.front(), L"File is corrupt  : " + paths_[1]);
}

TEST_F(MultiPartTest, LaterFailureDecidesTheResult) {
    // The second part changed after hashing; the third is of another set.
    MakePackage(L"Setup", {{kSet, 0}, {kSet, 1}, {kSet + 7, 2}}, 3);
    WriteBytes(paths_[1], "changed");
    std::wstring failed;
    std::list<std::wstring> messages;
    EXPECT_EQ(Validator(dir_.File(L"Setup.exe")).ValidateParts(failed, messages), PartWrongCabinet);
    EXPECT_EQ(failed, paths_[2]);
    EXPECT_EQ(messages.front(), L"Could not get the file status of the file : " + paths_[2]);
    EXPECT_THAT(messages, testing::Contains(L"File is corrupt  : " + paths_[1]));
}

TEST_F(MultiPartTest, PartPathOf256CharactersCountsAsMissing) {
    for (size_t length : {size_t(255), size_t(256)}) {
        size_t pad = length - dir_.Path().size() - std::wstring(L"\\Setup.001").size();
        folder_ = dir_.Path() + std::wstring(pad, L'd') + L"\\";
        ::CreateDirectoryW(folder_.c_str(), nullptr);
        paths_.clear();
        MakePackage(L"Setup", {{kSet, 0}}, 1);
        ASSERT_EQ(paths_[0].size(), length);
        std::wstring failed;
        std::list<std::wstring> messages;
        int result = Validator(folder_ + L"Setup.exe").ValidateParts(failed, messages);
        EXPECT_EQ(result, length == 255 ? PartsValid : PartMissing) << length;
    }
}

// The parts of a set written by Wine's cabarc as pkg.001 to pkg.003 and then
// renamed: the next-cabinet names inside still say "pkg.00n".
TEST_F(MultiPartTest, RenamedSpanningSetIsValidatedAndExtracted) {
    std::wstring fixtures = cab_test::FixtureDir();
    if (fixtures.empty()) GTEST_SKIP() << "cab_fixtures.sh has not run";
    std::wstring hashes = L"[HashCode]\r\n", listed = L"[PartFileIno]\r\n";
    for (int n = 1; n <= 3; ++n) {
        std::wstring number = L"00" + std::to_wstring(n);
        std::wstring part = dir_.File(L"Setup." + number);
        ASSERT_TRUE(::CopyFileW((fixtures + L"span\\pkg." + number).c_str(), part.c_str(), FALSE));
        hashes += number + L"=" + ComputeFileHash(part).Hash + L"\r\n";
        listed += number + L"=x\r\n";
    }
    WriteSettings(L"[Package]\r\nMultipartFileName=Setup\r\n" + listed + hashes);

    CMultiPartValidator parts = Validator(dir_.File(L"Setup.exe"));
    std::wstring failed;
    std::list<std::wstring> messages;
    ASSERT_EQ(parts.ValidateParts(failed, messages), PartsValid);

    // Without the multi-part renaming the set's own names are not there.
    {
        CCabDecompressor engine(nullptr, true);
        EXPECT_NE(engine.ExtractCabinet(dir_.File(L"Setup.001"), dir_.File(L"plain")), 0);
    }
    CabinetJob job;
    job.SetId = kSet;
    job.MultiPart = true;
    job.FirstPartName = parts.GetFirstPartName();
    job.OverwriteWithoutAsking = true;
    CCabDecompressor engine(nullptr, std::move(job));
    ASSERT_EQ(engine.ExtractCabinet(dir_.File(L"Setup.001"), dir_.File(L"out")), 0)
        << engine.GetErrorText() << " at " << std::string(engine.GetCurrentCabinetName().begin(), engine.GetCurrentCabinetName().end());
    EXPECT_EQ(cab_test::Tree(dir_.File(L"out\\")), cab_test::Tree(fixtures + L"src\\"));
}

}  // namespace
