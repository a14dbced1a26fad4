#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Cabinet.h"
#include "PackageFixture.h"

namespace zelpack {
namespace {

const char kMultiPart[] = "[Package]\nMultiPartDownload=1\nMultipartFileName=Setup\n";

std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto& e : std::filesystem::directory_iterator(folder, ec)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Every input a build reads, byte for byte, so a refusal can be shown to have
// changed none of them.
std::map<std::string, Bytes> Snapshot(const PackageFolder& p) {
    std::map<std::string, Bytes> all;
    all[p.stub.string()] = test::ReadBytes(p.stub);
    for (auto& e : std::filesystem::recursive_directory_iterator(p.root))
        if (e.is_regular_file()) all[e.path().string()] = test::ReadBytes(e.path());
    return all;
}

TEST(Output, OutputsThatWouldDestroyAnInputAreRefused) {
    struct Case {
        const char* what;
        std::function<std::vector<std::string>(PackageFolder&)> args;
        const char* message;
    } cases[] = {
        {"the stub", [](PackageFolder& p) { return std::vector<std::string>{"-o", p.stub.string()}; }, "the stub"},
        {"the settings file",
         [](PackageFolder& p) { return std::vector<std::string>{"-o", (p.root / "Properties_Tavo.ini").string()}; },
         "the package folder"},
        {"a content file",
         [](PackageFolder& p) { return std::vector<std::string>{"-o", (p.root / "content/bin/setup.exe").string()}; },
         "the package folder"},
        {"a new file in the package folder",
         [](PackageFolder& p) { return std::vector<std::string>{"-o", (p.root / "Setup.exe").string()}; },
         "would lie inside the package folder"},
        {"the stub through a symbolic link",
         [](PackageFolder& p) {
             std::filesystem::create_directory_symlink(p.dir.Path(), p.dir / "link");
             return std::vector<std::string>{"-o", (p.dir / "link/stub.exe").string()};
         },
         "the stub"},
        {"the package folder through a linked folder",
         [](PackageFolder& p) {
             std::filesystem::create_directory_symlink(p.root / "content", p.dir / "elsewhere");
             return std::vector<std::string>{"-o", (p.dir / "elsewhere/Setup.exe").string()};
         },
         "the package folder"},
        {"the stub through a hard link",
         [](PackageFolder& p) {
             std::filesystem::create_hard_link(p.stub, p.dir / "out/hard.exe");
             return std::vector<std::string>{"-o", (p.dir / "out/hard.exe").string()};
         },
         "the stub"},
        {"a settings file linked in from elsewhere",
         [](PackageFolder& p) {
             test::WriteText(p.dir / "out/eula.txt", "terms");
             std::filesystem::create_symlink(p.dir / "out/eula.txt", p.root / "eula.txt");
             return std::vector<std::string>{"-o", (p.dir / "out/eula.txt").string()};
         },
         "the settings file"},
        {"a part file on the stub",
         [](PackageFolder& p) {
             test::WriteText(p.root / "Properties_Tavo.ini", kMultiPart);
             std::filesystem::copy_file(p.stub, p.dir / "out/Setup.002");
             p.stub = p.dir / "out/Setup.002";
             return std::vector<std::string>{"-o", p.out.string()};
         },
         "the part file"},
        {"a folder", [](PackageFolder& p) { return std::vector<std::string>{"-o", (p.dir / "out").string()}; },
         "names a folder"},
        {"a missing folder",
         [](PackageFolder& p) { return std::vector<std::string>{"-o", (p.dir / "no/such/Setup.exe").string()}; },
         "does not exist"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PackageFolder p;
        std::vector<std::string> extra = c.args(p);
        std::vector<std::string> args = {"build", p.root.string(), "--stub", p.stub.string(), "-q"};
        auto before = Snapshot(p);
        std::vector<std::string> outBefore = FilesIn(p.dir / "out");
        args.insert(args.end(), extra.begin(), extra.end());
        std::string err;
        EXPECT_EQ(p.Run(args, &err), kExitUsage);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(Snapshot(p), before);
        EXPECT_EQ(FilesIn(p.dir / "out"), outBefore);
    }
}

TEST(Output, ContainerBuildRefusesToWriteOverItsCabinetOrSettings) {
    PackageFolder p;
    test::WriteText(p.dir / "cab", "TAVO and more");
    for (const std::filesystem::path& target : {p.dir / "cab", p.root / "Properties_Tavo.ini", p.stub}) {
        SCOPED_TRACE(target.string());
        Bytes before = test::ReadBytes(target);
        std::string err;
        EXPECT_EQ(p.Run({"build", "-o", target.string(), "--stub", p.stub.string(), "--cabinet",
                         (p.dir / "cab").string(), (p.root / "Properties_Tavo.ini").string()},
                        &err),
                  kExitUsage);
        EXPECT_NE(err.find("would overwrite"), std::string::npos) << err;
        EXPECT_EQ(test::ReadBytes(target), before);
    }
}

TEST(Output, PartSizesOutsideTheRuleAreRefused) {
    for (const char* size : {"0", "0K", "-5", "+5", "3G", "2147450880", "1.5M", "12Q", "K", "", "99999999999999"}) {
        SCOPED_TRACE(size);
        PackageFolder p(kMultiPart);
        std::string err;
        EXPECT_EQ(p.Build({"--part-size", size}, &err), kExitUsage);
        EXPECT_NE(err.find("whole number of bytes above 0"), std::string::npos) << err;
        EXPECT_TRUE(FilesIn(p.dir / "out").empty());
    }
    PackageFolder p(kMultiPart);
    EXPECT_EQ(p.Build({"--part-size", "2147450879"}), kExitOk);
}

// 40 KB parts of 6 MB that does not compress: about 150 parts. With the
// limit lowered to 100 the build must refuse and name a size that works.
TEST(Output, ASetOfTooManyPartsIsRefusedWithASizeThatWorks) {
    PackageFolder p(kMultiPart);
    Bytes noise(6 << 20);
    std::mt19937 rng(3);
    for (auto& c : noise) c = uint8_t(rng());
    test::WriteBytes(p.root / "content/noise.bin", noise);

    // The stub's limit itself: parts 1000 and up would never be found.
    std::string err;
    EXPECT_EQ(p.Build({"--part-size", "5K"}, &err), kExitFailed);
    EXPECT_NE(err.find("parts 001 to 999 only"), std::string::npos) << err;
    EXPECT_TRUE(FilesIn(p.dir / "out").empty());

    size_t at = err.find("use --part-size ");
    ASSERT_NE(at, std::string::npos) << err;
    std::string suggested = err.substr(at + 16, err.find(' ', at + 16) - at - 16);
    ASSERT_EQ(p.Build({"--part-size", suggested}, &err), kExitOk) << err;
    size_t parts = FilesIn(p.dir / "out").size() - 1;
    EXPECT_LE(parts, 999u);
    EXPECT_GE(parts, 900u) << "the suggestion should be near the smallest size that works";
}

TEST(Output, ManyPartsAreWrittenWithFewFilesOpen) {
    PackageFolder p(kMultiPart);
    Bytes noise(3 << 20);
    std::mt19937 rng(5);
    for (auto& c : noise) c = uint8_t(rng());
    test::WriteBytes(p.root / "content/noise.bin", noise);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
    rlimit low = old;
    low.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    std::string err;
    int rc = p.Build({"--part-size", "8K", "--threads", "1"}, &err);
    setrlimit(RLIMIT_NOFILE, &old);
    ASSERT_EQ(rc, kExitOk) << err;
    EXPECT_GT(FilesIn(p.dir / "out").size(), 300u);
}

TEST(Output, ASmallerRebuildRemovesTheStalePartsOfItsSetOnly) {
    PackageFolder p(kMultiPart);
    ASSERT_EQ(p.Build({"--part-size", "20K"}), kExitOk);
    std::vector<std::string> many = FilesIn(p.dir / "out");
    ASSERT_GE(many.size(), 5u);
    test::WriteText(p.dir / "out/Setup.900", "the author's own notes");
    test::WriteText(p.dir / "out/Other.007", "TAVO of another set");

    std::string err, out;
    ASSERT_EQ(p.Run({"build", p.root.string(), "-o", p.out.string(), "--stub", p.stub.string(), "--part-size", "1M"},
                    &err, &out),
              kExitOk)
        << err;
    EXPECT_EQ(FilesIn(p.dir / "out"),
              (std::vector<std::string>{"Other.007", "Setup.001", "Setup.900", "Setup.exe"}));
    EXPECT_NE(out.find("removed stale part: Setup.002"), std::string::npos) << out;
    EXPECT_NE(err.find("Setup.900 beside the package is not one of its parts"), std::string::npos) << err;
}

// A build killed half-way leaves neither a partial package nor parts.
TEST(Output, AnInterruptedBuildLeavesNothingBehind) {
    const char* exe = std::getenv("ZELPACK_EXE");
    if (!exe || !*exe) GTEST_SKIP() << "ZELPACK_EXE (set by ctest) names the zelpack program";
    for (const char* settings : {"", kMultiPart}) {
        SCOPED_TRACE(*settings ? "parts" : "single file");
        PackageFolder p(settings);
        Bytes noise(48 << 20);
        std::mt19937 rng(9);
        for (auto& c : noise) c = uint8_t(rng());
        test::WriteBytes(p.root / "content/noise.bin", noise);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::vector<std::string> args = {exe, "build", p.root.string(), "-o", p.out.string(), "--stub",
                                             p.stub.string(), "-q", "--threads", "1"};
            if (*settings) args.insert(args.end(), {"--part-size", "1M"});
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(exe, argv.data());
            _exit(127);
        }
        // Wait until the build has begun writing, then stop it.
        for (int i = 0; i < 400 && FilesIn(p.dir / "out").empty(); ++i) usleep(10000);
        kill(pid, SIGINT);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the build ended before it was stopped";
        EXPECT_EQ(FilesIn(p.dir / "out"), std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace zelpack

namespace zelpack {
namespace {

// Signing needs the real tools; the signed package itself runs under Wine in
// the end-to-end tests.
TEST(Sign, ThePackageIsSignedAfterItsRecordsAndInspectNamesTheSigner) {
    PackageFolder p;
    std::string out;
    if (test::RunCommand("openssl version && osslsigncode --version", &out) != 0)
        GTEST_SKIP() << "openssl and osslsigncode are needed: " << out;
    ASSERT_EQ(test::RunCommand("cd '" + p.dir.Path().string() +
                                   "' && openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=Zel Unit Signer'"
                                   " -keyout key.pem -out cert.pem",
                               &out),
              0)
        << out;
    std::string cert = (p.dir / "cert.pem").string(), key = (p.dir / "key.pem").string();
    std::string err;
    ASSERT_EQ(p.Build({"--sign-cert", cert, "--sign-key", key}, &err), kExitOk) << err;
    ASSERT_EQ(test::RunCommand("osslsigncode verify -in '" + p.out.string() + "' -CAfile '" + cert + "'", &out), 0)
        << out;
    PackageInfo info;
    ASSERT_TRUE(InspectPackage(p.out, info, err)) << err;
    ASSERT_EQ(info.records.size(), 4u);
    EXPECT_GE(info.signatureOffset, info.records.back().dataOffset + info.records.back().size);
    ASSERT_EQ(p.Run({"inspect", p.out.string()}, &err, &out), kExitOk) << err;
    EXPECT_NE(out.find("signer: CN = Zel Unit Signer"), std::string::npos) << out;

    // A key with a password, handed over through the environment.
    ASSERT_EQ(test::RunCommand("cd '" + p.dir.Path().string() +
                                   "' && openssl req -x509 -newkey rsa:2048 -passout pass:hunter2 -days 2"
                                   " -subj '/CN=Zel Locked Signer' -keyout locked.pem -out locked-cert.pem",
                               &out),
              0)
        << out;
    setenv("ZELPACK_TEST_KEY_PASS", "hunter2", 1);
    ASSERT_EQ(p.Build({"--sign-cert", (p.dir / "locked-cert.pem").string(), "--sign-key",
                       (p.dir / "locked.pem").string(), "--sign-pass-env", "ZELPACK_TEST_KEY_PASS"},
                      &err),
              kExitOk)
        << err;
    ASSERT_EQ(p.Run({"inspect", p.out.string()}, &err, &out), kExitOk) << err;
    EXPECT_NE(out.find("signer: CN = Zel Locked Signer"), std::string::npos) << out;

    // A key that does not fit: nothing is written, and the package built
    // before stays as it was, signature and all.
    const Bytes before = test::ReadBytes(p.out);
    test::WriteText(p.dir / "bad.pem", "not a key");
    EXPECT_EQ(p.Build({"--sign-cert", cert, "--sign-key", (p.dir / "bad.pem").string()}, &err), kExitFailed);
    EXPECT_NE(err.find("osslsigncode could not sign " + p.out.string()), std::string::npos) << err;
    EXPECT_EQ(test::ReadBytes(p.out), before);
    EXPECT_EQ(FilesIn(p.out.parent_path()), std::vector<std::string>{p.out.filename().string()});

    // Without an earlier package, none is left, signed or not.
    std::filesystem::remove(p.out);
    EXPECT_EQ(p.Build({"--sign-cert", cert, "--sign-key", (p.dir / "bad.pem").string()}, &err), kExitFailed);
    EXPECT_TRUE(std::filesystem::is_empty(p.out.parent_path()));
}

}  // namespace
}  // namespace zelpack
