#include "platform/FileChecks.h"
#include "platform/Text.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using zel_test::Narrow;

// The two case rules differ outside A-Z: callers pick one by name.
TEST(TextCase, SystemTableFoldsEveryAlphabetAsciiRuleOnlyAToZ) {
    const struct {
        const wchar_t* a;
        const wchar_t* b;
        bool system;
        bool ascii;
    } cases[] = {
        {.a = L"Extract", .b = L"eXTRACT", .system = true, .ascii = true},
        {.a = L"\u00c9t\u00e9", .b = L"\u00e9T\u00c9", .system = true, .ascii = false},
        {.a = L"\u0394", .b = L"\u03b4", .system = true, .ascii = false},
        {.a = L"abc", .b = L"abcd", .system = false, .ascii = false},
        {.a = L"", .b = L"", .system = true, .ascii = true},
        {.a = L"[", .b = L"{", .system = false, .ascii = false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zel::EqualsNoCase(c.a, c.b), c.system) << Narrow(c.a) << " / " << Narrow(c.b);
        EXPECT_EQ(zel::EqualsNoCaseAscii(c.a, c.b), c.ascii) << Narrow(c.a) << " / " << Narrow(c.b);
    }
    EXPECT_EQ(zel::ToLower(L"AB\u00c9\u0394"), L"ab\u00e9\u03b4");
    EXPECT_EQ(zel::ToUpper(L"ab\u00e9\u03b4"), L"AB\u00c9\u0394");
    // The ASCII lower case agrees with the ASCII comparison: equal keys, equal lower case.
    EXPECT_EQ(zel::ToLowerAscii(L"WebCab\u00c9Z[@"), L"webcab\u00c9z[@");
    for (const auto& c : cases)
        EXPECT_EQ(zel::ToLowerAscii(c.a) == zel::ToLowerAscii(c.b), c.ascii) << Narrow(c.a) << " / " << Narrow(c.b);
}

TEST(TextCase, StartsWithNoCaseAsciiNeedsTheWholePrefix) {
    EXPECT_TRUE(zel::StartsWithNoCaseAscii(L"ExtractPathX=D:\\", L"extractpath"));
    EXPECT_TRUE(zel::StartsWithNoCaseAscii(L"abc", L""));
    EXPECT_FALSE(zel::StartsWithNoCaseAscii(L"extr", L"extract"));
    EXPECT_FALSE(zel::StartsWithNoCaseAscii(L"xextract", L"extract"));
}

TEST(TextTrim, WhiteSpaceOrAGivenSet) {
    EXPECT_EQ(zel::Trim(L" \t\r\n\v\fa b\f\v\n\r\t "), L"a b");
    EXPECT_EQ(zel::Trim(L" \t "), L"");
    EXPECT_EQ(zel::Trim(L""), L"");
    EXPECT_EQ(zel::TrimAny(L"  \ta b\t  ", L" "), L"\ta b\t");
    EXPECT_EQ(zel::TrimAny(L"{{x}}", L"{}"), L"x");
    EXPECT_EQ(zel::TrimAny(L"}}{{", L"{}"), L"");
}

// Which kind of entry counts is what tells the variants apart.
TEST(FileChecks, EachVariantCountsItsOwnKindOfEntry) {
    zel_test::TempDir dir;
    zel_test::WriteBytes(dir.File(L"a.txt"), "a");
    const std::wstring folder = dir.Path().substr(0, dir.Path().size() - 1);
    const struct {
        std::wstring path;
        bool exists, file, isFolder, search;
    } cases[] = {
        {.path = dir.File(L"a.txt"), .exists = true, .file = true, .isFolder = false, .search = true},
        {.path = dir.File(L"*.txt"), .exists = false, .file = false, .isFolder = false, .search = true},
        {.path = folder, .exists = true, .file = false, .isFolder = true, .search = true},
        {.path = dir.Path(), .exists = true, .file = false, .isFolder = true, .search = false},
        {.path = dir.File(L"b.txt"), .exists = false, .file = false, .isFolder = false, .search = false},
        {.path = L"", .exists = false, .file = false, .isFolder = false, .search = false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.path));
        EXPECT_EQ(zel::PathExists(c.path), c.exists);
        EXPECT_EQ(zel::IsFile(c.path), c.file);
        EXPECT_EQ(zel::IsFolder(c.path), c.isFolder);
        EXPECT_EQ(zel::SearchFinds(c.path), c.search);
    }
    // 256 characters: there, but not for a search.
    const std::wstring longPath = folder + L"\\" + std::wstring(255 - folder.size(), L'x');
    zel_test::WriteBytes(longPath, "x");
    ASSERT_TRUE(zel::PathExists(longPath));
    EXPECT_FALSE(zel::SearchFinds(longPath));
}

}  // namespace
