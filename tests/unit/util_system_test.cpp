#include "platform/Util.h"
#include "platform/UtilSystem.h"
#include "framework/Handles.h"

#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <list>
#include <map>
#include <string>
#include <vector>

namespace {

using Names = std::list<std::wstring>;

using zel::SizeText;

TEST(SizeText, UnitsAreTakenOnlyAboveThem) {
    EXPECT_EQ(zel::SizeText(1572864), L"1.50 MB");
    EXPECT_EQ(zel::SizeText(1024), L"1.00 KB");
    EXPECT_EQ(zel::SizeText(1048576), L"1024.00 KB");
    EXPECT_EQ(zel::SizeText(1073741824), L"1024.00 MB");
    EXPECT_EQ(zel::SizeText(1073741825), L"1.00 GB");
    EXPECT_EQ(zel::SizeText(13421772800ULL), L"12.50 GB");
    EXPECT_EQ(zel::SizeText(0), L"0.00 KB");
}

TEST(ToSizeUnit, ChoosesTheUnitOnlyAboveItsFactor) {
    const struct {
        long long bytes;
        const wchar_t* text;
    } cases[] = {
        {0, L"0.00 KB"},
        {512, L"0.50 KB"},
        {1048576, L"1024.00 KB"},
        {1048577, L"1.00 MB"},
        {1073741824, L"1024.00 MB"},
        {1073741825, L"1.00 GB"},
        {107374182400LL, L"100.00 GB"},
        {5LL * 1073741824 * 1024, L"5120.00 GB"},
    };
    for (const auto& c : cases) EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;
}

TEST(LanguageIdToName, NamesKnownIdsAndNothingElse) {
    const struct {
        int id;
        const wchar_t* name;
    } cases[] = {
        {0, L"Language Independent"},
        {1025, L"Arabic (Saudi Arabia)"},
        {1030, L"Danish"},
        {1031, L"German"},
        {1033, L"English"},
        {1036, L"French(France)"},
        {1044, L"Norwegian (Bokmal)"},
        {2052, L"Chinese (Simplified)"},
        {3082, L"Spanish - Modern Sort"},
        {3098, L"Serbian (Cyrillic)"},
        {1039, L"Unknown"},
        {1047, L"Unknown"},
        {-1, L"Unknown"},
        {65535, L"Unknown"},
    };
    for (const auto& c : cases) EXPECT_EQ(CUtilSystem::LanguageIdToName(c.id), c.name) << c.id;
}

TEST(DriveSpaceText, TotalUsedAndFreeJoinedByTabs) {
    const unsigned long long GiB = 1073741824ULL;
    EXPECT_EQ(zel::FormatDriveSpaceText(100 * GiB, 40 * GiB),
              L"Total Space: 100.00 GB\tUsed space: 60.00 GB\tFree space: 40.00 GB");
    EXPECT_EQ(zel::FormatDriveSpaceText(2 * 1048576ULL, 1048576ULL),
              L"Total Space: 2.00 MB\tUsed space: 1024.00 KB\tFree space: 1024.00 KB");
    // Free space above the total must not wrap "used" round to a huge count.
    EXPECT_EQ(zel::FormatDriveSpaceText(1024, 4096),
              L"Total Space: 1.00 KB\tUsed space: 0.00 KB\tFree space: 4.00 KB");
}

// A made-up machine: letter -> (type, free bytes).
struct FakeMachine {
    std::map<wchar_t, std::pair<UINT, unsigned long long>> drives;

