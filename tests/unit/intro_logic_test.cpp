#include "platform/UtilPaths.h"
#include "ui/IntroLogic.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

StringList Split(const std::wstring& text) {
    StringList list;
    CUtilPaths::SplitText(text, L';', list);
    return list;
}

// ---- requirement messages ----

struct LimitCase {
    int messages;
    int limit;
};

class ConditionMessageLimitTable : public testing::TestWithParam<LimitCase> {};

TEST_P(ConditionMessageLimitTable, SharesTheRoom) { EXPECT_EQ(ConditionMessageLimit(GetParam().messages), GetParam().limit); }

// 36 messages leave nothing, and from 37 on the share would be negative.
INSTANTIATE_TEST_SUITE_P(Counts, ConditionMessageLimitTable,
                         testing::Values(LimitCase{1, 535}, LimitCase{2, 260}, LimitCase{3, 168}, LimitCase{10, 40},
                                         LimitCase{36, 0}, LimitCase{37, 0}, LimitCase{100, 0}, LimitCase{0, 0}));

struct MessageFixture {
    std::map<std::wstring, std::wstring> texts;
    std::vector<std::wstring> logged;

    ConditionMessageInputs Inputs(const std::wstring& languages, int selected, const std::wstring& keys) {
        ConditionMessageInputs in;
        in.SetupLanguages = languages;
        in.SelectedLanguage = selected;
        in.MessageKeys = keys;
        in.Message = [this](const std::wstring& key) {
            auto found = texts.find(key);
            return found != texts.end() ? found->second : std::wstring();
        };
        in.Logged = [this](const std::wstring& message) { logged.push_back(message); };
        return in;
    }
};

TEST(ConditionMessageText, ThreeLongMessagesKeep168CharactersEach) {
    MessageFixture f;
    f.texts = {{L"{A}", std::wstring(300, L'a')}, {L"{B}", std::wstring(168, L'b')}, {L"{C}", std::wstring(169, L'c')}};
    const std::wstring text = ConditionMessageText(f.Inputs(L"1033;1031", 1033, L"{A};{B};{C};"));
    // The keys' list holds them last first.
    EXPECT_EQ(text, std::wstring(168, L'c') + L"...\n" + std::wstring(168, L'b') + L"\n" + std::wstring(168, L'a') +
                        L"...\n");
    // Logged whole, before the cut.
    ASSERT_EQ(f.logged.size(), 3u);
    EXPECT_EQ(f.logged[2], std::wstring(300, L'a'));
}

TEST(ConditionMessageText, OnlyKeysWithATextShareTheRoom) {
    MessageFixture f;
    f.texts = {{L"{A}", std::wstring(400, L'a')}, {L"{B}", std::wstring(400, L'b')}};
    const std::wstring text = ConditionMessageText(f.Inputs(L"1033", 1033, L"{A};{Missing};{B}"));
    EXPECT_EQ(text, std::wstring(260, L'b') + L"...\n" + std::wstring(260, L'a') + L"...\n");
}

TEST(ConditionMessageText, TokensBecomeLineBreaksAndTabs) {
    MessageFixture f;
    f.texts = {{L"{A}", L"Needs:[NEWLINE][TAB]a disk"}};
    EXPECT_EQ(ConditionMessageText(f.Inputs(L"1031", 1031, L"{A};")), L"Needs:\n\ta disk\n");
}

struct EmptyCase {
    const char* name;
    const wchar_t* languages;
    int selected;
    const wchar_t* keys;
};

class ConditionMessageEmpty : public testing::TestWithParam<EmptyCase> {};

