#include "logging/LogSetup.h"
#include "payload/Initializer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

namespace {

TEST(WorkingFolder, CandidatesKeepingAccessListsComeFirst) {
    auto acl = [](const std::wstring& root) { return root == L"C:\\" || root == L"E:\\"; };
    using L = std::list<std::wstring>;
    EXPECT_EQ(OrderWorkingFolderCandidates(L{L"F:\\", L"E:\\", L"D:\\", L"C:\\"}, acl), (L{L"E:\\", L"C:\\"}));
    // No volume keeps access lists: the first candidate only.
    EXPECT_EQ(OrderWorkingFolderCandidates(L{L"F:\\", L"D:\\"}, acl), (L{L"F:\\"}));
    EXPECT_EQ(OrderWorkingFolderCandidates(L{}, acl), L{});
}

TEST(WorkingFolder, AccessListAdmitsOnlyAdministratorsSystemAndTheUser) {
    EXPECT_EQ(WorkingFolderSddl(L"S-1-5-21-1-2-3-1000"),
              L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;FA;;;S-1-5-21-1-2-3-1000)");

    zel_test::TempDir dir;
    std::wstring folder = dir.File(L"{private}");
    ASSERT_TRUE(CreatePrivateFolder(folder));
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(::GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                      nullptr, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    wchar_t* text = nullptr;
    ASSERT_TRUE(::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                                       DACL_SECURITY_INFORMATION, &text, nullptr));
    std::wstring sddl = text;
    ::LocalFree(text);
    ::LocalFree(descriptor);
    // Wine keeps only part of the list; whatever it keeps grants nothing to
    // Users, Everyone or Authenticated Users.
    for (const wchar_t* broad : {L";;;BU)", L";;;WD)", L";;;AU)", L";;;S-1-1-0)", L";;;S-1-5-11)"})
        EXPECT_EQ(sddl.find(broad), std::wstring::npos) << std::string(sddl.begin(), sddl.end());
    EXPECT_NE(sddl.find(L";;;SY)"), std::wstring::npos);
}

TEST(LogSetup, KeptNameUsesEnglishMonthsAndTwoDigits) {
    SYSTEMTIME t = {};
    t.wYear = 2026;
    t.wMonth = 12;
    t.wDay = 8;
    t.wHour = 14;
    t.wMinute = 3;
    t.wSecond = 59;
    EXPECT_EQ(KeptLogName(L"C:\\Logs\\", L"Pkg", t, L"log"), L"C:\\Logs\\Pkg_08Dec2026_14-03-59.log");
    t = {};
    t.wYear = 1970;
    t.wMonth = 1;
    t.wDay = 1;
    EXPECT_EQ(KeptLogName(L"C:\\L\\", L"a.b", t, L"txt"), L"C:\\L\\a.b_01Jan1970_00-00-00.txt");
}

TEST(LogSetup, RamSizeRoundsUpToWholeGigabytes) {
    EXPECT_EQ(GetRamSizeText(2147483648ul), L"2.00");
    EXPECT_EQ(GetRamSizeText(2147483648ul - 8 * 1048576ul), L"2.00");
    EXPECT_EQ(GetRamSizeText(2147483648ul + 1048576ul), L"3.00");
    EXPECT_EQ(GetRamSizeText(0), L"0.00");
}

}  // namespace