    DWORD Mask() const {
        DWORD mask = 0;
        for (const auto& d : drives) mask |= 1u << (d.first - L'A');
        return mask;
    }
    zel::DriveQueries Queries() const {
        zel::DriveQueries q;
        q.driveType = [this](const std::wstring& root) { return drives.at(root[0]).first; };
        q.freeBytes = [this](const std::wstring& root) { return drives.at(root[0]).second; };
        return q;
    }
    Names Select(UINT type, bool checkSpace = false, unsigned long long needed = 0, int* result = nullptr) const {
        Names list;
        int r = zel::SelectDrives(Mask(), Queries(), type, checkSpace, needed, list);
        if (result) *result = r;
        return list;
    }
};

TEST(SelectDrives, HighestLetterAtTheHead) {
    FakeMachine m{{{L'C', {DRIVE_FIXED, 100}}, {L'D', {DRIVE_FIXED, 50}}, {L'E', {DRIVE_CDROM, 0}},
                   {L'S', {DRIVE_REMOTE, 900}}}};
    EXPECT_EQ(m.Select(DRIVE_FIXED), (Names{L"D:\\", L"C:\\"}));
    EXPECT_EQ(m.Select(DRIVE_CDROM), (Names{L"E:\\"}));
    int result = -1;
    EXPECT_EQ(m.Select(DRIVE_REMOTE, false, 0, &result), Names{});
    EXPECT_EQ(result, 0);
}

TEST(SelectDrives, FixedDrivesNeedTheRoomAskedFor) {
    FakeMachine m{{{L'C', {DRIVE_FIXED, 100}}, {L'D', {DRIVE_FIXED, 50}}, {L'E', {DRIVE_CDROM, 0}},
                   {L'F', {DRIVE_REMOTE, 900}}}};
    EXPECT_EQ(m.Select(DRIVE_FIXED, true, 50), (Names{L"D:\\", L"C:\\"}));  // exactly enough
    EXPECT_EQ(m.Select(DRIVE_FIXED, true, 51), (Names{L"C:\\"}));
    int result = -1;
    EXPECT_EQ(m.Select(DRIVE_FIXED, true, 101, &result), Names{});
    EXPECT_EQ(result, 0);
    // A CD-ROM is listed by its type alone.
    EXPECT_EQ(m.Select(DRIVE_CDROM, true, 1000), (Names{L"E:\\"}));
}

TEST(SelectDrives, EmptyMaskIsAnErrorAndInsertsAtTheFront) {
    Names list{L"X"};
    zel::DriveQueries q;
    q.driveType = [](const std::wstring&) -> UINT { return DRIVE_FIXED; };
    EXPECT_EQ(zel::SelectDrives(0, q, DRIVE_FIXED, false, 0, list), -1);
    EXPECT_EQ(list, Names{L"X"});
    EXPECT_EQ(zel::SelectDrives((1u << 25) | 1u, q, DRIVE_FIXED, false, 0, list), 0);
    EXPECT_EQ(list, (Names{L"Z:\\", L"A:\\", L"X"}));
}

// A registry key of the test's own, removed with everything in it at the end.
class RegistryFixture : public ::testing::Test {
protected:
    static constexpr const wchar_t* kBase = L"Software\\ZelSysinfoTest";

    void TearDown() override { ::SHDeleteKeyW(HKEY_CURRENT_USER, kBase); }

    HKEY Create(const std::wstring& sub, REGSAM extra = 0, HKEY root = HKEY_CURRENT_USER,
                const std::wstring& base = kBase) {
        HKEY key = nullptr;
        std::wstring path = sub.empty() ? base : base + L"\\" + sub;
        EXPECT_EQ(::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | extra, nullptr,
                                    &key, nullptr),
                  ERROR_SUCCESS);
        keys_.emplace_back(key);
        return key;
    }
    static void SetString(HKEY key, const wchar_t* name, const std::wstring& text) {
        DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
        ASSERT_EQ(::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes),
                  ERROR_SUCCESS);
    }
    static void SetDword(HKEY key, const wchar_t* name, DWORD value) {
        ASSERT_EQ(::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                   sizeof(value)),
                  ERROR_SUCCESS);
    }

private:
    std::vector<zel::UniqueRegKey> keys_;
};

TEST_F(RegistryFixture, ReadRegDwordGivesTheValueOrTheDefault) {
    HKEY key = Create(L"");
    SetDword(key, L"Answer", 42);
    SetDword(key, L"Big", 0xFFFFFFFEu);
    EXPECT_EQ(CUtilSystem::ReadRegDword(key, L"Answer", 7), 42u);
    EXPECT_EQ(CUtilSystem::ReadRegDword(key, L"Big", 7), 0xFFFFFFFEu);
    EXPECT_EQ(CUtilSystem::ReadRegDword(key, L"Missing", static_cast<DWORD>(-1)), static_cast<DWORD>(-1));
    // A key the caller could not open.
    EXPECT_EQ(CUtilSystem::ReadRegDword(nullptr, L"Answer", 7), 7u);
    EXPECT_EQ(CUtilSystem::ReadRegString(nullptr, L"Answer", 2048), L"");
}

