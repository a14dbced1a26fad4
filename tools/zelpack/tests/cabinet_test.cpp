#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sys/stat.h>
#include <utime.h>

#include "Cabinet.h"
#include "ContentTree.h"
#include "Hash.h"
#include "TestSupport.h"

namespace zelpack {
namespace {

using test::TempDir;

Bytes RandomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& c : b) c = uint8_t(rng());
    return b;
}

Bytes TextBytes(size_t n) {
    std::string s;
    for (int i = 0; s.size() < n; ++i) s += "line " + std::to_string(i) + " of some setup text\r\n";
    s.resize(n);
    return Bytes(s.begin(), s.end());
}

void SetTime(const std::filesystem::path& p, time_t t) {
    struct utimbuf u {t, t};
    ASSERT_EQ(::utime(p.c_str(), &u), 0);
}

// A tree with the shapes that break cabinet writers: an empty file, names with
// blanks and non-Latin letters, deep folders, incompressible data larger than
// a block, and a read-only file.
void MakeTree(const std::filesystem::path& root, size_t bigBytes) {
    test::WriteBytes(root / "setup.exe", RandomBytes(bigBytes, 1));
    test::WriteBytes(root / "readme file.txt", TextBytes(100000));
    test::WriteBytes(root / "empty.dat", {});
    test::WriteBytes(root / "Data/sub dir/deep/a.txt", TextBytes(10));
    test::WriteBytes(root / "Data/Ünïcödé ファイル.txt", TextBytes(70000));
    test::WriteBytes(root / "Data/exactblock.bin", RandomBytes(kCabBlockBytes, 2));
    test::WriteBytes(root / "Data/locked.ini", TextBytes(300));
    std::filesystem::permissions(root / "Data/locked.ini", std::filesystem::perms::owner_read |
                                                              std::filesystem::perms::group_read);
    time_t t = 1700000000;  // even seconds: DOS times keep two-second steps
    for (auto& e : std::filesystem::recursive_directory_iterator(root))
        if (e.is_regular_file()) SetTime(e.path(), t += 3600 * 24 * 7 + 2);
}

// Copies the cabinets with their signature set back, then extracts the first
// with cabextract (which follows the set) and compares the tree.
void ExpectCabextractGivesTree(const std::vector<CabinetWritten>& cabs, const std::filesystem::path& root,
                               const std::filesystem::path& work) {
    std::filesystem::create_directories(work / "std");
    for (const auto& c : cabs) {
        Bytes b = test::ReadBytes(c.path);
        ASSERT_EQ(std::string(b.begin(), b.begin() + 4), "TAVO");
        std::memcpy(b.data(), "MSCF", 4);
        test::WriteBytes(work / "std" / c.path.filename(), b);
    }
    std::string output;
    std::string first = (work / "std" / cabs[0].path.filename()).string();
    ASSERT_EQ(test::RunCommand("cabextract -t '" + first + "'", &output), 0) << output;
    ASSERT_EQ(test::RunCommand("cd '" + work.string() + "' && TZ=UTC cabextract -q -d out '" + first + "'", &output), 0)
        << output;
    size_t files = 0;
    for (auto& e : std::filesystem::recursive_directory_iterator(root)) {
        if (!e.is_regular_file()) continue;
        ++files;
        auto rel = e.path().lexically_relative(root);
        auto got = work / "out" / rel;
        SCOPED_TRACE(rel.string());
        ASSERT_TRUE(std::filesystem::exists(got));
        EXPECT_EQ(test::ReadBytes(got), test::ReadBytes(e.path()));
        struct stat a {}, b {};
        ::stat(e.path().c_str(), &a);
        ::stat(got.c_str(), &b);
        EXPECT_EQ(a.st_mtime, b.st_mtime);
        EXPECT_EQ(bool(a.st_mode & S_IWUSR), bool(b.st_mode & S_IWUSR));
    }
    size_t extracted = 0;
    for (auto& e : std::filesystem::recursive_directory_iterator(work / "out")) extracted += e.is_regular_file();
    EXPECT_EQ(extracted, files);
}

struct CabRun {
    TempDir dir;
    std::vector<CabEntry> entries;
    std::vector<CabinetWritten> cabs;
    CabOptions options;

    CabRun() {
        options.setId = 4242;
        options.threads = 2;
        options.spool = dir / "spool";
        options.cabinetName = [](unsigned i) {
            char n[32];
            std::snprintf(n, sizeof n, "Pkg.%03u", i + 1);
            return std::string(n);
        };
        options.cabinetPath = [this](unsigned i) { return dir / "cabs" / options.cabinetName(i); };
        std::filesystem::create_directories(dir / "cabs");
    }
    bool Write(std::string& error) {
        std::vector<std::string> warnings;
        if (!ScanContent(dir / "content", entries, warnings, error)) return false;
        return WriteCabinets(entries, options, cabs, error);
    }
};

TEST(Cabinet, SingleCabinetDecodesToTheSameTree) {
    CabRun run;
    MakeTree(run.dir / "content", 200000);
    std::string error;
    ASSERT_TRUE(run.Write(error)) << error;
    ASSERT_EQ(run.cabs.size(), 1u);
    EXPECT_EQ(run.cabs[0].size, std::filesystem::file_size(run.cabs[0].path));
    ExpectCabextractGivesTree(run.cabs, run.dir / "content", run.dir / "x");
    Bytes cab = test::ReadBytes(run.cabs[0].path);
    EXPECT_EQ(GetLe16(&cab[32]), 4242);
    EXPECT_EQ(GetLe16(&cab[30]), 0);  // neither previous nor next cabinet
}

