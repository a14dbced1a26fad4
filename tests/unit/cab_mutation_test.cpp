// Damaged cabinets (cut short, bits flipped, bytes overwritten, empty) must
// make the engine fail with a code, never crash, hang or write outside its
// folder.
#include "cabinet/CabDecompressor.h"

#include "cab_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::string Mutate(const std::string& original, std::mt19937& random) {
    std::string bytes = original;
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    switch (pick(4)) {
        case 0:  // cut short
            bytes.resize(pick(bytes.size()));
            break;
        case 1:  // flip a few bits anywhere
            for (size_t i = 0, n = 1 + pick(8); i < n; ++i) bytes[pick(bytes.size())] ^= char(1 << pick(8));
            break;
        case 2: {  // garble the header, folder and file tables, where sizes and offsets live
            size_t span = std::min<size_t>(bytes.size(), 160);
            for (size_t i = 0, n = 1 + pick(6); i < n; ++i) bytes[4 + pick(span - 4)] = char(pick(256));
            break;
        }
        default:  // nothing left at all
            bytes.clear();
            break;
    }
    return bytes;
}

TEST(CabMutationTest, DamagedCabinetsFailCleanly) {
    cab_test::ResetEngineState();
    std::vector<std::string> originals;
    originals.push_back(cab_test::MakeCabinet(
        {{"\\a.txt", "hello"}, {"\\Data\\b.bin", std::string(40000, 'b')}, {"\\Data\\c.txt", "c"}}));
    std::wstring fixtures = cab_test::FixtureDir();
    if (!fixtures.empty()) originals.push_back(zel_test::ReadBytes(fixtures + L"gcab.cab"));

    zel_test::TempDir root;
    std::wstring cab = root.File(L"bad.cab");
    std::mt19937 random(20240611);
    int failures = 0;
    for (int round = 0; round < 300; ++round) {
        const std::string& original = originals[round % originals.size()];
        zel_test::WriteBytes(cab, Mutate(original, random));
        std::wstring folder = root.File(L"out\\" + std::to_wstring(round));

        CCabDecompressor engine(nullptr, true);
        int code = engine.ExtractCabinet(cab, folder);
        if (code != 0) {
            ++failures;
            EXPECT_NE(engine.GetErrorText(), L"Success") << "round " << round;
        }
        EXPECT_EQ(code, engine.GetErrorCode()) << "round " << round;
    }
    // Whatever was written stayed below the extraction folders.
    for (const auto& entry : cab_test::Tree(root.Path()))
        EXPECT_TRUE(entry.first == L"bad.cab" || entry.first.rfind(L"out\\", 0) == 0) << std::string(entry.first.begin(), entry.first.end());
    EXPECT_GT(failures, 100);
    cab_test::ResetEngineState();
}

}  // namespace