TEST_F(RegistryFixture, ReadRegStringStopsAtTheBufferAndTheFirstNul) {
    HKEY key = Create(L"");
    SetString(key, L"Name", L"Hello world");
    SetString(key, L"Long", std::wstring(2000, L'x'));
    // Binary data has no terminating NUL for the reader to stop at.
    ASSERT_EQ(::RegSetValueExW(key, L"Bare", 0, REG_BINARY, reinterpret_cast<const BYTE*>(L"abcd"), 8),
              ERROR_SUCCESS);
    const wchar_t twoStrings[] = L"first\0second";
    ASSERT_EQ(::RegSetValueExW(key, L"Two", 0, REG_SZ, reinterpret_cast<const BYTE*>(twoStrings),
                               sizeof(twoStrings)),
              ERROR_SUCCESS);

    EXPECT_EQ(CUtilSystem::ReadRegString(key, L"Name", 2048), L"Hello world");
    EXPECT_EQ(CUtilSystem::ReadRegString(key, L"Two", 2048), L"first");
    EXPECT_EQ(CUtilSystem::ReadRegString(key, L"Missing", 2048), L"");
    EXPECT_EQ(CUtilSystem::ReadRegString(key, L"Long", 2048), L"");  // does not fit: failed read
    EXPECT_EQ(CUtilSystem::ReadRegString(key, L"Long", 4002), std::wstring(2000, L'x'));
    EXPECT_EQ(CUtilSystem::ReadRegString(key, L"Bare", 8), L"abcd");
    EXPECT_EQ(CUtilSystem::ReadRegString(key, L"Name", 0), L"");
}

// A 32-bit program reads the 32-bit view of HKLM\Software unless its caller
// opened the key in the 64-bit view; the readers read whichever key they get.
TEST_F(RegistryFixture, ReadersFollowTheViewOfTheOpenedKey) {
    const wchar_t* base = L"Software\\ZelSysinfoViewTest";
    HKEY key32 = Create(L"", KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, base);
    HKEY key64 = Create(L"", KEY_WOW64_64KEY, HKEY_LOCAL_MACHINE, base);
    SetDword(key32, L"View", 32);
    SetDword(key64, L"View", 64);
    SetString(key32, L"Name", L"thirty-two");
    SetString(key64, L"Name", L"sixty-four");

    EXPECT_EQ(CUtilSystem::ReadRegDword(key32, L"View", 0), 32u);
    EXPECT_EQ(CUtilSystem::ReadRegDword(key64, L"View", 0), 64u);
    EXPECT_EQ(CUtilSystem::ReadRegString(key32, L"Name", 2048), L"thirty-two");
    EXPECT_EQ(CUtilSystem::ReadRegString(key64, L"Name", 2048), L"sixty-four");

    // The plain open of a 32-bit program lands in the 32-bit view.
    HKEY plain = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, base, 0, KEY_READ, &plain), ERROR_SUCCESS);
    zel::UniqueRegKey owner(plain);
    EXPECT_EQ(CUtilSystem::ReadRegDword(plain, L"View", 0), sizeof(void*) == 4 ? 32u : 64u);

    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        HKEY parent = nullptr;
        ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, base, 0, KEY_ALL_ACCESS | view, &parent), ERROR_SUCCESS);
        ::RegDeleteValueW(parent, L"View");
        ::RegDeleteValueW(parent, L"Name");
        ::RegCloseKey(parent);
    }
    ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, base);
}

TEST_F(RegistryFixture, ProcessorNamesLastKeyFirst) {
    SetString(Create(L"Cpu\\0"), L"ProcessorNameString", L"Alpha CPU");
    SetString(Create(L"Cpu\\1"), L"ProcessorNameString", L"Beta CPU");
    Names names;
    zel::ReadProcessorNames(HKEY_CURRENT_USER, std::wstring(kBase) + L"\\Cpu\\", names);
    EXPECT_EQ(names, (Names{L"Beta CPU", L"Alpha CPU"}));
}

TEST_F(RegistryFixture, ProcessorKeyWithoutNameEndsTheListWithAnEmptyName) {
    SetString(Create(L"Cpu\\0"), L"ProcessorNameString", L"Alpha CPU");
    Create(L"Cpu\\1");
    SetString(Create(L"Cpu\\2"), L"ProcessorNameString", L"never reached");
    Names names;
    zel::ReadProcessorNames(HKEY_CURRENT_USER, std::wstring(kBase) + L"\\Cpu\\", names);
    EXPECT_EQ(names, (Names{L"", L"Alpha CPU"}));

    Names none;
    zel::ReadProcessorNames(HKEY_CURRENT_USER, std::wstring(kBase) + L"\\NoSuchKey\\", none);
    EXPECT_TRUE(none.empty());
}

