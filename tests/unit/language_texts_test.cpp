#include "payload/LanguageTexts.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

class LanguageTextsTest : public ::testing::Test {
protected:
    void SetUp() override { LanguageStrings.clear(); }
    void TearDown() override { LanguageStrings.clear(); }

    void WriteLanguage(int lcid, const std::wstring& body) {
        zel_test::WriteUtf16File(dir.File(L"Default" + std::to_wstring(lcid) + L".ulf"), body);
    }

    zel_test::TempDir dir;
};

TEST_F(LanguageTextsTest, BuiltInTable) {
    EXPECT_EQ(GetLangString(105), L"Another instance is already running.");
    EXPECT_EQ(GetLangString(106), L"Unable to find a volume for file extraction.\nPlease verify that you have proper permissions.");
    EXPECT_EQ(GetLangString(204), L"Launge d'installation: &Fran\u00e7ais");
    EXPECT_EQ(GetLangString(205), L"Idioma de Instalaci\u00f3n Es&pa\u00f1ol");
    EXPECT_EQ(GetLangString(1018), L"Lingua &Italian installzione");
    EXPECT_EQ(GetLangString(99999), L"");
    EXPECT_FALSE(HasLanguageStrings());
}

TEST_F(LanguageTextsTest, LoadsEveryIdLineOfEverySection) {
    WriteLanguage(1031, L"[FileInfo]\r\nID=1031\r\nLangName=Deutsch\r\nProduct=X\r\n"
                        L"[Texts]\r\n105=Eine andere Instanz l\u00e4uft.\r\n113=Wirklich[NEWLINE]abbrechen?\r\n"
                        L"[More]\r\n105=Sp\u00e4ter gewinnt\r\nnonumber=zero\r\n");
    EXPECT_EQ(LoadLanguageFile(1031, dir.Path()), 0);
    EXPECT_EQ(GetLangString(105), L"Sp\u00e4ter gewinnt");
    EXPECT_EQ(GetLangString(113), L"Wirklich\nabbrechen?");
    EXPECT_EQ(GetLangString(0), L"zero");
    EXPECT_EQ(GetLangString(103), L"Extraction failed");  // not in the file: built-in
    EXPECT_EQ(GetLanguageName(1031, dir.Path()), L"Deutsch");
    EXPECT_TRUE(HasLanguageStrings());
}

TEST_F(LanguageTextsTest, LoadRules) {
    WriteLanguage(1041, L"[FileInfo]\r\nID=1041\r\n[S]\r\n509=Japanese 509\r\n105=Japanese 105\r\n");
    WriteLanguage(1031, L"[FileInfo]\r\nLangName=Deutsch\r\n[S]\r\n105=German 105\r\n");  // no ID line: loaded
    WriteLanguage(1049, L"[FileInfo]\r\nid=1049\r\nID=1041\r\n[S]\r\n105=Wrong\r\n");     // first "ID" decides

    ASSERT_EQ(LoadLanguageFile(1041, dir.Path()), 0);
    ASSERT_EQ(LoadLanguageFile(1031, dir.Path()), 0);
    EXPECT_EQ(GetLangString(105), L"German 105");
    EXPECT_EQ(GetLangString(509), L"Japanese 509");  // kept from the earlier load

    EXPECT_EQ(LoadLanguageFile(1049, dir.Path()), -1);
    EXPECT_EQ(GetLangString(105), L"German 105");

    EXPECT_EQ(LoadLanguageFile(1036, dir.Path()), 0);  // missing file
    EXPECT_EQ(GetLangString(105), L"German 105");

    EXPECT_EQ(LoadLanguageFile(1033, dir.Path()), 1);
    EXPECT_FALSE(HasLanguageStrings());
    EXPECT_EQ(GetLangString(105), L"Another instance is already running.");
}

TEST_F(LanguageTextsTest, LanguageCaption) {
    zel_test::WriteUtf16File(dir.File(L"Defaultx.ulf"), L"[RADIOBUTTONSTRING]\r\n1031=&Deutsch\r\n1041=\r\n");
    EXPECT_EQ(GetLanguageCaption(1031, dir.Path()), L"&Deutsch");
    EXPECT_EQ(GetLanguageCaption(1041, dir.Path()), L"Unknown Language");
    EXPECT_EQ(GetLanguageCaption(1049, dir.Path()), L"Unknown Language");
}

TEST(ReplaceTokens, ReplacesEveryOccurrence) {
    EXPECT_EQ(ReplaceTokens(L"[PATH] and [PATH][NEWLINE]x", {{L"[PATH]", L"C:\\[PATH]"}, {L"[NEWLINE]", L"\n"}}),
              L"C:\\[PATH] and C:\\[PATH]\nx");
    EXPECT_EQ(ReplaceTokens(L"", {{L"[PATH]", L"x"}}), L"");
}

