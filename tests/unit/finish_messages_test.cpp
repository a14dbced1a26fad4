// Finish messages from the setups' return codes.
#include "app/FinishMessages.h"
#include "logging/LogFile.h"
#include "payload/Initializer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class FinishMessagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = theInitializer;
        oldLogPath_ = theLog.GetFilePath();
        oldLogLevel_ = theLog.GetLogLevel();
        theLog.InitLog(dir_.File(L"test.log"), 11);
        theInitializer.SettingsFilePath = dir_.File(L"Properties_Tavo.ini");
        theInitializer.SetupLanguage = 1033;
        theInitializer.FinishStatus = 0;
        zel_test::WriteUtf16File(theInitializer.SettingsFilePath,
                                 L"[AutoLaunch1]\r\nReturnCode_0=SUCCESS:{Ok_Msg}\r\nreturncode_1=success: {Ok_Msg} \r\n"
                                 L"ReturnCode_-1=Error:{Fail_Msg}\r\nReturnCode_2=SUCCESS:Done\r\n"
                                 L"ReturnCode_3=Warning:{Ok_Msg}\r\nReturnCode_4=\r\nOther=SUCCESS:{Ok_Msg}\r\n"
                                 L"[AutoLaunch2]\r\nReturnCode_0=SUCCESS:{Ok_Msg}\r\n"
                                 L"[1033]\r\nOk_Msg=All done\r\nFail_Msg=It failed\r\nMessageOnFinish=Thanks\r\n"
                                 L"[1041]\r\nOk_Msg=\u5b8c\u4e86\r\nMessageOnFinish=\u3042\r\n");
    }
    void TearDown() override {
        theLog.InitLog(oldLogPath_, oldLogLevel_);
        theInitializer = saved_;
    }
    std::string Log() const { return zel_test::ReadBytes(dir_.File(L"test.log")); }

    zel_test::TempDir dir_;

private:
    CTavoInitalizer saved_;
    std::wstring oldLogPath_;
    int oldLogLevel_ = 9;
};

TEST_F(FinishMessagesTest, ResolvesValuesAgainstTheLanguageSection) {
    struct Row {
        const wchar_t* value;
        const wchar_t* expected;
    } rows[] = {
        {L"SUCCESS:{Ok_Msg}", L"SUCCESS:All done"},
        {L"success:  {Ok_Msg}  ", L"success:All done"},  // prefix keeps its case, rest is trimmed
        {L"ERROR:{{Fail_Msg}}", L"ERROR:It failed"},
        {L"SUCCESS:Done", L"SUCCESS:"},                  // no braces: no text
        {L"SUCCESS:{Ok_Msg", L"SUCCESS:"},
        {L"SUCCESS:{}", L"SUCCESS:"},
        {L"SUCCESS:{Missing}", L"SUCCESS:"},
        {L"SUCCESS:   ", L"SUCCESS:"},
        {L"{Ok_Msg}", L"All done"},                      // without a prefix the text still resolves
        {L"Warning:{Ok_Msg}", L""},
        {L"", L""},
    };
    CFinishMessages messages;
    for (const Row& r : rows)
        EXPECT_EQ(messages.GetMessageFromLangSection(r.value, L"1033"), r.expected) << r.value;
    EXPECT_NE(Log().find("Message part not provided"), std::string::npos);
}

TEST_F(FinishMessagesTest, LoadsTheSetupsReturnCodes) {
    CFinishMessages messages;
    messages.LoadReturnCodeMessages(L"AutoLaunch1");
    EXPECT_EQ(messages.ReturnCodeMessages,
              (std::map<std::wstring, std::wstring>{{L"autolaunch1:returncode_0", L"SUCCESS:All done"},
                                                    {L"autolaunch1:returncode_1", L"success:All done"},
                                                    {L"autolaunch1:returncode_-1", L"Error:It failed"},
                                                    {L"autolaunch1:returncode_2", L"SUCCESS:"},
                                                    {L"autolaunch1:returncode_3", L""}}));
    EXPECT_EQ(messages.GetFinishMessage(), L"Thanks");

    // MessageOnFinish is read once, in the language of that moment.
    theInitializer.SetupLanguage = 1041;
    messages.LoadReturnCodeMessages(L"AutoLaunch2");
    EXPECT_EQ(messages.FinishMessages[L"MessageOnFinish"], L"Thanks");
    EXPECT_EQ(messages.ReturnCodeMessages[L"autolaunch2:returncode_0"], L"SUCCESS:\u5b8c\u4e86");
}

TEST_F(FinishMessagesTest, ReturnCodesSetTheFinishMessageAndStatus) {
    struct Row {
        const char* name;
        std::vector<std::pair<const wchar_t*, int>> returns;
        const wchar_t* message;
        int status;
    } rows[] = {
        {"success", {{L"AutoLaunch1", 0}}, L"All done", 0},
        {"lower-case key", {{L"AUTOLAUNCH1", 1}}, L"All done", 0},
        {"error", {{L"AutoLaunch1", -1}}, L"It failed", -6},
        {"error wins over a later success", {{L"AutoLaunch1", -1}, {L"AutoLaunch2", 0}}, L"It failed", -6},
        {"empty success text still hides MessageOnFinish", {{L"AutoLaunch1", 2}}, L"", 0},
        {"code without a key", {{L"AutoLaunch1", 42}}, L"Thanks", 0},
        {"unknown prefix", {{L"AutoLaunch1", 3}}, L"Thanks", 0},
        {"setup without a section", {{L"AutoLaunch7", 0}}, L"Thanks", 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        theInitializer.FinishStatus = 0;
        CFinishMessages messages;
        messages.LoadReturnCodeMessages(L"AutoLaunch1");
        messages.LoadReturnCodeMessages(L"AutoLaunch2");
        for (const auto& [entry, code] : r.returns) messages.SetFinishMessage(entry, code);
        EXPECT_EQ(messages.GetFinishMessage(), r.message);
        EXPECT_EQ(theInitializer.FinishStatus, r.status);
    }
    std::string log = Log();
    EXPECT_NE(log.find("|ERROR     |SetFinishMessage"), std::string::npos);
    EXPECT_NE(log.find("Error while installation. Message Configuerd : It failed"), std::string::npos);
    EXPECT_NE(log.find("Message Configuerd : All done"), std::string::npos);
}

TEST_F(FinishMessagesTest, NothingLoadedGivesNoMessage) {
    CFinishMessages messages;
    messages.SetFinishMessage(L"AutoLaunch1", 0);
    EXPECT_EQ(messages.GetFinishMessage(), L"");
}

}  // namespace
