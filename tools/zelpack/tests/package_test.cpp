#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <utime.h>

#include "Cli.h"
#include "Container.h"
#include "Password.h"
#include "SettingsText.h"
#include "PackageFixture.h"
#include "TestSupport.h"

namespace zelpack {
namespace {

using test::TempDir;

void ExpectTreeFromCabinets(const std::vector<std::filesystem::path>& cabs, const std::filesystem::path& content,
                            const std::filesystem::path& work) {
    std::filesystem::create_directories(work);
    for (const auto& c : cabs) {
        Bytes b = test::ReadBytes(c);
        ASSERT_EQ(std::memcmp(b.data(), "TAVO", 4), 0);
        std::memcpy(b.data(), "MSCF", 4);
        test::WriteBytes(work / c.filename(), b);
    }
    std::string output;
    ASSERT_EQ(test::RunCommand("cd '" + work.string() + "' && TZ=UTC cabextract -q -d tree '" +
                               cabs[0].filename().string() + "'", &output), 0) << output;
    size_t files = 0;
    for (auto& e : std::filesystem::recursive_directory_iterator(content)) {
        if (!e.is_regular_file()) continue;
        ++files;
        auto got = work / "tree" / e.path().lexically_relative(content);
        ASSERT_TRUE(std::filesystem::exists(got)) << got;
        EXPECT_EQ(test::ReadBytes(got), test::ReadBytes(e.path())) << got;
        EXPECT_EQ(std::filesystem::last_write_time(got), std::filesystem::last_write_time(e.path())) << got;
    }
    size_t extracted = 0;
    for (auto& e : std::filesystem::recursive_directory_iterator(work / "tree")) extracted += e.is_regular_file();
    EXPECT_EQ(extracted, files);
}

TEST(Package, SingleFilePackageCarriesSettingsAndCabinet) {
    PackageFolder p;
    Bytes source = test::ReadBytes(p.root / "Properties_Tavo.ini");
    std::string err;
    ASSERT_EQ(p.Build({}, &err), kExitOk) << err;
    PackageInfo info;
    std::string error;
    ASSERT_TRUE(InspectPackage(p.out, info, error)) << error;
    std::vector<std::string> names;
    for (const auto& r : info.records) names.push_back(r.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Properties_Tavo.ini", "Default1033.ulf", "top.bmp", "WebCab1"}));

    Bytes ini = p.Record("Properties_Tavo.ini");
    ASSERT_GE(ini.size(), 2u);
    EXPECT_EQ(ini[0], 0xFF);
    EXPECT_EQ(ini[1], 0xFE);
    std::string asText(ini.begin(), ini.end());
    EXPECT_NE(asText.find(std::string("\r\0\n\0", 4)), std::string::npos);
    SettingsText s = p.Settings();
    Bytes cab = p.Record("WebCab1");
    EXPECT_EQ(s.Get("Size", "CabSize"), std::to_string(cab.size()));
    uint64_t need = 0;  // each file rounded up to 4 KiB clusters
    for (auto& e : std::filesystem::recursive_directory_iterator(p.root / "content"))
        if (e.is_regular_file()) need += (e.file_size() + 4095) / 4096 * 4096;
    EXPECT_EQ(s.Get("Size", "PackageSize"), std::to_string(need));
    EXPECT_EQ(s.Get("FileCount", "Count"), "4");
    EXPECT_EQ(s.Get("Tavo", "GUID2"), std::to_string(GetLe16(&cab[32])));
    EXPECT_EQ(s.Get("Package", "Name"), "Demo");
    EXPECT_EQ(test::ReadBytes(p.root / "Properties_Tavo.ini"), source);  // the author's file is untouched

    test::WriteBytes(p.dir / "cab/WebCab1", cab);
    ExpectTreeFromCabinets({p.dir / "cab/WebCab1"}, p.root / "content", p.dir / "x");
    EXPECT_FALSE(std::filesystem::exists(p.out.string() + ".zelpack-cab"));
}

TEST(Package, AuthorsOwnValuesAreKept) {
    PackageFolder p("[Size]\nPackageSize=123\n[Tavo]\nGUID2=70000\n[FileCount]\nCount=\n");
    ASSERT_EQ(p.Build(), kExitOk);
    SettingsText s = p.Settings();
    EXPECT_EQ(s.Get("Size", "PackageSize"), "123");
    EXPECT_EQ(s.Get("Tavo", "GUID2"), "70000");
    EXPECT_EQ(s.Get("FileCount", "Count"), "4");  // an empty value counts as unset
    Bytes cab = p.Record("WebCab1");
    EXPECT_EQ(GetLe16(&cab[32]), 70000 & 0xFFFF);  // the stub keeps the low 16 bits
}

TEST(Package, SettingsEncodingsAndLineEndingsAllGiveTheSameRecord) {
    const std::string text = "[Package]\nName=D\xC3\xA9mo\n[Runtime]\nMode=silent\n";
    auto withEnding = [&](const std::string& eol) {
        std::string t;
        for (char c : text) t += c == '\n' ? eol : std::string(1, c);
        return t;
    };
    auto utf16 = [](const std::string& utf8, bool bigEndian, bool bom) {
        std::u16string w;
        Utf8ToUtf16(utf8, w);
        Bytes b;
        if (bom) b = bigEndian ? Bytes{0xFE, 0xFF} : Bytes{0xFF, 0xFE};
        for (char16_t c : w) {
            if (bigEndian) { b.push_back(uint8_t(c >> 8)); b.push_back(uint8_t(c)); }
            else AppendLe16(b, uint16_t(c));
        }
        return b;
    };
    std::vector<std::pair<std::string, Bytes>> cases = {
        {"utf8 lf", Bytes(text.begin(), text.end())},
        {"utf8 bom crlf", [&] { std::string t = "\xEF\xBB\xBF" + withEnding("\r\n"); return Bytes(t.begin(), t.end()); }()},
        {"utf8 cr", [&] { std::string t = withEnding("\r"); return Bytes(t.begin(), t.end()); }()},
        {"utf16le bom crlf", utf16(withEnding("\r\n"), false, true)},
        {"utf16le no bom lf", utf16(text, false, false)},
        {"utf16be bom", utf16(withEnding("\r\n"), true, true)},
    };
    std::optional<Bytes> first;
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        PackageFolder p("");
        test::WriteBytes(p.root / "Properties_Tavo.ini", bytes);
        std::string err;
        ASSERT_EQ(p.Build({}, &err), kExitOk) << err;
        Bytes record = p.Record("Properties_Tavo.ini");
        if (!first) first = record;
        EXPECT_EQ(record, *first);
        EXPECT_EQ(p.Settings().Get("Package", "Name"), "D\xC3\xA9mo");
    }
    PackageFolder bad("");
    test::WriteBytes(bad.root / "Properties_Tavo.ini", {'[', 0xC3, 0x28, ']'});
    std::string err;
    EXPECT_EQ(bad.Build({}, &err), kExitFailed);
    EXPECT_NE(err.find("neither UTF-8 nor UTF-16"), std::string::npos) << err;
}

TEST(Package, MultiPartPackageWritesHashedPartsThatDecodeAsASet) {
    PackageFolder p("[Package]\nMultiPartDownload=1\nMultipartFileName=Setup\n[PartFileIno]\n009=stale\n");
    std::string err;
    ASSERT_EQ(p.Build({"--part-size", "30K"}, &err), kExitOk) << err;
    PackageInfo info;
    std::string error;
    ASSERT_TRUE(InspectPackage(p.out, info, error)) << error;
    for (const auto& r : info.records) EXPECT_EQ(r.kind, kKindSettings) << r.name;
    SettingsText s = p.Settings();
    std::vector<std::filesystem::path> parts;
    for (int n = 1;; ++n) {
        char key[16];
        std::snprintf(key, sizeof key, "%03d", n);
        auto size = s.Get("PartFileIno", key);
        if (!size) break;
        auto part = p.out.parent_path() / ("Setup." + std::string(key));
        ASSERT_TRUE(std::filesystem::exists(part));
        EXPECT_EQ(*size, std::to_string(std::filesystem::file_size(part)));
        EXPECT_LE(std::filesystem::file_size(part), 30u * 1024);
        std::string sum;
        ASSERT_EQ(test::RunCommand("sha1sum '" + part.string() + "'", &sum), 0);
        EXPECT_EQ(s.Get("HashCode", key), sum.substr(0, 32));
        parts.push_back(part);
    }
    EXPECT_GE(parts.size(), 3u);
    EXPECT_FALSE(s.Get("PartFileIno", "009"));
    EXPECT_FALSE(std::filesystem::exists(p.out.parent_path() / ("Setup." + std::string("00") +
                                                                std::to_string(parts.size() + 1))));
    uint64_t total = 0;
    for (const auto& part : parts) total += std::filesystem::file_size(part);
    EXPECT_EQ(s.Get("Size", "CabSize"), std::to_string(total));
    ExpectTreeFromCabinets(parts, p.root / "content", p.dir / "x");
}

// Two builds, the second in another time zone and with the wall clock a
// minute on (the preloaded clock_shift library): nothing of the build
// machine's zone or clock may reach the package.
TEST(Package, BuildsAreIdenticalAcrossTimeZonesAndAMinuteApart) {
    const char* exe = std::getenv("ZELPACK_EXE");
    if (!exe || !*exe) GTEST_SKIP() << "ZELPACK_EXE (set by ctest) names the zelpack program";
    const char* shift = std::getenv("ZELPACK_CLOCK_SHIFT_LIB");
    std::string later;
    if (shift && *shift) {
        later = std::string("LD_PRELOAD='") + shift + "' ZELPACK_CLOCK_SHIFT=61 ";
        std::string now, moved;
        ASSERT_EQ(test::RunCommand("date +%s", &now), 0);
        ASSERT_EQ(test::RunCommand(later + "date +%s", &moved), 0);
        ASSERT_GE(std::stol(moved) - std::stol(now), 60) << "the clock shift did not take";
    }
    PackageFolder p;
    std::string out;
    std::string common = std::string(exe) + " build '" + p.root.string() + "' --stub '" + p.stub.string() + "' -q -o ";
    ASSERT_EQ(test::RunCommand("TZ=UTC " + common + "'" + (p.dir / "utc.exe").string() + "'", &out), 0) << out;
    ASSERT_EQ(test::RunCommand(later + "TZ=Asia/Tokyo " + common + "'" + (p.dir / "tokyo.exe").string() + "'", &out), 0)
        << out;
    EXPECT_EQ(test::ReadBytes(p.dir / "utc.exe"), test::ReadBytes(p.dir / "tokyo.exe"));
    if (later.empty()) GTEST_SKIP() << "time zones compared; ZELPACK_CLOCK_SHIFT_LIB (set by ctest) moves the clock";
}

// The stub's decoding, written out independently of the scrambler.
std::string Decode(const std::string& stored, int n) {
    std::string out;
    for (unsigned char c : stored) out.push_back(char(int(c) - 32 < n ? c - n + 95 : c - n));
    return out;
}

TEST(Password, ScrambledPasswordDecodesAndSurvivesTheProfileReader) {
    PackageFolder p;
    std::string err;
    ASSERT_EQ(p.Build({"--password", "Open Sesame~ 1"}, &err), kExitOk) << err;
    SettingsText s = p.Settings();
    EXPECT_EQ(s.Get("Runtime", "ExtractPasswordRequired"), "1");
    int n = std::stoi(*s.Get("Temporary", "Number"));
    EXPECT_GE(n, 1);
    EXPECT_LE(n, 94);
    EXPECT_EQ(Decode(*s.Get("Runtime", "ExtractionPassword"), n), "Open Sesame~ 1");

    // Every printable character at either end: never a blank or quotes at the ends.
    for (int c = 32; c < 127; ++c) {
        std::string pw = std::string(1, char(c)) + "x" + std::string(1, char(c));
        int shift = ChooseShift(pw);
        std::string stored = ScramblePassword(pw, shift);
        EXPECT_EQ(Trim(stored), stored) << pw;
        EXPECT_FALSE(stored.front() == stored.back() && (stored.front() == '"' || stored.front() == '\'')) << pw;
        EXPECT_EQ(Decode(stored, shift), pw);
    }
}

TEST(Password, UnusablePasswordsAreRefused) {
    for (std::string pw : {std::string("caf\xC3\xA9"), std::string("tab\there"), std::string(51, 'a'), std::string()}) {
        PackageFolder p;
        std::string err;
        EXPECT_EQ(p.Build({"--password", pw}, &err), kExitFailed) << pw;
        EXPECT_NE(err.find("password"), std::string::npos) << err;
        EXPECT_FALSE(std::filesystem::exists(p.out));
    }
    PackageFolder p;
    setenv("ZELPACK_TEST_PW", "fromenv", 1);
    ASSERT_EQ(p.Build({"--password-env", "ZELPACK_TEST_PW"}), kExitOk);
    SettingsText s = p.Settings();
    EXPECT_EQ(Decode(*s.Get("Runtime", "ExtractionPassword"), std::stoi(*s.Get("Temporary", "Number"))), "fromenv");
}

TEST(Package, BadFoldersGiveAClearErrorAndNoOutput) {
    struct Case {
        const char* what;
        std::function<void(PackageFolder&)> change;
        const char* message;
    } cases[] = {
        {"missing image", [](PackageFolder& p) { std::filesystem::remove(p.root / "top.bmp"); }, "TopImage names top.bmp"},
        {"missing setup", [](PackageFolder& p) { std::filesystem::remove(p.root / "content/bin/setup.exe"); },
         "AutoLaunch names bin\\setup.exe"},
        {"missing license",
         [](PackageFolder& p) { test::WriteText(p.root / "Properties_Tavo.ini", "[LicenseFiles]\n1033=eula.rtf\n"); },
         "eula.rtf"},
        {"no settings file", [](PackageFolder& p) { std::filesystem::remove(p.root / "Properties_Tavo.ini"); },
         "no Properties_Tavo.ini"},
        {"empty content", [](PackageFolder& p) {
             std::filesystem::remove_all(p.root / "content");
             std::filesystem::create_directories(p.root / "content");
         }, "content/ holds no files"},
        {"name Windows refuses", [](PackageFolder& p) { test::WriteText(p.root / "content/a:b.txt", "x"); },
         "a:b.txt"},
        {"names equal without case",
         [](PackageFolder& p) { test::WriteText(p.root / "content/DATA/Big File.bin", "x"); }, "Windows sees as one"},
        {"path too long", [](PackageFolder& p) {
             test::WriteText(p.root / "content" / std::string(200, 'd') / std::string(60, 'f'), "x");
         }, "too long"},
        {"parts without multi-part", [](PackageFolder&) {}, "--part-size needs a multi-part package"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PackageFolder p;
        c.change(p);
        std::string err;
        std::vector<std::string> extra;
        if (std::string(c.what) == "parts without multi-part") extra = {"--part-size", "1M"};
        EXPECT_EQ(p.Build(extra, &err), kExitFailed);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        size_t left = 0;
        if (std::filesystem::exists(p.dir / "out"))
            for (auto& e : std::filesystem::directory_iterator(p.dir / "out")) left += 1 + 0 * e.is_regular_file();
        EXPECT_EQ(left, 0u);
    }
}

TEST(Package, ReadOnlyOutputFolderLeavesNothingBehind) {
    PackageFolder p("[Package]\nMultiPartDownload=1\nMultipartFileName=Setup\n");
    // Root writes into 0555 folders; an immutable folder stops it too.
    if (test::RunCommand("chattr +i '" + p.out.parent_path().string() + "'") != 0)
        GTEST_SKIP() << "chattr +i is not available here";
    std::string err;
    int rc = p.Build({"--part-size", "30K"}, &err);
    test::RunCommand("chattr -i '" + p.out.parent_path().string() + "'");
    EXPECT_EQ(rc, kExitFailed);
    EXPECT_NE(err.find("cannot write"), std::string::npos) << err;
    EXPECT_TRUE(std::filesystem::is_empty(p.out.parent_path()));
}

TEST(Package, EmptyAndZeroByteInputsStillMakeAPackage) {
    PackageFolder p("");
    test::WriteBytes(p.root / "Properties_Tavo.ini", {});
    test::WriteBytes(p.root / "blank.ulf", {});
    std::string err;
    ASSERT_EQ(p.Build({}, &err), kExitOk) << err;
    EXPECT_EQ(p.Record("blank.ulf").size(), 0u);
    EXPECT_EQ(p.Settings().Get("FileCount", "Count"), "4");
}

}  // namespace
}  // namespace zelpack
