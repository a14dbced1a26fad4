#include "framework/Handles.h"
#include "platform/FileChecks.h"
#include "platform/Util.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <map>
#include <string>
#include <vector>

// Drives, shares and unwritable folders come from tests/unit/paths_drives_fixture.sh,
// which ctest runs before the unit tests.

namespace {

const std::wstring kFixture = L"C:\\zel-paths-fixture\\";

using zel::PathExists;

bool FixtureReady() { return PathExists(kFixture + L"ready"); }
bool ReadOnlyReady() { return PathExists(kFixture + L"readonly.ok"); }

bool OnWine() { return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

using zel_test::Narrow;

std::vector<std::wstring> ToVector(const StringList& list) { return {list.begin(), list.end()}; }

void Touch(const std::wstring& path) { zel_test::WriteBytes(path, "x"); }

// Removes folders a failed earlier run may have left.
void Forget(const std::wstring& folder) {
    if (PathExists(folder)) CUtilPaths::RemoveFolderTree(folder);
}

// ---------------------------------------------------------------------------
// CheckFolderPath

enum Needs { kNothing, kDrives, kReadOnly };

struct PathCase {
    const char* name;
    std::wstring path;
    int code;
    const wchar_t* drive;       // expected drive part; nullptr: not looked at
    std::wstring createdTop;    // empty: the call creates nothing
    std::wstring existing = L"";  // made before the check, removed after
    Needs needs = kNothing;
};

std::wstring Repeat(wchar_t c, size_t n) { return std::wstring(n, c); }

const std::vector<PathCase>& PathCases() {
    static const std::vector<PathCase> cases = {
        {"new folder on a fixed drive", L"C:\\zel-pc\\Pkg", 0, L"C:", L"C:\\zel-pc"},
        {"only the top level exists", L"C:\\zel-pc-base\\New\\Sub", 0, L"C:", L"C:\\zel-pc-base\\New",
         L"C:\\zel-pc-base"},
        {"existing folder creates nothing", L"C:\\zel-pc-base", 0, L"C:", L"", L"C:\\zel-pc-base"},
        {"drive root", L"C:\\", 0, L"C:", L""},
        {".. is resolved before creating", L"C:\\zel-pcx\\..\\zel-pcy", 0, L"C:", L"C:\\zel-pcy"},
        {"com10 is no reserved name", L"C:\\zel-pc\\com10", 0, L"C:", L"C:\\zel-pc"},
        {"asterisk", L"C:\\a*b", 161, nullptr, L""},
        {"question mark", L"C:\\a?b", 161, nullptr, L""},
        {"slash", L"C:\\a/b", 161, nullptr, L""},
        {"double quote", L"C:\\a\"b", 161, nullptr, L""},
        {"greater than", L"C:\\a>b", 161, nullptr, L""},
        {"less than", L"C:\\a<b", 161, nullptr, L""},
        {"bar", L"C:\\a|b", 161, nullptr, L""},
        {"con", L"C:\\con\\x", 161, nullptr, L""},
        {"LPT9 last", L"C:\\x\\LPT9", 161, nullptr, L""},
        {"cOm1 mixed case", L"C:\\x\\cOm1\\y", 161, nullptr, L""},
        {"aux, nul, prn", L"C:\\aux\\Nul\\prn", 161, nullptr, L""},
        {"reserved name between blanks", L"C:\\ con \\x", 161, nullptr, L""},
        {"single dot part", L"C:\\x\\.\\y", 161, nullptr, L""},
        {"dots inside a name", L"C:\\a..b", 161, nullptr, L""},
        {"three dots", L"C:\\x\\...\\y", 161, nullptr, L""},
        {"255 characters become 256", L"C:\\" + Repeat(L'a', 252), 206, nullptr, L""},
        {"length is checked after the names", L"C:\\con\\" + Repeat(L'a', 300), 161, nullptr, L""},
        {"server only", L"\\\\server", 161, nullptr, L""},
        {"server and backslash", L"\\\\server\\", 161, nullptr, L""},
        {"server name starts with #", L"\\\\#srv\\share\\", 161, nullptr, L""},
        {"empty server name", L"\\\\\\share\\x", 161, nullptr, L""},
        {"relative without ..", L"out\\sub", 161, nullptr, L""},
        {"rooted without drive", L"\\out", 161, nullptr, L""},
        {"empty", L"", 161, nullptr, L""},
        {"unknown server: the folder cannot be made", L"\\\\zel-nosrv\\share\\dir", 82, L"\\\\zel-nosrv\\share\\", L""},
        {"CD-ROM drive", L"Q:\\Pkg", 161, L"Q:", L"", L"", kDrives},
        {"unknown drive letter", L"R:\\Pkg", 161, L"R:", L"", L"", kDrives},
        {"network share, first level below it is created", L"\\\\zelsrv\\share\\zel-pc\\Sub", 0,
         L"\\\\zelsrv\\share\\", L"\\\\zelsrv\\share\\zel-pc", L"", kDrives},
        {"network share itself", L"\\\\zelsrv\\share", 0, L"\\\\zelsrv\\share\\", L"", L"", kDrives},
        {"read-only folder: level cannot be made", kFixture + L"readonly\\Pkg", 5, L"C:", L"", L"", kReadOnly},
        {"read-only folder: no file can be written", kFixture + L"readonly", 5, L"C:", L"", L"", kReadOnly},
        {"read-only share", L"\\\\zelsrv\\locked\\Pkg", 82, L"\\\\zelsrv\\locked\\", L"", L"", kReadOnly},
        {"read-only share itself", L"\\\\zelsrv\\locked", 82, L"\\\\zelsrv\\locked\\", L"", L"", kReadOnly},
    };
    return cases;
}

class CheckFolderPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(CheckFolderPathTest, Code) {
    const PathCase& c = GetParam();
    if (c.needs >= kDrives && !FixtureReady()) GTEST_SKIP() << "drive fixture not set up (run through ctest)";
    if (c.needs == kReadOnly && !ReadOnlyReady()) GTEST_SKIP() << "no immutable folder on this machine";
    if (!c.createdTop.empty()) Forget(c.createdTop);
    if (!c.existing.empty()) {
        ASSERT_TRUE(::CreateDirectoryW(c.existing.c_str(), nullptr) || PathExists(c.existing));
    }

    CUtil util;
    std::wstring drive = L"untouched";
    int code = util.CheckFolderPath(c.path, drive);

    EXPECT_EQ(code, c.code);
    if (c.drive) { EXPECT_EQ(Narrow(drive), Narrow(c.drive)); }
    EXPECT_EQ(Narrow(util.GetCreatedTopFolder()), Narrow(c.createdTop));
    if (!c.createdTop.empty()) { EXPECT_FALSE(PathExists(c.createdTop)) << "created folders must be removed again"; }
    if (!c.existing.empty()) {
        EXPECT_TRUE(PathExists(c.existing));
        CUtilPaths::RemoveFolderTree(c.existing);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, CheckFolderPathTest, ::testing::ValuesIn(PathCases()),
                         [](const ::testing::TestParamInfo<PathCase>& info) {
                             std::string name;
                             for (char ch : std::string(info.param.name))
                                 name += isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return std::to_string(info.index) + "_" + name;
                         });

TEST(CheckFolderPath, LengthEdgeJustBelowIsNotTooLong) {
    CUtil util;
    std::wstring drive;
    // 254 characters plus the backslash: long enough for the folder, too
    // long for a temporary file name inside it.
    std::wstring path = L"C:\\zel-" + Repeat(L'b', 247);
    ASSERT_EQ(path.size(), 254u);
    Forget(path);
    int code = util.CheckFolderPath(path, drive);
    EXPECT_NE(code, 206);
    EXPECT_NE(code, 161);
    EXPECT_FALSE(PathExists(path));
}

TEST(CheckFolderPath, RelativePathsResolveAgainstTheCurrentFolder) {
    wchar_t saved[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, saved);
    Forget(L"C:\\zel-pc-cwd");
    ASSERT_TRUE(::CreateDirectoryW(L"C:\\zel-pc-cwd", nullptr));
    ASSERT_TRUE(::CreateDirectoryW(L"C:\\zel-pc-cwd\\inner", nullptr));
    ASSERT_TRUE(::SetCurrentDirectoryW(L"C:\\zel-pc-cwd\\inner"));

    CUtil util;
    std::wstring drive;
    EXPECT_EQ(util.CheckFolderPath(L"..\\zel-out\\x", drive), 0);
    EXPECT_EQ(Narrow(drive), "C:");
    EXPECT_EQ(Narrow(util.GetCreatedTopFolder()), "C:\\zel-pc-cwd\\zel-out");
    EXPECT_FALSE(PathExists(L"C:\\zel-pc-cwd\\zel-out"));

    Forget(L"C:\\zel-pc-root");
    EXPECT_EQ(util.CheckFolderPath(L"\\..\\zel-pc-root", drive), 0);
    EXPECT_EQ(Narrow(util.GetCreatedTopFolder()), "C:\\zel-pc-root");
    EXPECT_FALSE(PathExists(L"C:\\zel-pc-root"));

    ::SetCurrentDirectoryW(saved);
    CUtilPaths::RemoveFolderTree(L"C:\\zel-pc-cwd");
}

TEST(CheckFolderPath, ACheckThatCreatesNothingKeepsTheCreatedTopFolder) {
    CUtil util;
    std::wstring drive;
    Forget(L"C:\\zel-pc-keep");
    ASSERT_EQ(util.CheckFolderPath(L"C:\\zel-pc-keep\\Pkg", drive), 0);
    ASSERT_EQ(Narrow(util.GetCreatedTopFolder()), "C:\\zel-pc-keep");

    EXPECT_EQ(util.CheckFolderPath(L"C:\\", drive), 0);
    EXPECT_EQ(util.CheckFolderPath(L"C:\\a?b", drive), 161);
    EXPECT_EQ(Narrow(util.GetCreatedTopFolder()), "C:\\zel-pc-keep");

    // The next check that creates a folder names its own.
    Forget(L"C:\\zel-pc-next");
    EXPECT_EQ(util.CheckFolderPath(L"C:\\zel-pc-next", drive), 0);
    EXPECT_EQ(Narrow(util.GetCreatedTopFolder()), "C:\\zel-pc-next");
}

TEST(CheckFolderPath, FailedLevelKeepsTheLevelsMadeBefore) {
    if (!ReadOnlyReady()) GTEST_SKIP() << "drive fixture not set up (run through ctest)";
    // C:\zel-pc-up is made, then a level inside the immutable folder cannot
    // be: the made level stays for the clean-up to find.
    CUtil util;
    Forget(L"C:\\zel-pc-up");
    EXPECT_EQ(util.CreateMissingFolders(L"C:", L"\\zel-pc-up\\..\\zel-paths-fixture\\readonly\\x"), -1);
    EXPECT_TRUE(PathExists(L"C:\\zel-pc-up"));
    EXPECT_EQ(Narrow(util.GetCreatedTopFolder()), "C:\\zel-pc-up");
    CUtilPaths::RemoveFolderTree(L"C:\\zel-pc-up");
}

TEST(IsValidPathPart, Table) {
    const std::pair<const wchar_t*, int> cases[] = {
        {L"..", 1},   {L"a..b", 0}, {L"...", 0},      {L".", 0},       {L"CON", 0}, {L"con", 0},
        {L"Lpt5", 0}, {L"COM9", 0}, {L"CON.txt", 1},  {L"com10", 1},   {L"COM0", 1}, {L"LPT", 1},
        {L"x", 1},    {L".x", 1},   {L"a.b", 1},      {L"nul ", 1},
    };
    for (const auto& [part, valid] : cases) EXPECT_EQ(CUtilPaths::IsValidPathPart(part), valid) << Narrow(part);
}

// ---------------------------------------------------------------------------
// Folder removal

// Builds root\{a.txt, ro.txt (read-only), open.txt, sub\{c.txt, ro2.txt}, z.txt}
// and returns the root's entries in listing order.
std::vector<std::wstring> BuildTree(const std::wstring& root) {
    ::CreateDirectoryW(root.c_str(), nullptr);
    for (const wchar_t* name : {L"a.txt", L"ro.txt", L"open.txt", L"z.txt"}) Touch(root + L"\\" + name);
    ::CreateDirectoryW((root + L"\\sub").c_str(), nullptr);
    Touch(root + L"\\sub\\c.txt");
    Touch(root + L"\\sub\\ro2.txt");
    ::SetFileAttributesW((root + L"\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesW((root + L"\\sub\\ro2.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    std::vector<std::wstring> order;
    WIN32_FIND_DATAW data;
    zel::UniqueFindHandle find(::FindFirstFileW((root + L"\\*").c_str(), &data));
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") order.push_back(name);
    } while (::FindNextFileW(find.get(), &data));
    return order;
}

zel::UniqueHandle HoldOpen(const std::wstring& path) {
    return zel::UniqueHandle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST(FolderRemoval, ReadOnlyFilesResistAPlainDelete) {
    // Without this the read-only rows below would prove nothing.
    zel_test::TempDir dir;
    Touch(dir.File(L"ro.txt"));
    ::SetFileAttributesW(dir.File(L"ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(::DeleteFileW(dir.File(L"ro.txt").c_str()));
    ::SetFileAttributesW(dir.File(L"ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// DeleteFolderTree and RemoveFolderTree: a file that cannot be deleted ends
// the listing; what was listed before it is gone, what comes after stays.
TEST(FolderRemoval, AFileThatStaysEndsTheListing) {
    for (int remover = 0; remover < 2; ++remover) {
        SCOPED_TRACE(remover == 0 ? "DeleteFolderTree" : "RemoveFolderTree");
        zel_test::TempDir dir;
        std::wstring root = dir.Path() + L"tree";
        std::vector<std::wstring> order = BuildTree(root);
        zel::UniqueHandle open = HoldOpen(root + L"\\open.txt");
        ASSERT_TRUE(open.valid());

        int result = remover == 0 ? CUtilPaths::DeleteFolderTree(root) : CUtilPaths::RemoveFolderTree(root);
        EXPECT_EQ(result, 0);
        bool afterOpen = false;
        for (const auto& name : order) {
            if (name == L"open.txt") afterOpen = true;
            EXPECT_EQ(PathExists(root + L"\\" + name), afterOpen) << Narrow(name);
        }
        open.reset();
        EXPECT_NE(CUtilPaths::DeleteFolderTree(root), 0);
        EXPECT_FALSE(PathExists(root));
    }
}

TEST(FolderRemoval, DeleteFolderCollectListsFilesAndGoesOn) {
    zel_test::TempDir dir;
    std::wstring root = dir.Path() + L"tree";
    std::vector<std::wstring> order = BuildTree(root);
    Touch(root + L"\\open2.txt");
    zel::UniqueHandle open = HoldOpen(root + L"\\open.txt");
    zel::UniqueHandle open2 = HoldOpen(root + L"\\open2.txt");

    StringList notDeleted{L"earlier"};
    EXPECT_EQ(CUtilPaths::DeleteFolderCollect(root, notDeleted), 0);

    // Both held files, at the front in reverse listing order; nothing else stays.
    ASSERT_EQ(notDeleted.size(), 3u);
    EXPECT_EQ(Narrow(notDeleted.back()), "earlier");
    std::vector<std::wstring> collected(notDeleted.begin(), std::prev(notDeleted.end()));
    EXPECT_TRUE((collected == std::vector<std::wstring>{root + L"\\open2.txt", root + L"\\open.txt"}) ||
                (collected == std::vector<std::wstring>{root + L"\\open.txt", root + L"\\open2.txt"}));
    for (const auto& name : order)
        if (name != L"open.txt") { EXPECT_FALSE(PathExists(root + L"\\" + name)) << Narrow(name); }
}

TEST(FolderRemoval, SubfolderThatStaysEndsTheListingForEveryRemover) {
    for (int remover = 0; remover < 3; ++remover) {
        SCOPED_TRACE(remover);
        zel_test::TempDir dir;
        std::wstring root = dir.Path() + L"tree";
        std::vector<std::wstring> order = BuildTree(root);
        zel::UniqueHandle open = HoldOpen(root + L"\\sub\\c.txt");
        StringList notDeleted;
        int result = remover == 0   ? CUtilPaths::DeleteFolderTree(root)
                     : remover == 1 ? CUtilPaths::RemoveFolderTree(root)
                                    : CUtilPaths::DeleteFolderCollect(root, notDeleted);
        EXPECT_EQ(result, 0);
        // DeleteFolderCollect hands a subfolder to RemoveFolderTree: its
        // files are not collected, and its failure ends the listing.
        EXPECT_TRUE(notDeleted.empty());
        bool afterSub = false;
        for (const auto& name : order) {
            if (name == L"sub") afterSub = true;
            EXPECT_EQ(PathExists(root + L"\\" + name), afterSub) << Narrow(name);
        }
        EXPECT_TRUE(PathExists(root + L"\\sub\\c.txt"));
    }
}

TEST(FolderRemoval, PathThatIsNoFolder) {
    zel_test::TempDir dir;
    Touch(dir.File(L"file.txt"));
    StringList notDeleted;
    EXPECT_EQ(CUtilPaths::DeleteFolderTree(dir.File(L"file.txt")), -1);
    EXPECT_EQ(CUtilPaths::DeleteFolderTree(dir.File(L"missing")), -1);
    EXPECT_EQ(CUtilPaths::RemoveFolderTree(dir.File(L"file.txt")), 0);
    EXPECT_EQ(CUtilPaths::DeleteFolderCollect(dir.File(L"missing"), notDeleted), 0);
    EXPECT_TRUE(PathExists(dir.File(L"file.txt")));
    EXPECT_TRUE(notDeleted.empty());
}

TEST(FolderRemoval, LinksInsideTheTreeAreNeverFollowed) {
    if (!FixtureReady()) GTEST_SKIP() << "drive fixture not set up (run through ctest)";
    // Wine cannot make a junction or symbolic link from the Windows side; the
    // fixture made Unix links, which Wine shows as reparse-point folders but
    // cannot remove without touching their target. So the link stays there.
    const std::wstring keep = kFixture + L"linktarget\\keep.txt";
    for (const wchar_t* remover : {L"DeleteFolderTree", L"RemoveFolderTree", L"DeleteFolderCollect"}) {
        SCOPED_TRACE(Narrow(remover));
        std::wstring root = kFixture + L"linktrees\\" + remover;
        ASSERT_TRUE(PathExists(root + L"\\link\\keep.txt"));
        DWORD linkAttributes = ::GetFileAttributesW((root + L"\\link").c_str());
        ASSERT_TRUE(linkAttributes & FILE_ATTRIBUTE_REPARSE_POINT);

        StringList notDeleted;
        std::wstring name = remover;
        int result = name == L"DeleteFolderTree"   ? CUtilPaths::DeleteFolderTree(root)
                     : name == L"RemoveFolderTree" ? CUtilPaths::RemoveFolderTree(root)
                                                   : CUtilPaths::DeleteFolderCollect(root, notDeleted);
        EXPECT_TRUE(PathExists(keep)) << "the link's target was entered";
        EXPECT_EQ(zel_test::ReadBytes(keep), "keep\n");
        if (OnWine()) {
            EXPECT_EQ(result, 0);
            EXPECT_TRUE(PathExists(root + L"\\link"));
            if (name == L"DeleteFolderCollect") { EXPECT_EQ(ToVector(notDeleted), std::vector<std::wstring>{root + L"\\link"}); }
        } else {
            EXPECT_NE(result, 0);
            EXPECT_FALSE(PathExists(root));
        }
    }
    // A link handed over as the folder itself.
    EXPECT_EQ(CUtilPaths::DeleteFolderTree(kFixture + L"toplink"), OnWine() ? 0 : 1);
    EXPECT_TRUE(PathExists(keep));
}

TEST(ClearReadOnly, ClearsAllAttributesOnlyWhenReadOnly) {
    zel_test::TempDir dir;
    Touch(dir.File(L"ro.txt"));
    Touch(dir.File(L"hidden.txt"));
    ::SetFileAttributesW(dir.File(L"ro.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesW(dir.File(L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);

    EXPECT_EQ(CUtilPaths::ClearReadOnly(dir.File(L"ro.txt")), 0u);
    EXPECT_EQ(::GetFileAttributesW(dir.File(L"ro.txt").c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
    EXPECT_EQ(CUtilPaths::ClearReadOnly(dir.File(L"hidden.txt")), 0u);
    EXPECT_TRUE(::GetFileAttributesW(dir.File(L"hidden.txt").c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(CUtilPaths::ClearReadOnly(dir.File(L"missing.txt")), 0u);
}

// ---------------------------------------------------------------------------
// Folder creation and the write test

TEST(CreateFolderChain, CreatesEveryLevelOfTheFileFolder) {
    Forget(L"C:\\zel-chain");
    EXPECT_EQ(CUtilPaths::CreateFolderChain(L"C:\\zel-chain\\a\\b\\file.log"), 0);
    EXPECT_TRUE(::PathIsDirectoryW(L"C:\\zel-chain\\a\\b"));
    EXPECT_FALSE(PathExists(L"C:\\zel-chain\\a\\b\\file.log"));
    EXPECT_EQ(CUtilPaths::CreateFolderChain(L"C:\\zel-chain\\a\\b\\file.log"), 0) << "existing levels are no failure";
    EXPECT_EQ(CUtilPaths::CreateFolderChain(L"file.log"), 0);
    EXPECT_EQ(CUtilPaths::CreateFolderChain(L"C:\\file.log"), 0);
    CUtilPaths::RemoveFolderTree(L"C:\\zel-chain");

    if (FixtureReady()) {
        EXPECT_EQ(CUtilPaths::CreateFolderChain(L"\\\\zelsrv\\share\\zel-chain\\x\\f.log"), 0);
        EXPECT_TRUE(::PathIsDirectoryW(L"\\\\zelsrv\\share\\zel-chain\\x"));
        CUtilPaths::RemoveFolderTree(L"\\\\zelsrv\\share\\zel-chain");
    }
    if (ReadOnlyReady()) { EXPECT_EQ(CUtilPaths::CreateFolderChain(kFixture + L"readonly\\x\\f.log"), -1); }
}

TEST(CreateFolderWithParents, CreatesMissingParents) {
    zel_test::TempDir dir;
    CUtilPaths::CreateFolderWithParents(dir.Path() + L"a\\b\\c");
    EXPECT_TRUE(::PathIsDirectoryW((dir.Path() + L"a\\b\\c").c_str()));
    // A trailing backslash, and a folder that is there already.
    CUtilPaths::CreateFolderWithParents(dir.Path() + L"a\\d\\");
    CUtilPaths::CreateFolderWithParents(dir.Path() + L"a\\b");
    EXPECT_TRUE(::PathIsDirectoryW((dir.Path() + L"a\\d").c_str()));
    EXPECT_TRUE(::PathIsDirectoryW((dir.Path() + L"a\\b\\c").c_str()));
}

TEST(CanWriteInFolder, LeavesNoFileBehind) {
    zel_test::TempDir dir;
    EXPECT_EQ(CUtilPaths::CanWriteInFolder(dir.Path(), L"zel"), 1);
    WIN32_FIND_DATAW data;
    zel::UniqueFindHandle find(::FindFirstFileW((dir.Path() + L"*.tmp").c_str(), &data));
    EXPECT_FALSE(find.valid());
    EXPECT_EQ(CUtilPaths::CanWriteInFolder(dir.Path() + L"missing\\", L""), 0);
    if (ReadOnlyReady()) { EXPECT_EQ(CUtilPaths::CanWriteInFolder(kFixture + L"readonly", L""), 0); }
}

// ---------------------------------------------------------------------------
// Text and path helpers

TEST(ExpandPathVariable, Table) {
    ::SetEnvironmentVariableW(L"ZELTEST", L"C:\\Tmp");
    ::SetEnvironmentVariableW(L"ZELEMPTY", L"");
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"%ZELTEST%\\Pkg", L"C:\\Tmp\\Pkg"},
        {L"%zeltest%\\Pkg", L"C:\\Tmp\\Pkg"},
        {L"%ZELNOSUCHVAR%\\Pkg", L""},
        {L"%ZELEMPTY%\\Pkg", L""},
        {L"C:\\%ZELTEST%\\Pkg", L"C:\\%ZELTEST%\\Pkg"},
        {L"%ZELTEST%\\%USERNAME%", L"C:\\Tmp\\%USERNAME%"},
        {L"%ZELTEST%", L"C:\\Tmp"},
        {L"%ZELTEST", L"C:\\Tmp"},
        {L"%%ZELTEST", L"C:\\Tmp"},  // the empty name is dropped, the rest becomes the name
        {L"%", L""},
        {L"", L""},
        {L"Pkg", L"Pkg"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(Narrow(CUtilPaths::ExpandPathVariable(text)), Narrow(expected)) << Narrow(text);
    ::SetEnvironmentVariableW(L"ZELTEST", nullptr);
    ::SetEnvironmentVariableW(L"ZELEMPTY", nullptr);
}

TEST(SplitText, HeadHoldsTheLastToken) {
    struct Case {
        std::wstring text;
        wchar_t delimiter;
        std::vector<std::wstring> list;  // head first
    };
    const Case cases[] = {
        {.text = L" a ; ;b ", .delimiter = L';', .list = {L"b", L"a"}},
        {.text = L"a;b;c", .delimiter = L';', .list = {L"c", L"b", L"a"}},
        {.text = L"C:\\Program Files\\Pkg\\", .delimiter = L'\\', .list = {L"Pkg", L"Program Files", L"C:"}},
        {.text = L"a  b\tc", .delimiter = L' ', .list = {L"b\tc", L"a"}},
        {.text = L"x", .delimiter = L',', .list = {L"x"}},
        {.text = L"", .delimiter = L';', .list = {}},
        {.text = L";; ;", .delimiter = L';', .list = {}},
    };
    for (const auto& c : cases) {
        StringList list;
        CUtilPaths::SplitText(c.text, c.delimiter, list);
        EXPECT_EQ(ToVector(list), c.list) << Narrow(c.text);
    }
    StringList list{L"old"};
    CUtilPaths::SplitText(L"a;b", L';', list);
    EXPECT_EQ(ToVector(list), (std::vector<std::wstring>{L"b", L"a", L"old"}));
}

TEST(ReadSection, FirstOccurrenceWinsAndKeysAreLowerCase) {
    zel_test::TempDir dir;
    std::wstring file = dir.File(L"Properties_Tavo.ini");
    zel_test::WriteUtf16File(file,
                             L"[Codes]\r\nMode=1\r\nmode=2\r\nSuccess=0;3010\r\nNoEquals\r\nEmpty=\r\nA=b=c\r\n"
                             L"[Other]\r\nx=1\r\n");
    std::map<std::wstring, std::wstring> values{{L"kept", L"yes"}};
    CUtilPaths::ReadSection(file, L"CODES", values, 0);
    const std::map<std::wstring, std::wstring> expected{{L"kept", L"yes"},        {L"mode", L"1"},
                                                        {L"success", L"0;3010"}, {L"", L"NoEquals"},
                                                        {L"empty", L""},         {L"a", L"b=c"}};
    EXPECT_EQ(values, expected);

    CUtilPaths::ReadSection(file, L"Missing", values, 0);
    CUtilPaths::ReadSection(dir.File(L"missing.ini"), L"Codes", values, 0);
    EXPECT_EQ(values, expected);
}

TEST(ReadSection, CutsTheSectionAt2000Characters) {
    zel_test::TempDir dir;
    std::wstring file = dir.File(L"big.ini");
    std::wstring text = L"[Big]\r\n";
    for (int i = 0; i < 150; ++i) {
        wchar_t line[32];
        swprintf(line, 32, L"k%03d=vvvvvvvvvvvvvvv\r\n", i);  // 20 characters a line
        text += line;
    }
    zel_test::WriteUtf16File(file, text);
    std::map<std::wstring, std::wstring> values;
    CUtilPaths::ReadSection(file, L"Big", values, 4096);
    // 95 lines of 20 characters and their terminators fill 1995 of 2000.
    EXPECT_EQ(values.size(), 95u);
    EXPECT_EQ(Narrow(values[L"k000"]), "vvvvvvvvvvvvvvv");
    EXPECT_EQ(Narrow(values[L"k094"]), "vvvvvvvvvvvvvvv");
    EXPECT_EQ(values.count(L"k095"), 0u);
}

TEST(UserSpecificPath, Table) {
    wchar_t user[257] = {};
    DWORD size = 257;
    ASSERT_TRUE(::GetUserNameW(user, &size));
    const std::wstring u = user;
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\Logs\\Tavo.log", L"C:\\Logs\\Tavo_" + u + L".log"},
        {L"C:\\Logs\\Tavo", L"C:\\Logs\\Tavo"},
        {L"C:\\Logs.d\\Tavo", L"C:\\Logs.d\\Tavo"},
        {L"\\\\srv\\share\\a.b.log", L"\\\\srv\\share\\a.b_" + u + L".log"},
        {L"Tavo.log", L"Tavo_" + u + L".log"},
        // A space after the last dot: no extension.
        {L"C:\\Logs\\My log.old file", L"C:\\Logs\\My log.old file"},
        // A forward slash ends the folder part as well.
        {L"C:/Logs/Tavo.log", L"Tavo_" + u + L".log"},
        {L"", L""},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(Narrow(CUtilPaths::UserSpecificPath(path)), Narrow(expected)) << Narrow(path);
}

TEST(GetDriveRoot, Table) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"\\\\srv\\share\\x", L"\\\\srv\\"}, {L"D:\\x", L"D:"}, {L"\\\\srv", L""},
        {L"\\\\", L"\\\\"},                    {L"D", L"D"},       {L"", L""},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(Narrow(CUtilPaths::GetDriveRoot(path)), Narrow(expected)) << Narrow(path);
}

TEST(GetExtensionAndBaseName, Table) {
    struct Case {
        const wchar_t *name, *extension, *base;
    };
    const Case cases[] = {
        {.name = L"a.log", .extension = L"log", .base = L"a"},
        {.name = L"a.lg", .extension = L"", .base = L""},
        {.name = L"Setup.part.001", .extension = L"001", .base = L"Setup.part"},
        {.name = L"noextension", .extension = L"", .base = L""},
        {.name = L"abcd.", .extension = L"", .base = L"abcd"},
        {.name = L"", .extension = L"", .base = L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Narrow(CUtilPaths::GetExtension(c.name)), Narrow(c.extension)) << Narrow(c.name);
        EXPECT_EQ(Narrow(CUtilPaths::GetBaseName(c.name)), Narrow(c.base)) << Narrow(c.name);
    }
}

TEST(SplitPath, FileNameAndFolder) {
    EXPECT_EQ(Narrow(CUtilPaths::SplitPath(L"C:\\Logs\\a.log", 1)), "a.log");
    EXPECT_EQ(Narrow(CUtilPaths::SplitPath(L"C:\\Logs\\a.log", 0)), "C:\\Logs\\");
    EXPECT_EQ(Narrow(CUtilPaths::SplitPath(L"\\a.log", 1)), "\\a.log");
    EXPECT_EQ(Narrow(CUtilPaths::SplitPath(L"\\a.log", 2)), "");
    EXPECT_EQ(Narrow(CUtilPaths::SplitPath(L"a.log", 2)), "");
}

TEST(TextToNumber, Table) {
    struct Case {
        const wchar_t* text;
        int32_t n32;
        int16_t n16;
        int64_t n64;
    };
    const Case cases[] = {
        {.text = L"42", .n32 = 42, .n16 = 42, .n64 = 42},
        {.text = L"  \t-7x", .n32 = -7, .n16 = -7, .n64 = -7},
        {.text = L"+12", .n32 = 12, .n16 = 12, .n64 = 12},
        {.text = L"abc", .n32 = 0, .n16 = 0, .n64 = 0},
        {.text = L"", .n32 = 0, .n16 = 0, .n64 = 0},
        {.text = L"- 5", .n32 = 0, .n16 = 0, .n64 = 0},
        {.text = L"65537", .n32 = 65537, .n16 = 1, .n64 = 65537},
        {.text = L"70000", .n32 = 70000, .n16 = 4464, .n64 = 70000},
        {.text = L"9000000000", .n32 = INT32_MAX, .n16 = -1, .n64 = 9000000000LL},
        {.text = L"-9000000000", .n32 = INT32_MIN, .n16 = 0, .n64 = -9000000000LL},
        {.text = L"99999999999999999999", .n32 = INT32_MAX, .n16 = -1, .n64 = INT64_MAX},
    };
    for (const auto& c : cases) {
        int32_t n32 = 1;
        int16_t n16 = 1;
        int64_t n64 = 1;
        CUtilPaths::TextToNumber(c.text, n32);
        CUtilPaths::TextToNumber(c.text, n16);
        CUtilPaths::TextToNumber(c.text, n64);
        EXPECT_EQ(n32, c.n32) << Narrow(c.text);
        EXPECT_EQ(n16, c.n16) << Narrow(c.text);
        EXPECT_EQ(n64, c.n64) << Narrow(c.text);
    }
    // The 64-bit conversion reads at most 1024 bytes.
    int64_t n64 = 1;
    CUtilPaths::TextToNumber(std::wstring(1100, L' ') + L"5", n64);
    EXPECT_EQ(n64, 0);
}

TEST(SmallTextHelpers, StripBracesAndIsNumericText) {
    const std::pair<const wchar_t*, const wchar_t*> braces[] = {
        {L"{{ABC}}", L"ABC"}, {L"{ABC", L"ABC"}, {L"ABC}", L"ABC"}, {L"A{B}C", L"A{B}C"}, {L"{}", L""}, {L"", L""},
    };
    for (const auto& [text, expected] : braces) {
        std::wstring t = text;
        CUtilPaths::StripBraces(t);
        EXPECT_EQ(Narrow(t), Narrow(expected)) << Narrow(text);
    }
    EXPECT_EQ(CUtilPaths::IsNumericText(L""), 1);
    EXPECT_EQ(CUtilPaths::IsNumericText(L"6.1.7601"), 1);
    EXPECT_EQ(CUtilPaths::IsNumericText(L"6.1a"), 0);
    EXPECT_EQ(CUtilPaths::IsNumericText(L"-1"), 0);
}

TEST(NewGuidText, BracedUpperCaseAndFresh) {
    std::wstring a = CUtilPaths::NewGuidText(), b = CUtilPaths::NewGuidText();
    ASSERT_EQ(a.size(), 38u);
    EXPECT_NE(a, b);
    // A random GUID: version 4, variant 10xx.
    EXPECT_EQ(a[15], L'4') << Narrow(a);
    EXPECT_NE(std::wstring(L"89AB").find(a[20]), std::wstring::npos) << Narrow(a);
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t c = a[i];
        if (i == 0) { EXPECT_EQ(c, L'{'); }
        else if (i == 37) { EXPECT_EQ(c, L'}'); }
        else if (i == 9 || i == 14 || i == 19 || i == 24) { EXPECT_EQ(c, L'-'); }
        else { EXPECT_TRUE((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')) << Narrow(a); }
    }
}

TEST(FileExists, SearchRules) {
    zel_test::TempDir dir;
    Touch(dir.File(L"a.txt"));
    EXPECT_EQ(CUtilPaths::FileExists(dir.File(L"a.txt")), 1);
    EXPECT_EQ(CUtilPaths::FileExists(dir.File(L"*.txt")), 1);
    EXPECT_EQ(CUtilPaths::FileExists(dir.Path().substr(0, dir.Path().size() - 1)), 1);
    EXPECT_EQ(CUtilPaths::FileExists(dir.Path()), 0);
    EXPECT_EQ(CUtilPaths::FileExists(dir.File(L"b.txt")), 0);
    EXPECT_EQ(CUtilPaths::FileExists(L""), 0);
    std::wstring longPath = dir.Path() + L"a.txt";
    while (longPath.size() < 256) longPath.insert(dir.Path().size(), L".\\");
    EXPECT_EQ(CUtilPaths::FileExists(longPath), 0);
}

TEST(ExePath, NameAndFolderJoinToThePath) {
    std::wstring path = CUtilPaths::GetExePath();
    EXPECT_EQ(Narrow(CUtilPaths::GetExeName()), "unit_tests.exe");
    EXPECT_EQ(Narrow(CUtilPaths::GetExeFolder() + L"\\" + CUtilPaths::GetExeName()), Narrow(path));
}

TEST(GetErrorMessage, PlatformTextOrEmpty) {
    std::wstring text = CUtilPaths::GetErrorMessage(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), L'\n');
    EXPECT_EQ(CUtilPaths::GetErrorMessage(0x2000FFFF), L"");
}

}  // namespace
