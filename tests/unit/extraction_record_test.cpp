#include "core/ExtractionRecord.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> Stored(const std::vector<std::wstring>& paths) {
    PathList list;
    for (const std::wstring& path : paths) list.push_back(path);
    EXPECT_EQ(list.size(), paths.size());
    return std::vector<std::wstring>(list.begin(), list.end());
}

struct PathsCase {
    const char* name;
    std::vector<std::wstring> paths;
};

TEST(PathList, GivesBackEveryPathInTheOrderAdded) {
    const std::wstring deep = L"C:\\Pkg\\" + std::wstring(300, L'd') + L"\\file.bin";
    const PathsCase cases[] = {
        {"one path", {L"C:\\Pkg\\a.txt"}},
        {"same folder", {L"C:\\Pkg\\Data\\a.txt", L"C:\\Pkg\\Data\\b.txt", L"C:\\Pkg\\Data\\c.txt"}},
        {"a shorter path after a longer one", {L"C:\\Pkg\\Data\\Deep\\x.txt", L"C:\\Pkg\\y.txt"}},
        {"a path that begins another", {L"C:\\Pkg\\a", L"C:\\Pkg\\a.txt", L"C:\\Pkg\\a"}},
        {"nothing shared", {L"C:\\one.txt", L"D:\\two.txt"}},
        {"the same path twice", {L"C:\\Pkg\\a.txt", L"C:\\Pkg\\a.txt"}},
        {"an empty path", {L"C:\\Pkg\\a.txt", L"", L"C:\\Pkg\\b.txt"}},
        {"a long folder name", {deep, deep + L"2", L"C:\\Pkg\\short"}},
        {"text beyond ASCII", {L"C:\\Pkg\\\u00e9t\u00e9.txt", L"C:\\Pkg\\\u65e5\u672c.txt"}},
    };
    for (const PathsCase& c : cases) EXPECT_EQ(Stored(c.paths), c.paths) << c.name;
}

TEST(PathList, ClearEmptiesAndStartsAfresh) {
    PathList list;
    list.push_back(L"C:\\Pkg\\a.txt");
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.begin(), list.end());
    // Nothing of the cleared paths is shared with the next one.
    list.push_back(L"C:\\Pkg\\b.txt");
    EXPECT_THAT(list, testing::ElementsAre(L"C:\\Pkg\\b.txt"));
}

}  // namespace
