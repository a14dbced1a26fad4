#include <gtest/gtest.h>

#include <sstream>

#include "Cli.h"
#include "Container.h"
#include "Hash.h"
#include "PeImage.h"
#include "TestSupport.h"

namespace zelpack {
namespace {

using test::TempDir;

struct Fixture {
    TempDir dir;
    std::filesystem::path stub, cab, out;
    std::vector<std::string> settings;

    explicit Fixture(const Bytes& stubBytes) {
        stub = dir / "stub.exe";
        test::WriteBytes(stub, stubBytes);
        test::WriteText(dir / "in/Properties_Tavo.ini", "[Package]\r\nName=Demo\r\n");
        test::WriteText(dir / "in/Default1033.ulf", "lang");
        test::WriteBytes(dir / "in/empty.bmp", {});
        cab = dir / "in/pkg.cab";
        test::WriteText(cab, "TAVO-cabinet-bytes");
        // Given out of order on purpose: the records must come out sorted.
        settings = {(dir / "in/empty.bmp").string(), (dir / "in/Default1033.ulf").string(),
                    (dir / "in/Properties_Tavo.ini").string()};
        out = dir / "Setup.exe";
    }

    int Build(std::string* errText = nullptr, std::filesystem::path output = {}) {
        std::vector<std::string> args = {"build", "-q", "--stub", stub.string(), "-o",
                                         (output.empty() ? out : output).string(), "--cabinet", cab.string()};
        args.insert(args.end(), settings.begin(), settings.end());
        std::ostringstream o, e;
        int rc = RunZelpack(args, o, e);
        if (errText) *errText = e.str();
        return rc;
    }
};

std::string Sha(const std::string& text) {
    Sha256 h;
    h.Update(text.data(), text.size());
    return ToHex(h.Finish());
}

void ExpectPackage(const Fixture& f, const Bytes& stubBytes) {
    PackageInfo info;
    std::string error;
    ASSERT_TRUE(InspectPackage(f.out, info, error)) << error;
    EXPECT_EQ(info.payloadStart, stubBytes.size());
    ASSERT_EQ(info.records.size(), 4u);
    const char* names[] = {"Properties_Tavo.ini", "Default1033.ulf", "empty.bmp", "WebCab1"};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(info.records[i].name, names[i]);
        EXPECT_EQ(info.records[i].kind, i < 3 ? kKindSettings : kKindPackage);
    }
    EXPECT_EQ(info.records[0].headerOffset, stubBytes.size());
    EXPECT_EQ(info.records[2].size, 0u);
    EXPECT_EQ(info.records[3].sha256, Sha("TAVO-cabinet-bytes"));
    EXPECT_EQ(info.trailingBytes, 0u);

