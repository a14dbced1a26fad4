// The platform's own cabinet decoder (Wine's FDI) must read what we write,
// walking a set the way the stub's engine does.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sys/stat.h>
#include <utime.h>

#include "Cabinet.h"
#include "ContentTree.h"
#include "TestSupport.h"

namespace zelpack {
namespace {

struct WineSetup {
    std::string fdiExe, wineRun, prefix;
    std::filesystem::path repo, work;
    bool Load() {
        auto get = [](const char* name) {
            const char* v = std::getenv(name);
            return std::string(v ? v : "");
        };
        fdiExe = get("ZELPACK_FDI_EXE");
        wineRun = get("ZELPACK_WINE_RUN");
        prefix = get("ZELPACK_WINEPREFIX");
        repo = get("ZELPACK_REPO_ROOT");
        work = get("ZELPACK_WINE_WORK");
        return !fdiExe.empty() && std::filesystem::exists(fdiExe) && !wineRun.empty() && !repo.empty() &&
               !work.empty();
    }
    // The repository is drive S: inside the prefix.
    std::string WinPath(const std::filesystem::path& p) const {
        std::string rel = std::filesystem::weakly_canonical(p).lexically_relative(std::filesystem::weakly_canonical(repo)).string();
        for (char& c : rel)
            if (c == '/') c = '\\';
        return "S:\\" + rel;
    }
};

void SetTime(const std::filesystem::path& p, time_t t) {
    struct utimbuf u {t, t};
    ::utime(p.c_str(), &u);
}

void MakeTree(const std::filesystem::path& root) {
    std::mt19937 rng(3);
    Bytes noise(150000);
    for (auto& c : noise) c = uint8_t(rng());
    test::WriteBytes(root / "bin/setup.exe", noise);
    std::string text;
    for (int i = 0; i < 4000; ++i) text += "row " + std::to_string(i) + "\r\n";
    test::WriteText(root / "Docs/read me.txt", text);
    test::WriteText(root / "Docs/Ünïcödé ファイル.txt", "hello");
    test::WriteBytes(root / "empty.txt", {});
    test::WriteText(root / "locked.ini", "[x]\r\n");
    std::filesystem::permissions(root / "locked.ini",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    time_t t = 1650000000;
    for (auto& e : std::filesystem::recursive_directory_iterator(root))
        if (e.is_regular_file()) SetTime(e.path(), t += 7 * 86400);
}

void ExpectFdiGivesTree(const WineSetup& w, const std::vector<CabEntry>& entries, const CabOptions& base,
                        bool set, const std::string& name) {
    std::filesystem::path dir = w.work / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "cabs");
    CabOptions options = base;
    options.allowSet = set;
    if (set) options.maxCabinetBytes = 40000;
    options.cabinetName = [name](unsigned i) {
        char n[32];
        std::snprintf(n, sizeof n, "%s.%03u", name.c_str(), i + 1);
        return std::string(n);
    };
    options.cabinetPath = [dir, options](unsigned i) { return dir / options.cabinetName(i); };
    options.spool = dir / "spool";
    std::vector<CabinetWritten> cabs;
    std::string error;
    ASSERT_TRUE(WriteCabinets(entries, options, cabs, error)) << error;
    if (set) {
        EXPECT_GE(cabs.size(), 3u);
    }
    for (const auto& c : cabs) {
        Bytes b = test::ReadBytes(c.path);
        std::memcpy(b.data(), "MSCF", 4);
        test::WriteBytes(dir / "cabs" / c.path.filename(), b);
    }
    std::string output;
    std::string command = "'" + w.wineRun + "' --prefix '" + w.prefix + "' '" + w.WinPath(w.fdiExe) + "' '" +
                          w.WinPath(dir / "cabs") + "\\' '" + cabs[0].path.filename().string() + "' '" +
                          w.WinPath(dir / "out") + "'";
    ASSERT_EQ(test::RunCommand(command, &output), 0) << command << "\n" << output;
    for (const CabEntry& e : entries) {
        std::string rel = e.storedName.substr(1);
        for (char& c : rel)
            if (c == '\\') c = '/';
        auto got = dir / "out" / rel;
        SCOPED_TRACE(rel);
        ASSERT_TRUE(std::filesystem::exists(got)) << output;
        EXPECT_EQ(test::ReadBytes(got), test::ReadBytes(e.source));
        EXPECT_EQ(std::filesystem::last_write_time(got), std::filesystem::last_write_time(e.source));
    }
    std::filesystem::remove_all(dir);
}

TEST(WineFdi, ExtractsSingleCabinetsAndSpanningSets) {
    WineSetup w;
    if (!w.Load()) GTEST_SKIP() << "needs the mingw-built FDI helper, Wine and a build folder inside the repository";
    std::filesystem::remove_all(w.work);
    MakeTree(w.work / "content");
    std::vector<CabEntry> entries;
    std::vector<std::string> warnings;
    std::string error;
    ASSERT_TRUE(ScanContent(w.work / "content", entries, warnings, error)) << error;
    CabOptions options;
    options.setId = 777;
    options.threads = 2;
    ExpectFdiGivesTree(w, entries, options, false, "Single");
    ExpectFdiGivesTree(w, entries, options, true, "Parts");
    std::filesystem::permissions(w.work / "content/locked.ini", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    std::filesystem::remove_all(w.work);
}

}  // namespace
}  // namespace zelpack