TEST_P(ConditionMessageEmpty, ShowsNothing) {
    MessageFixture f;
    f.texts = {{L"{A}", L"text"}};
    EXPECT_EQ(ConditionMessageText(f.Inputs(GetParam().languages, GetParam().selected, GetParam().keys)), L"");
    EXPECT_TRUE(f.logged.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConditionMessageEmpty,
    testing::Values(EmptyCase{"language_not_offered", L"1031;1033", 1036, L"{A};"},
                    EmptyCase{"no_languages", L"", 1033, L"{A};"},
                    EmptyCase{"garbage_languages", L"abc;;x1033", 1033, L"{A};"},
                    EmptyCase{"no_key_has_a_text", L"1033", 1033, L"{X};{Y};"},
                    EmptyCase{"no_keys", L"1033", 1033, L""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConditionMessageText, ALanguageListedTwiceShowsItsMessagesOnce) {
    MessageFixture f;
    f.texts = {{L"{A}", L"one"}};
    EXPECT_EQ(ConditionMessageText(f.Inputs(L"1033;1031;1033", 1033, L"{A};")), L"one\n");
}

TEST(ConditionMessageText, AHugeMessageIsCutWithoutSplittingASurrogatePair) {
    MessageFixture f;
    // 534 characters, then a pair across the cut at 535.
    std::wstring message = std::wstring(534, L'x') + L"\xD83D\xDE00" + std::wstring(100 * 1024, L'y');
    f.texts = {{L"{A}", message}};
    const std::wstring text = ConditionMessageText(f.Inputs(L"1033", 1033, L"{A}"));
    EXPECT_EQ(text, std::wstring(534, L'x') + L"...\n");
}

// ---- language radios ----

struct RadioFixture {
    std::vector<int> notInstalled;
    LanguageRadioSources Sources() {
        LanguageRadioSources s;
        s.Installed = [this](int lcid) {
            for (int n : notInstalled)
                if (n == lcid) return false;
            return true;
        };
        s.Caption = [](int lcid) { return L"caption " + std::to_wstring(lcid); };
        s.OwnName = [](int lcid) { return L"name " + std::to_wstring(lcid); };
        return s;
    }
};

TEST(BuildLanguageRadios, FollowsTheListWithCaptionsAndOwnNames) {
    RadioFixture f;
    f.notInstalled = {1099};
    const LanguageRadioPlan plan = BuildLanguageRadios(Split(L"1033;1031;1099"), f.Sources());
    ASSERT_EQ(plan.Radios.size(), 3u);
    // The split list holds the last language first.
    EXPECT_EQ(plan.Radios[0].RadioId, 1006);
    EXPECT_EQ(plan.Radios[0].Lcid, 1099);
    EXPECT_FALSE(plan.Radios[0].Enabled);
    EXPECT_EQ(plan.Radios[0].Caption, L"name 1099");
    EXPECT_EQ(plan.Radios[1].RadioId, 1007);
    EXPECT_EQ(plan.Radios[1].Caption, L"caption 1031");
    EXPECT_TRUE(plan.Radios[1].Enabled);
    EXPECT_EQ(plan.Radios[2].RadioId, 1008);
    EXPECT_EQ(plan.Radios[2].Lcid, 1033);
    EXPECT_TRUE(plan.Rejected.empty());
}

TEST(BuildLanguageRadios, TwelveLanguagesFillTheTenRadios) {
    RadioFixture f;
    const LanguageRadioPlan plan =
        BuildLanguageRadios(Split(L"1025;1026;1027;1028;1029;1030;1031;1032;1033;1034;1035;1036"), f.Sources());
    ASSERT_EQ(plan.Radios.size(), 10u);
    for (size_t k = 0; k < 10; ++k) EXPECT_EQ(plan.Radios[k].RadioId, kLanguageRadioIds[k]);
    EXPECT_EQ(plan.Radios.front().Lcid, 1036);
    EXPECT_EQ(plan.Radios.back().Lcid, 1027);
}

TEST(BuildLanguageRadios, GarbageEntriesAreLeftOutAndTakeNoRadio) {
    RadioFixture f;
    const LanguageRadioPlan plan = BuildLanguageRadios(Split(L"1033; abc ;0;-1031;10x31;1031;99999999999"), f.Sources());
    ASSERT_EQ(plan.Radios.size(), 2u);
    EXPECT_EQ(plan.Radios[0].Lcid, 1031);
    EXPECT_EQ(plan.Radios[0].RadioId, 1006);
    EXPECT_EQ(plan.Radios[1].Lcid, 1033);
    EXPECT_EQ(plan.Radios[1].RadioId, 1007);
    EXPECT_EQ(plan.Rejected, (std::vector<std::wstring>{L"99999999999", L"10x31", L"-1031", L"0", L"abc"}));
}

TEST(RadioToCheck, OneRadioIsCheckedWhateverTheLanguage) {
    EXPECT_EQ(RadioToCheck({{1006, 1031, L"", true}}, 1033), 1006);
}

TEST(RadioToCheck, TheFirstRadioOfTheSelectedLanguageOrNone) {
    const std::vector<LanguageRadio> radios = {{1006, 1036, L"", true}, {1007, 1033, L"", true}, {1008, 1033, L"", true}};
    EXPECT_EQ(RadioToCheck(radios, 1033), 1007);
    EXPECT_EQ(RadioToCheck(radios, 1036), 1006);
    EXPECT_EQ(RadioToCheck(radios, 1041), 0);
    EXPECT_EQ(RadioToCheck({}, 1033), 0);
}

// ---- license page ----

struct LabelCase {
    const char* name;
    std::vector<std::wstring> lines;
    int id;
    const wchar_t* label;
};

class LicenseLabelTable : public testing::TestWithParam<LabelCase> {};

TEST_P(LicenseLabelTable, ComesFromTheFirstLineOfTheId) {
    EXPECT_EQ(LicenseLabelFromLines(GetParam().lines, GetParam().id), GetParam().label);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LicenseLabelTable,
    testing::Values(
        LabelCase{"plain", {L"[Texts]\r", L"304=Lizenz\r", L"305=Sicherheit\r"}, 304, L"Lizenz"},
        LabelCase{"second_id", {L"304=Lizenz", L"305=Sicherheit"}, 305, L"Sicherheit"},
        LabelCase{"digits_inside_go_too", {L"304=Terms 304 here"}, 304, L"Terms  here"},
        LabelCase{"equals_at_both_ends", {L"304==Label=="}, 304, L"Label"},
        LabelCase{"first_line_wins", {L"304=One", L"304=Two"}, 304, L"One"},
        LabelCase{"missing", {L"305=Other", L"", L"garbage without equals"}, 304, L""},
        LabelCase{"only_equals", {L"304==="}, 304, L""},
        LabelCase{"prefix_of_a_longer_id_counts", {L"3041=Long"}, 304, L"1=Long"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LabelsFromLanguageStrings, TheSixBuiltInLanguages) {
    for (int lcid : {1031, 1033, 1036, 1034, 1040, 3082}) EXPECT_TRUE(LabelsFromLanguageStrings(lcid)) << lcid;
    for (int lcid : {1041, 2052, 1049, 0}) EXPECT_FALSE(LabelsFromLanguageStrings(lcid)) << lcid;
}

TEST(DocumentTypeOf, LastThreeCharactersCaseIgnored) {
    EXPECT_EQ(DocumentTypeOf(L"C:\\w\\Lic.rtf"), DocumentType::RichText);
    EXPECT_EQ(DocumentTypeOf(L"C:\\w\\Lic.RtF"), DocumentType::RichText);
    EXPECT_EQ(DocumentTypeOf(L"C:\\w\\Lic.TXT"), DocumentType::PlainText);
    EXPECT_EQ(DocumentTypeOf(L"C:\\w\\Lic.pdf"), DocumentType::Other);
    EXPECT_EQ(DocumentTypeOf(L"tx"), DocumentType::Other);
}

TEST(PlanDocumentList, TheLicenseComesFirstAndTheSecurityDocumentFillsIn) {
    DocumentList both = PlanDocumentList(L"lic.rtf", L"sec.txt");
    EXPECT_EQ(both.LicenseItem, 0);
    EXPECT_EQ(both.SecurityItem, 1);
    EXPECT_EQ(both.Shown, L"lic.rtf");

    DocumentList security = PlanDocumentList(L"", L"sec.txt");
    EXPECT_EQ(security.LicenseItem, -1);
    EXPECT_EQ(security.SecurityItem, 0);
    EXPECT_EQ(security.Shown, L"sec.txt");

    DocumentList none = PlanDocumentList(L"", L"");
    EXPECT_EQ(none.Count(), 0);
    EXPECT_EQ(none.Shown, L"");
}

TEST(DocumentsAccepted, EveryListedDocumentNeedsItsBox) {
    const DocumentList both = PlanDocumentList(L"lic.rtf", L"sec.txt");
    EXPECT_FALSE(DocumentsAccepted(both, false, false));
    EXPECT_FALSE(DocumentsAccepted(both, true, false));
    EXPECT_FALSE(DocumentsAccepted(both, false, true));
    EXPECT_TRUE(DocumentsAccepted(both, true, true));
    const DocumentList security = PlanDocumentList(L"", L"sec.txt");
    EXPECT_TRUE(DocumentsAccepted(security, false, true));
    EXPECT_FALSE(DocumentsAccepted(security, true, false));
    EXPECT_TRUE(DocumentsAccepted(PlanDocumentList(L"", L""), false, false));
}

}  // namespace
