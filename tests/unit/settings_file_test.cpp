#include "platform/SettingsFile.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    zel_test::TempDir dir;
    std::wstring path = dir.File(L"Properties_Tavo.ini");

    CSettingsFile Write(const std::wstring& text) {
        zel_test::WriteUtf16File(path, text);
        return CSettingsFile(path);
    }
};

TEST_F(SettingsFileTest, ReadsUtf16WithoutRegardToCase) {
    CSettingsFile ini = Write(
        L"[Package]\r\nName=Demo \u00e9\u4e2d\r\nAutoLaunch=1\r\nCount=42\r\n"
        L"[RunTime]\r\nCheckAdmin=yes\r\nWait=01\r\n");
    EXPECT_EQ(ini.GetString(L"PACKAGE", L"name"), L"Demo \u00e9\u4e2d");
    EXPECT_TRUE(ini.GetFlag(L"package", L"AUTOLAUNCH"));
    EXPECT_EQ(ini.GetInt(L"Package", L"Count"), 42);
    EXPECT_EQ(ini.GetInt(L"Package", L"Missing", 7), 7);
    EXPECT_EQ(ini.GetString(L"Package", L"Missing"), L"");
    EXPECT_EQ(ini.GetString(L"Package", L"Missing", L"fallback"), L"fallback");
    // A flag is on only for exactly "1".
    EXPECT_FALSE(ini.GetFlag(L"Runtime", L"CheckAdmin"));
    EXPECT_FALSE(ini.GetFlag(L"Runtime", L"Wait"));
    EXPECT_FALSE(ini.GetFlag(L"Runtime", L"Missing"));
}

TEST_F(SettingsFileTest, CutsLongValuesToTheBuffer) {
    std::wstring value(3000, L'x');
    CSettingsFile ini = Write(L"[A]\r\nLong=" + value + L"\r\n");
    EXPECT_EQ(ini.GetString(L"A", L"Long"), value.substr(0, 1023));
    EXPECT_EQ(ini.GetString(L"A", L"Long", L"", 4000), value);
}

TEST_F(SettingsFileTest, SectionGrowsUntilItFits) {
    std::wstring text = L"[Big]\r\n";
    for (int i = 0; i < 2000; ++i) text += L"Key" + std::to_wstring(i) + L"=Value number " + std::to_wstring(i) + L"\r\n";
    text += L"[Other]\r\nA=1\r\n";
    CSettingsFile ini = Write(text);
    std::vector<std::wstring> entries = ini.GetSection(L"big");
    ASSERT_EQ(entries.size(), 2000u);  // far more than the first 4096-character buffer holds
    EXPECT_EQ(entries.front(), L"Key0=Value number 0");
    EXPECT_EQ(entries.back(), L"Key1999=Value number 1999");
    EXPECT_EQ(ini.GetSectionNames(), (std::vector<std::wstring>{L"Big", L"Other"}));
}

TEST_F(SettingsFileTest, WriteAddsAndReplacesKeysAndStaysReadable) {
    CSettingsFile ini = Write(L"[Password]\r\nStored=abc\r\n");
    ASSERT_TRUE(ini.WriteString(L"password", L"stored", L""));
    ASSERT_TRUE(ini.WriteString(L"Password", L"Added", L"v"));
    EXPECT_EQ(ini.GetString(L"Password", L"Stored"), L"");
    EXPECT_EQ(ini.GetString(L"Password", L"Added"), L"v");
    // Still UTF-16 after the write.
    EXPECT_EQ(zel_test::ReadBytes(path).substr(0, 2), "\xFF\xFE");
}

TEST_F(SettingsFileTest, MissingOrEmptyFileGivesDefaults) {
    for (const std::wstring& file : {dir.File(L"missing.ini"), dir.File(L"empty.ini")}) {
        if (file.ends_with(L"empty.ini")) zel_test::WriteBytes(file, "");
        CSettingsFile ini(file);
        EXPECT_EQ(ini.GetString(L"Package", L"Name"), L"");
        EXPECT_FALSE(ini.GetFlag(L"Package", L"AutoLaunch"));
        EXPECT_EQ(ini.GetInt(L"Package", L"N", -3), -3);
        EXPECT_TRUE(ini.GetSection(L"Package").empty());
        EXPECT_TRUE(ini.GetSectionNames().empty());
    }
}

}  // namespace