// A package's box type keeps its buttons, gets a fitting icon where it names
// none, and the button that changes nothing (Cancel, No) as its default.
TEST(MessageBoxType, KeepsTheButtonsAddsAnIconAndASafeDefault) {
    using Captions = std::vector<std::pair<int, int>>;
    const Captions ok = {{IDOK, 405}};
    const Captions okCancel = {{IDOK, 405}, {IDCANCEL, 406}};
    const Captions yesNo = {{IDYES, 702}, {IDNO, 704}};
    const struct {
        UINT given, icon, defaultButton;
        Captions captions;
    } rows[] = {
        {.given = MB_OK, .icon = MB_ICONWARNING, .defaultButton = MB_DEFBUTTON1, .captions = ok},
        {.given = MB_OKCANCEL, .icon = MB_ICONWARNING, .defaultButton = MB_DEFBUTTON2, .captions = okCancel},
        {.given = MB_YESNOCANCEL, .icon = MB_ICONQUESTION, .defaultButton = MB_DEFBUTTON3, .captions = {}},
        {.given = MB_YESNO, .icon = MB_ICONQUESTION, .defaultButton = MB_DEFBUTTON2, .captions = yesNo},
        {.given = MB_ICONERROR | MB_OK, .icon = MB_ICONERROR, .defaultButton = MB_DEFBUTTON1, .captions = ok},
        {.given = MB_ICONERROR | MB_OKCANCEL, .icon = MB_ICONERROR, .defaultButton = MB_DEFBUTTON2,
         .captions = okCancel},
        {.given = MB_ICONWARNING | MB_YESNO, .icon = MB_ICONWARNING, .defaultButton = MB_DEFBUTTON2,
         .captions = yesNo},
        // Types outside the list are shown as given, with the system's captions.
        {.given = MB_ICONINFORMATION, .icon = MB_ICONINFORMATION, .defaultButton = MB_DEFBUTTON1, .captions = {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.given);
        const UINT shown = MapMessageBoxType(row.given).ShownType;
        EXPECT_EQ(shown & MB_TYPEMASK, row.given & MB_TYPEMASK);
        EXPECT_EQ(shown & MB_ICONMASK, row.icon);
        EXPECT_EQ(shown & MB_DEFMASK, row.defaultButton);
        EXPECT_EQ(shown & ~(MB_TYPEMASK | MB_ICONMASK | MB_DEFMASK), 0u);
        EXPECT_EQ(MapMessageBoxType(row.given).Captions, row.captions);
    }
}

// Shows a real box on a second thread and reads its button captions.
std::vector<std::wstring> ButtonsOfBox(UINT type, const wchar_t* caption) {
    std::vector<std::wstring> texts;
    std::thread closer([&] {
        HWND box = nullptr;
        for (int i = 0; i < 100 && box == nullptr; ++i) {
            ::Sleep(50);
            box = ::FindWindowW(L"#32770", caption);
        }
        if (box == nullptr) return;
        // The box is found by its caption as soon as it exists; its buttons
        // get their captions when it is activated.
        for (int i = 0; i < 100 && !::IsWindowVisible(box); ++i) ::Sleep(20);
        ::Sleep(100);
        for (HWND b = ::FindWindowExW(box, nullptr, L"Button", nullptr); b; b = ::FindWindowExW(box, b, L"Button", nullptr)) {
            wchar_t text[128] = {};
            ::GetWindowTextW(b, text, 128);
            texts.push_back(text);
        }
        ::PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
        ::PostMessageW(box, WM_COMMAND, IDNO, 0);
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    ShowTranslatedMessageBox(nullptr, L"text", caption, type);
    closer.join();
    return texts;
}

TEST_F(LanguageTextsTest, BoxButtonsFollowTheLanguage) {
    WriteLanguage(1031, L"[FileInfo]\r\nID=1031\r\n[S]\r\n405=&Gut\r\n702=&Ja\r\n");
    ASSERT_EQ(LoadLanguageFile(1031, dir.Path()), 0);
    EXPECT_EQ(ButtonsOfBox(0, L"zel box ok"), (std::vector<std::wstring>{L"&Gut"}));
    // Yes/No/Cancel sets no captions: the hook falls back to the built-in texts.
    EXPECT_EQ(ButtonsOfBox(3, L"zel box ync"), (std::vector<std::wstring>{L"&Yes", L"&No", L"&Cancel"}));
    EXPECT_EQ(ButtonsOfBox(4, L"zel box yn"), (std::vector<std::wstring>{L"&Ja", L"&No"}));
    EXPECT_TRUE(ButtonCaptions.empty());
}

}  // namespace