TEST(Cabinet, ManyFoldersOnSeveralThreadsDecode) {
    CabRun run;
    run.options.folderTarget = 40000;
    run.options.threads = 3;
    MakeTree(run.dir / "content", 150000);
    std::string error;
    ASSERT_TRUE(run.Write(error)) << error;
    Bytes cab = test::ReadBytes(run.cabs[0].path);
    EXPECT_GT(GetLe16(&cab[26]), 3);  // folders
    ExpectCabextractGivesTree(run.cabs, run.dir / "content", run.dir / "x");
}

TEST(Cabinet, SetOfPartsWithSpanningFilesDecodes) {
    CabRun run;
    run.options.allowSet = true;
    run.options.maxCabinetBytes = 90000;
    MakeTree(run.dir / "content", 300000);
    std::string error;
    ASSERT_TRUE(run.Write(error)) << error;
    ASSERT_GE(run.cabs.size(), 4u);
    for (size_t i = 0; i < run.cabs.size(); ++i) {
        Bytes cab = test::ReadBytes(run.cabs[i].path);
        EXPECT_LE(cab.size(), 90000u);
        EXPECT_EQ(GetLe16(&cab[32]), 4242);
        EXPECT_EQ(GetLe16(&cab[34]), i);
        Sha1 sha;
        sha.Update(cab.data(), cab.size());
        EXPECT_EQ(run.cabs[i].sha1, ToHex(sha.Finish()));
    }
    // The big incompressible file must run across at least two cabinets.
    Bytes second = test::ReadBytes(run.cabs[1].path);
    bool continued = false;
    size_t at = GetLe32(&second[16]);
    for (unsigned f = 0; f < GetLe16(&second[28]); ++f) {
        continued |= GetLe16(&second[at + 8]) >= 0xFFFD;
        at += 16;
        while (second[at]) ++at;
        ++at;
    }
    EXPECT_TRUE(continued);
    ExpectCabextractGivesTree(run.cabs, run.dir / "content", run.dir / "x");
}

TEST(Cabinet, TooBigForOneCabinetAdvisesParts) {
    CabRun run;
    run.options.maxCabinetBytes = 50000;
    MakeTree(run.dir / "content", 100000);
    std::string error;
    EXPECT_FALSE(run.Write(error));
    EXPECT_NE(error.find("MultiPartDownload"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(run.dir / "cabs/Pkg.001"));
}

TEST(Cabinet, OnlyEmptyFilesStillDecode) {
    CabRun run;
    test::WriteBytes(run.dir / "content/a.txt", {});
    test::WriteBytes(run.dir / "content/b/c.txt", {});
    SetTime(run.dir / "content/a.txt", 1700000000);
    SetTime(run.dir / "content/b/c.txt", 1700000000);
    std::string error;
    ASSERT_TRUE(run.Write(error)) << error;
    ExpectCabextractGivesTree(run.cabs, run.dir / "content", run.dir / "x");
}

TEST(Cabinet, ChecksumMatchesTheFormatsWordOrder) {
    const uint8_t data[] = {1, 2, 3, 4, 5, 6, 7};
    // Whole words little-endian, the tail with its first byte highest.
    EXPECT_EQ(CabChecksum(data, 7, 0), 0x04030201u ^ 0x00050607u);
    EXPECT_EQ(CabChecksum(data, 4, 0x11111111u), 0x04030201u ^ 0x11111111u);
}

TEST(Cabinet, DosTimesAreUtcAndClamped) {
    uint16_t d, t;
    ToDosDateTime(1700000000, d, t);  // 2023-11-14 22:13:20 UTC
    EXPECT_EQ(d, ((2023 - 1980) << 9) | (11 << 5) | 14);
    EXPECT_EQ(t, (22 << 11) | (13 << 5) | 10);
    ToDosDateTime(0, d, t);
    EXPECT_EQ(d, (1 << 5) | 1);
    EXPECT_EQ(t, 0);
}

TEST(ContentNames, WindowsRefusesThese) {
    for (const char* bad : {"a:b", "x?", "con", "NUL.txt", "trail.", "trail ", "q\"t", "t\tab"})
        EXPECT_FALSE(CheckWindowsName(bad).empty()) << bad;
    for (const char* good : {"a b.txt", "ファイル", "console.txt", ".hidden"})
        EXPECT_TRUE(CheckWindowsName(good).empty()) << good;
}

}  // namespace
}  // namespace zelpack

namespace zelpack {
namespace {

TEST(Cabinet, FilesThatChangeOrVanishWhilePackingAreErrors) {
    struct Case {
        const char* what;
        int64_t sizeDelta;  // recorded size minus real size
        bool remove;
        const char* message;
    } cases[] = {
        {"shrank", 10, false, "became shorter"},
        {"grew", -10, false, "grew"},
        {"vanished", 0, true, "cannot read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CabRun run;
        test::WriteBytes(run.dir / "content/a.bin", RandomBytes(50000, 5));
        std::vector<std::string> warnings;
        std::string error;
        ASSERT_TRUE(ScanContent(run.dir / "content", run.entries, warnings, error)) << error;
        run.entries[0].size = uint64_t(int64_t(run.entries[0].size) + c.sizeDelta);
        if (c.remove) std::filesystem::remove(run.dir / "content/a.bin");
        EXPECT_FALSE(WriteCabinets(run.entries, run.options, run.cabs, error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_TRUE(std::filesystem::is_empty(run.dir / "cabs"));
        EXPECT_FALSE(std::filesystem::exists(run.options.spool));
    }
}

}  // namespace
}  // namespace zelpack
