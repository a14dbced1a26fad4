#include "ui/FitText.h"

#include <gtest/gtest.h>

using zel::EllipsisForm;
using zel::FitOptions;
using zel::FitText;

namespace {
// Every character 10 wide, lines 16 high: "..." is 30 wide.
zel::TextExtent FakeMeasure(const std::wstring& text) { return {static_cast<long>(text.size()) * 10, 16}; }

const std::wstring kAlphabet = L"abcdefghijklmnopqrstuvwxyz0123";  // 300 wide

struct FitCase {
    const char* name;
    std::wstring text;
    std::uint32_t width;
    std::uint32_t height;
    FitOptions options;
    std::wstring expected;
};

class FitTextTable : public testing::TestWithParam<FitCase> {};

TEST_P(FitTextTable, GivesTheExpectedText) {
    const FitCase& c = GetParam();
    EXPECT_EQ(FitText(c.text, c.width, c.height, FakeMeasure, c.options), c.expected);
}

FitOptions Leading(FitOptions options) {
    options.Form = EllipsisForm::Leading;
    return options;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, FitTextTable,
    testing::Values(
        // Short texts: 20 < a fifth of 200, n = 200 * (20 - 10) / 100 spaces.
        FitCase{"ShortTextPadded", L"ab", 200, 16, FitOptions::Sheet(), L"ab" + std::wstring(20, L' ')},
        FitCase{"ShortTextNotPaddedWhenUnpadded", L"ab", 200, 16, FitOptions::Unpadded(), L"ab"},
        FitCase{"FittingTextUnchanged", L"abcdefghij", 200, 16, FitOptions::Sheet(), L"abcdefghij"},
        // One line floor: room 100 - (6 + 30) = 64, six characters stay below it.
        FitCase{"OneLineFloor", kAlphabet, 100, 10, FitOptions::Sheet(), L"abcdef..."},
        FitCase{"OneLineFloorLeading", kAlphabet, 100, 10, FitOptions::Sheet(EllipsisForm::Leading),
                L"...yz0123"},
        // Without the floor no line fits: the room is -36, which unsigned lets
        // every character through.
        FitCase{"NoFloorNegativeRoom", kAlphabet, 100, 10, FitOptions::Unpadded(), kAlphabet + L"..."},
        FitCase{"NoFloorNegativeRoomLeading", kAlphabet, 100, 10, FitOptions::Unpadded(EllipsisForm::Leading),
                L"..." + kAlphabet},
        // Room exactly 0: nothing fits, only the ellipsis.
        FitCase{"ZeroRoom", kAlphabet, 36, 16, FitOptions::Unpadded(), L"..."},
        // Two lines: 200 - (12 + 30) = 158.
        FitCase{"TwoLines", kAlphabet, 100, 32, FitOptions::Unpadded(), L"abcdefghijklmno..."},
        FitCase{"LeadingKeepsTheEnd", kAlphabet, 100, 16, FitOptions::Unpadded(EllipsisForm::Leading),
                L"...yz0123"},
        // Room for every character on three lines: the ellipsis stays...
        FitCase{"EllipsisAlthoughAllFit", L"abcdefghijkl", 100, 48, FitOptions::Unpadded(), L"abcdefghijkl..."},
        FitCase{"EllipsisAlthoughAllFitLeading", L"abcdefghijkl", 100, 48,
                FitOptions::Unpadded(EllipsisForm::Leading), L"...abcdefghijkl"},
        // ...but not where only a cut adds it.
        FitCase{"LanguageHeadingAllFit", L"abcdefghijkl", 100, 48, FitOptions::LanguageHeading(), L"abcdefghijkl"},
        // 0.9 x 64 = 57.6: the sixth character (60) already stops.
        FitCase{"LanguageHeadingFactor", kAlphabet, 100, 16, FitOptions::LanguageHeading(), L"abcde..."},
        FitCase{"LanguageHeadingFactorLeading", kAlphabet, 100, 16, Leading(FitOptions::LanguageHeading()),
                L"...z0123"},
        FitCase{"LanguageHeadingNoFloor", kAlphabet, 100, 10, FitOptions::LanguageHeading(), kAlphabet},
        // License: always two lines whatever the height, 200 - (12 + 30) = 158.
        FitCase{"LicenseTwoLines", kAlphabet, 100, 0, FitOptions::License(), L"abcdefghijklmno..."},
        FitCase{"LicenseAllFitUnchanged", L"abcdefghijklmn", 100, 0, FitOptions::License(), L"abcdefghijklmn"},
        // Finish page: one line fewer. One line high gives no line (room -30).
        FitCase{"FinishPageOneLineFewer", kAlphabet, 100, 16, FitOptions::FinishPage(), kAlphabet + L"..."},
        FitCase{"FinishPageTwoLinesHigh", kAlphabet, 100, 32, FitOptions::FinishPage(), L"abcdef..."},
        // Less than one line high: floor(H / cy) - 1 = -1, room -130.
        FitCase{"FinishPageBelowOneLine", kAlphabet, 100, 10, FitOptions::FinishPage(), kAlphabet + L"..."}),
    [](const testing::TestParamInfo<FitCase>& info) { return std::string(info.param.name); });

TEST(FitText, SurvivesAZeroWidthAndAFontWithoutHeight) {
    auto flat = [](const std::wstring& text) { return zel::TextExtent{static_cast<long>(text.size()) * 10, 0}; };
    EXPECT_EQ(FitText(L"", 0, 0, flat, FitOptions::Sheet()), L"");
    // No line from the height, so one; the room 0 - 36 is negative: everything passes.
    EXPECT_EQ(FitText(L"abc", 0, 20, flat, FitOptions::Sheet()), L"abc...");
    EXPECT_EQ(FitText(kAlphabet, 100, 20, flat, FitOptions::Unpadded()), kAlphabet + L"...");
}

TEST(FitText, NeverSplitsASurrogatePair) {
    // U+1F600 twice, then letters; every code unit 10 wide.
    const std::wstring text = L"\xD83D\xDE00\xD83D\xDE00" L"abcdefghijklmnopqrstuvwxyz";
    const std::wstring cut = FitText(text, 100, 16, FakeMeasure, FitOptions::Unpadded(EllipsisForm::End));
    EXPECT_EQ(cut, L"\xD83D\xDE00\xD83D\xDE00" L"ab...");
    // 64 of room: "a" and the pair reach 30, then a, b and c reach 60.
    const std::wstring start = L"a\xD83D\xDE00";
    EXPECT_EQ(FitText(start + kAlphabet, 100, 16, FakeMeasure, FitOptions::Unpadded()), L"a\xD83D\xDE00" L"abc...");
}

TEST(FillStringTemplate, BreaksTheFirstLineMarkerAndFillsEveryPlaceholder) {
    EXPECT_EQ(zel::FillStringTemplate(L"Setup of [P]\\nis done.\\n[P] ends.", L"[P]", L"Tool"),
              L"Setup of Tool\r\nis done.\\nTool ends.");
    // A value holding the placeholder is inserted once, not again and again.
    EXPECT_EQ(zel::FillStringTemplate(L"[P] and [P]", L"[P]", L"x[P]"), L"x[P] and x[P]");
    EXPECT_EQ(zel::FillStringTemplate(L"no marker", L"", L"v"), L"no marker");
}
}  // namespace