// A letter that the running system does not map.
std::wstring UnusedDriveRoot() {
    const DWORD mask = ::GetLogicalDrives();
    for (int i = 25; i >= 3; --i)
        if ((mask & (1u << i)) == 0) return std::wstring(1, static_cast<wchar_t>(L'A' + i)) + L":\\";
    return L"";
}

TEST(UtilSystemUnderWine, DriveQueries) {
    Names fixed;
    ASSERT_EQ(theUtil.ListDrives(fixed, DRIVE_FIXED), 0);
    EXPECT_NE(std::find(fixed.begin(), fixed.end(), L"C:\\"), fixed.end());
    // The repository drive is typed as a network drive by the test runner.
    EXPECT_EQ(std::find(fixed.begin(), fixed.end(), L"S:\\"), fixed.end());
    EXPECT_TRUE(std::is_sorted(fixed.rbegin(), fixed.rend()));

    Names roomy, none;
    ASSERT_EQ(theUtil.ListDrivesWithSpace(roomy, DRIVE_FIXED, 1), 0);
    EXPECT_NE(std::find(roomy.begin(), roomy.end(), L"C:\\"), roomy.end());
    ASSERT_EQ(theUtil.ListDrivesWithSpace(none, DRIVE_FIXED, ~0ULL), 0);
    EXPECT_TRUE(none.empty());

    EXPECT_GT(theUtil.GetFreeBytes(L"C:\\"), 0u);
    std::wstring text;
    theUtil.GetDriveSpaceText(L"C:\\", text);
    EXPECT_EQ(text.rfind(L"Total Space: ", 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), L'\t'), 2);
    EXPECT_FALSE(theUtil.GetFileSystemName(L"C:\\").empty());

    const std::wstring absent = UnusedDriveRoot();
    ASSERT_FALSE(absent.empty());
    EXPECT_EQ(theUtil.GetFreeBytes(absent), 0u);
    theUtil.GetDriveSpaceText(absent, text);
    EXPECT_EQ(text, L"No Information");
    EXPECT_EQ(theUtil.GetFileSystemName(absent), L"");
}

TEST(UtilSystemUnderWine, MachineFacts) {
    EXPECT_EQ(theUtil.GetUILanguage(), static_cast<int>(::GetUserDefaultUILanguage()));
    EXPECT_EQ(theUtil.IsUserAdmin(), 1);  // Wine's user is an administrator
    EXPECT_GT(theUtil.GetTotalMemory(), 16u * 1048576u);

    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD chars = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(::GetComputerNameW(name, &chars));
    EXPECT_EQ(theUtil.GetComputerNameText(), name);

    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_TRUE(::GetVersionExW(&info));
    EXPECT_EQ(theUtil.GetOSMajorVersion(), info.dwMajorVersion);

    SYSTEM_INFO system = {};
    ::GetSystemInfo(&system);
    Names processors;
    theUtil.GetProcessorNames(processors);
    ASSERT_FALSE(processors.empty());
    EXPECT_FALSE(processors.front().empty());
    EXPECT_EQ(processors.size(), system.dwNumberOfProcessors);
}

TEST(UtilSystemUnderWine, UserOutsideAdministratorsIsNoAdmin) {
    HANDLE processToken = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, &processToken));
    zel::UniqueHandle process(processToken);
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    ASSERT_TRUE(::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                           DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators));
    // The same user with the Administrators group turned into deny-only.
    SID_AND_ATTRIBUTES disabled = {administrators, 0};
    HANDLE restrictedToken = nullptr;
    const BOOL made = ::CreateRestrictedToken(process.get(), 0, 1, &disabled, 0, nullptr, 0, nullptr,
                                              &restrictedToken);
    ::FreeSid(administrators);
    ASSERT_TRUE(made);
    zel::UniqueHandle restricted(restrictedToken);

    ASSERT_TRUE(::ImpersonateLoggedOnUser(restricted.get()));
    const int admin = theUtil.IsUserAdmin();
    ::RevertToSelf();
    EXPECT_EQ(admin, 0);
    EXPECT_EQ(theUtil.IsUserAdmin(), 1);
}

}  // namespace