    // Only the four subtype bytes of the image may differ from the stub.
    Bytes packed = test::ReadBytes(f.out);
    PeLayout pe;
    ASSERT_TRUE(ParsePe(stubBytes, stubBytes.size(), pe, error)) << error;
    ASSERT_FALSE(pe.subtypeOffsets.empty());
    size_t differing = 0;
    for (size_t i = 0; i < stubBytes.size(); ++i) differing += packed[i] != stubBytes[i];
    EXPECT_LE(differing, 4u * pe.subtypeOffsets.size());
    EXPECT_EQ(GetLe32(&packed[pe.subtypeOffsets[0]]), stubBytes.size());
}

TEST(Container, SyntheticStubsOfBothWidthsAreStampedAndRecordsLaidOut) {
    for (bool is64 : {false, true}) {
        SCOPED_TRACE(is64 ? "PE32+" : "PE32");
        Bytes stub = test::MakePe(is64, true);
        Fixture f(stub);
        std::string err;
        ASSERT_EQ(f.Build(&err), kExitOk) << err;
        ExpectPackage(f, stub);
    }
}

TEST(Container, RecordBytesFollowTheFixedLayout) {
    Bytes stub = test::MakePe(false, true);
    Fixture f(stub);
    f.settings = {(f.dir / "in/Properties_Tavo.ini").string()};
    ASSERT_EQ(f.Build(), kExitOk);
    Bytes packed = test::ReadBytes(f.out);
    const uint8_t* p = &packed[stub.size()];
    const std::u16string marker = u"{20726377-9F91-41b8-B514-20AE00AA235D}";
    for (size_t i = 0; i < marker.size(); ++i) ASSERT_EQ(GetLe16(p + 2 * i), marker[i]);
    ASSERT_EQ(GetLe32(p + 76), 19u * 2);
    EXPECT_EQ(GetLe16(p + 80), 'P');
    EXPECT_EQ(GetLe32(p + 80 + 38), 22u);  // "[Package]\r\nName=Demo\r\n"
    EXPECT_EQ(GetLe16(p + 84 + 38), kKindSettings);
    EXPECT_EQ(std::string(p + 86 + 38, p + 86 + 38 + 9), "[Package]");
}

TEST(Container, RealStubsAreStampedWhereTheVersionApiLooks) {
    int tested = 0;
    for (const char* variable : {"ZELPACK_STUB_I686", "ZELPACK_STUB_X64"}) {
        std::filesystem::path real = test::RealStub(variable);
        if (real.empty()) continue;
        SCOPED_TRACE(variable);
        Bytes stub = test::ReadBytes(real);
        Fixture f(stub);
        ASSERT_EQ(f.Build(), kExitOk);
        ExpectPackage(f, stub);
        // An independent reader of the resource section sees the same number.
        std::string rc;
        std::string windres = std::string(variable) == "ZELPACK_STUB_X64" ? "x86_64-w64-mingw32-windres"
                                                                          : "i686-w64-mingw32-windres";
        if (test::RunCommand("command -v " + windres) == 0) {
            ASSERT_EQ(test::RunCommand(windres + " -i '" + f.out.string() + "' -O rc", &rc), 0) << rc;
            char expected[32];
            std::snprintf(expected, sizeof expected, "FILESUBTYPE 0x%zx", stub.size());
            EXPECT_NE(rc.find(expected), std::string::npos) << rc.substr(0, 2000);
        }
        ++tested;
    }
    if (tested == 0) GTEST_SKIP() << "set ZELPACK_STUB_I686 / ZELPACK_STUB_X64 (CMake cache variables) to real stub builds";
}

TEST(Container, ACabinetWithoutThePackageSignatureIsPackedWithAWarning) {
    Fixture f(test::MakePe(false, true));
    std::string err;
    ASSERT_EQ(f.Build(&err), kExitOk);
    EXPECT_EQ(err.find("warning"), std::string::npos) << err;
    test::WriteText(f.cab, "MSCF-standard-cabinet");
    ASSERT_EQ(f.Build(&err), kExitOk);
    EXPECT_NE(err.find("does not begin with \"TAVO\""), std::string::npos) << err;
}

TEST(Container, SameInputsGiveIdenticalBytes) {
    Fixture f(test::MakePe(false, true));
    ASSERT_EQ(f.Build(nullptr, f.dir / "a.exe"), kExitOk);
    ASSERT_EQ(f.Build(nullptr, f.dir / "b.exe"), kExitOk);
    EXPECT_EQ(test::ReadBytes(f.dir / "a.exe"), test::ReadBytes(f.dir / "b.exe"));
}

TEST(Container, RefusedStubsSayWhatToDo) {
    Bytes good = test::MakePe(true, true);
    Bytes carrying = good;
    carrying.push_back(0);
    Bytes stamped = good;
    {
        PeLayout pe;
        std::string e;
        ASSERT_TRUE(ParsePe(good, good.size(), pe, e));
        PutLe32(&stamped[pe.subtypeOffsets[0]], 1234);
    }
    Bytes signedStub = good;
    PutLe32(&signedStub[0x98 + 112 + 8 * 4], 0x400);
    PutLe32(&signedStub[0x98 + 112 + 8 * 4 + 4], 8);
    struct Case {
        const char* what;
        Bytes stub;
        const char* message;
    } cases[] = {
        {"no version resource", test::MakePe(false, false), "no version resource"},
        {"payload behind the image", carrying, "already carries"},
        {"already stamped", stamped, "already holds a payload offset"},
        {"signed", signedStub, "signing must come after packing"},
        {"not an executable", Bytes(100, 'x'), "not a Windows executable"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f(c.stub);
        std::string err;
        EXPECT_EQ(f.Build(&err), kExitFailed);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_FALSE(std::filesystem::exists(f.out));
        EXPECT_FALSE(std::filesystem::exists(f.out.string() + ".zelpack-partial"));
    }
}

TEST(Container, PayloadStartAtTwoGibIsRefused) {
    Fixture f(test::MakePe(false, true));
    std::filesystem::resize_file(f.stub, 0x80000000ull);  // sparse
    std::string err;
    EXPECT_EQ(f.Build(&err), kExitFailed);
    EXPECT_NE(err.find("2 GiB"), std::string::npos) << err;
}

TEST(Container, BadRecordNamesAreRefused) {
    for (const std::string& name : std::vector<std::string>{"", "..", "a\\b", "c:x", std::string(512, 'n')}) {
        EXPECT_FALSE(CheckRecordName(name).empty()) << name;
    }
    EXPECT_TRUE(CheckRecordName("Default1033.ulf").empty());
    EXPECT_TRUE(CheckRecordName(std::string(511, 'n')).empty());
}

TEST(Container, SettingsWithoutThePackageSettingsFileAreRefused) {
    Fixture f(test::MakePe(false, true));
    f.settings = {(f.dir / "in/Default1033.ulf").string()};
    std::string err;
    EXPECT_EQ(f.Build(&err), kExitFailed);
    EXPECT_NE(err.find("Properties_Tavo.ini"), std::string::npos) << err;
}

TEST(Inspect, ReportsTruncationAndTrailingBytes) {
    Fixture f(test::MakePe(false, true));
    ASSERT_EQ(f.Build(), kExitOk);
    Bytes packed = test::ReadBytes(f.out);

    Bytes signedTail = packed;
    signedTail.insert(signedTail.end(), 16, 0xAB);
    test::WriteBytes(f.dir / "tail.exe", signedTail);
    PackageInfo info;
    std::string error;
    ASSERT_TRUE(InspectPackage(f.dir / "tail.exe", info, error)) << error;
    EXPECT_EQ(info.records.size(), 4u);
    EXPECT_EQ(info.trailingBytes, 16u);

    Bytes cut(packed.begin(), packed.end() - 1);
    test::WriteBytes(f.dir / "cut.exe", cut);
    std::ostringstream o, e;
    EXPECT_EQ(RunZelpack({"inspect", (f.dir / "cut.exe").string()}, o, e), kExitFailed);
    EXPECT_NE(e.str().find("runs past the end"), std::string::npos) << e.str();
}

TEST(Cli, HelpAndUsageErrors) {
    std::ostringstream o, e;
    EXPECT_EQ(RunZelpack({"--help"}, o, e), kExitOk);
    EXPECT_NE(o.str().find("usage: zelpack build"), std::string::npos);
    struct Case {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{}, "usage"},
        {{"frobnicate"}, "unknown command"},
        {{"build", "dir"}, "-o"},
        {{"build", "dir", "-o", "x.exe", "--bogus"}, "unknown option"},
        {{"build", "dir", "-o"}, "needs a value"},
        {{"build", "dir", "-o", "x", "--part-size", "12Q"}, "--part-size"},
        {{"inspect"}, "exactly one"},
    };
    for (const Case& c : cases) {
        std::ostringstream co, ce;
        EXPECT_EQ(RunZelpack(c.args, co, ce), kExitUsage);
        EXPECT_NE(ce.str().find(c.message), std::string::npos) << ce.str();
    }
}

}  // namespace
}  // namespace zelpack
