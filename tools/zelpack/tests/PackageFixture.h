// A small package folder and a synthetic stub, built through the command line.
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <utime.h>

#include "Cli.h"
#include "Container.h"
#include "SettingsText.h"
#include "TestSupport.h"

namespace zelpack {

inline void SetTime(const std::filesystem::path& p, time_t t) {
    struct utimbuf u {t, t};
    ::utime(p.c_str(), &u);
}

struct PackageFolder {
    test::TempDir dir;
    std::filesystem::path root = dir / "pkg";
    std::filesystem::path stub = dir / "stub.exe";
    std::filesystem::path out = dir / "out/Setup.exe";

    explicit PackageFolder(const std::string& settings = "[Package]\nName=Demo\n[Runtime]\nAutoLaunch=bin\\setup.exe\n"
                                                         "[Images]\nTopImage=top.bmp\n") {
        test::WriteBytes(stub, test::MakePe(false, true));
        test::WriteText(root / "Properties_Tavo.ini", settings);
        test::WriteText(root / "top.bmp", "BM");
        test::WriteText(root / "Default1033.ulf", "[1033]\r\n");
        std::string text;
        for (int i = 0; i < 5000; ++i) text += "line " + std::to_string(i) + "\n";
        test::WriteText(root / "content/bin/setup.exe", text);
        Bytes noise(70000);
        std::mt19937 rng(7);
        for (auto& c : noise) c = uint8_t(rng());
        test::WriteBytes(root / "content/Data/big file.bin", noise);
        test::WriteText(root / "content/Data/Ünïcödé.txt", "hello");
        test::WriteBytes(root / "content/empty.txt", {});
        time_t t = 1600000000;
        for (auto& e : std::filesystem::recursive_directory_iterator(root / "content"))
            if (e.is_regular_file()) SetTime(e.path(), t += 86400);
        std::filesystem::create_directories(out.parent_path());
    }

    int Run(std::vector<std::string> args, std::string* err = nullptr, std::string* out = nullptr) {
        std::ostringstream o, e;
        int rc = RunZelpack(args, o, e);
        if (err) *err = e.str();
        if (out) *out = o.str();
        return rc;
    }

    int Build(std::vector<std::string> extra = {}, std::string* err = nullptr) {
        std::vector<std::string> args = {"build", root.string(), "-o", out.string(), "--stub", stub.string(), "-q"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::ostringstream o, e;
        int rc = RunZelpack(args, o, e);
        if (err) *err = e.str();
        return rc;
    }

    Bytes Record(const std::string& name) {
        PackageInfo info;
        std::string error;
        EXPECT_TRUE(InspectPackage(out, info, error)) << error;
        Bytes all = test::ReadBytes(out);
        for (const RecordInfo& r : info.records)
            if (r.name == name) return Bytes(all.begin() + long(r.dataOffset), all.begin() + long(r.dataOffset + r.size));
        ADD_FAILURE() << "no record " << name;
        return {};
    }

    SettingsText Settings() {
        SettingsText s;
        std::string error;
        EXPECT_TRUE(SettingsText::Parse(Record("Properties_Tavo.ini"), s, error)) << error;
        return s;
    }
};

}  // namespace zelpack
