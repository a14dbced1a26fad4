// The autolaunch sequence against real settings files, with the stand-in
// setup program where the setups must really run.
#include "app/App.h"
#include "core/ExitCodes.h"
#include "launch/AutolaunchSequence.h"
#include "logging/LogFile.h"
#include "payload/Initializer.h"
#include "platform/Util.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <string>
#include <vector>

namespace {

std::wstring TestProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text(path);
    return text.substr(0, text.rfind(L'\\') + 1);
}

using zel_test::Narrow;

// Records what the sheet is told.
class FakeSheet : public CLaunchSheetHooks {
public:
    bool WindowExists() const override { return true; }
    void ShowWindow(bool show) override { calls.push_back(show ? "show" : "hide"); }
    bool InstallationPageExists() const override { return true; }
    void DispatchPendingMessages() override { calls.push_back("dispatch"); }
    void SetInstallationProgress(int value) override { progress.push_back(value); }
    void LaunchFinished() override { calls.push_back("launch-finished"); }
    bool LaunchAtFinish() const override { return launchAtFinish; }
    void MoveToFinishPage() override { calls.push_back("finish-page"); }

    std::vector<std::string> calls;
    std::vector<int> progress;
    bool launchAtFinish = false;
};

class LaunchSequenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = theInitializer;
        savedOsCheck_ = theApp.OsCheckResult;
        savedExitCode_ = theApp.ExitCodeValue();
        savedFinishTexts_ = theApp.FinishTexts;
        oldLogPath_ = theLog.GetFilePath();
        oldLogLevel_ = theLog.GetLogLevel();
        theLog.InitLog(dir_.File(L"test.log"), 11);

        extraction_ = dir_.Path() + L"extract";
        work_ = dir_.Path() + L"work";
        ::CreateDirectoryW(extraction_.c_str(), nullptr);
        ::CreateDirectoryW(work_.c_str(), nullptr);
        theInitializer.SettingsFilePath = dir_.File(L"Properties_Tavo.ini");
        theInitializer.ExtractionPath = extraction_;
        theInitializer.SetupLanguage = 1033;
        theInitializer.RunMode = ModeSilent;
        theInitializer.FinishStatus = 0;
        theInitializer.WaitForAutolaunchFinish = 1;
        theInitializer.NoOSCheck = 0;
        theInitializer.SupportedOSMessage = L"Not for this system.";
        theApp.OsCheckResult = 300;
        theApp.SetExitCode(kExitSuccess);
        theApp.FinishTexts = CFinishMessages();
    }
    void TearDown() override {
        theLog.InitLog(oldLogPath_, oldLogLevel_);
        theInitializer = saved_;
        theApp.OsCheckResult = savedOsCheck_;
        theApp.SetExitCode(savedExitCode_);
        theApp.FinishTexts = savedFinishTexts_;
    }

    void Settings(const std::wstring& text) { zel_test::WriteUtf16File(theInitializer.SettingsFilePath, text); }
    std::wstring SetupPath(const std::wstring& name) const { return extraction_ + L"\\" + name; }
    // The stand-in setup in the extraction folder.
    void PlaceProbe(const std::wstring& name) {
        ASSERT_TRUE(::CopyFileW((TestProgramFolder() + L"setup_probe.exe").c_str(), SetupPath(name).c_str(), FALSE));
    }
    // An empty file where a setup is expected (for the recorded launcher).
    void PlaceFile(const std::wstring& name) { zel_test::WriteBytes(SetupPath(name), "MZ"); }
    std::string Record(const std::wstring& name) const { return zel_test::ReadBytes(SetupPath(name) + L".record"); }
    std::string Order() const { return zel_test::ReadBytes(SetupPath(L"launch_order.txt")); }
    // The log with the padding of the level and source columns taken out.
    std::string Log() const {
        static const std::regex kPadding(" +\\|");
        return std::regex_replace(zel_test::ReadBytes(dir_.File(L"test.log")), kPadding, "|");
    }
    bool LogHas(const std::string& part) const { return Log().find(part) != std::string::npos; }

    // Real launches; the working folder goes where the run would delete it.
    LaunchServices RealServices() {
        LaunchServices services = DefaultLaunchServices();
        services.DeleteWorkingFolder = [this] {
            events.push_back("delete");
            ::RemoveDirectoryW(work_.c_str());
        };
        services.MessageBox = [this](const std::wstring& text, UINT type) {
            boxes.push_back(Narrow(text) + ((type & MB_YESNO) ? " [yes/no]" : " [ok]"));
            return boxAnswer;
        };
        return services;
    }
    // Launches are recorded instead of run; each returns the next code.
    LaunchServices RecordedServices() {
        LaunchServices services = RealServices();
        services.Launch = [this](const std::wstring& file, const std::wstring& parameters, std::wstring& error,
                                 int wait) {
            launched.push_back(Narrow(file.substr(file.rfind(L'\\') + 1) + L"|" + parameters));
            launchReturnedDuring.push_back(LaunchReturned);
            waits.push_back(wait);
            error = launchError;
            return codes.empty() ? 0 : codes[(launched.size() - 1) % codes.size()];
        };
        return services;
    }

    zel_test::TempDir dir_;
    std::wstring extraction_, work_;
    std::vector<std::string> events, boxes, launched;
    std::vector<int> launchReturnedDuring, waits, codes;
    std::wstring launchError;
    int boxAnswer = IDYES;

private:
    CTavoInitalizer saved_;
    CFinishMessages savedFinishTexts_;
    int savedOsCheck_ = 300;
    int savedExitCode_ = 0;
    std::wstring oldLogPath_;
    int oldLogLevel_ = 9;
};

TEST_F(LaunchSequenceTest, SingleSetupRunsAfterTheWorkingFolderIsGone) {
    PlaceProbe(L"setup.exe");
    Settings(L"[Runtime]\r\nAutoLaunch=setup.exe\r\nMode=tavo\r\n"
             L"[1033]\r\nLaunchEXEParams=--exit=5 --check=" + work_ + L"\r\n"
             L"LaunchEXEParamsSilent=/quiet\r\nLaunchEXEParamsUnattended=/passive\r\n");
    CAutolaunchSequence sequence(RealServices());
    EXPECT_EQ(sequence.HandleLaunchSetup(), 0);

    std::string record = Record(L"setup.exe");
    EXPECT_NE(record.find("--exit=5 --check=" + Narrow(work_) + " /quiet\n"), std::string::npos) << record;
    EXPECT_NE(record.find("check=gone"), std::string::npos) << record;
    EXPECT_EQ(events, std::vector<std::string>{"delete"});
    std::string path = Narrow(SetupPath(L"setup.exe"));
    for (const std::string& line : std::vector<std::string>{
             "Mode identified as Tavo", "Silent Mode identified for web Package",
             "|NonameFunction|Current OS is supported", "Finished - " + path, "Return code of - " + path + " is 5"})
        EXPECT_TRUE(LogHas(line)) << line << "\n" << Log();
    // A setup that ran keeps the run successful, whatever it returned.
    EXPECT_EQ(theInitializer.FinishStatus, 0);
    EXPECT_EQ(theApp.ExitCodeValue(), kExitSuccess);
    EXPECT_EQ(LaunchReturned, 1);
}

TEST_F(LaunchSequenceTest, ParametersByRunModeAndLanguage) {
    const std::wstring tavo = L"[Runtime]\r\nMultilaunch=1\r\nAutoLaunch1=a.exe\r\nMode=TAVO\r\n";
    const std::wstring dialog = L"AutoLaunchInstallationDialog=1\r\n";
    const std::wstring texts = L"[1033]\r\nLaunchEXEParams1=/p\r\nLaunchEXEParams1Silent=/s\r\n"
                               L"LaunchEXEParams1Unattended=/u\r\n";
    struct Row {
        const char* name;
        std::wstring settings;
        RunMode mode;
        int language;
        const char* parameters;
    } rows[] = {
        {"silent", tavo + texts, ModeSilent, 1033, "/p /s"},
        {"unattended", tavo + texts, ModeUnattended, 1033, "/p /u"},
        {"full GUI", tavo + texts, ModeFullGui, 1033, "/p"},
        {"full GUI with the installation page", tavo + dialog + texts, ModeFullGui, 1033, "/p /s"},
        {"other mode", L"[Runtime]\r\nMultilaunch=1\r\nAutoLaunch1=a.exe\r\nMode=web\r\n" + texts, ModeSilent, 1033,
         "/p"},
        {"language without parameters", L"[Runtime]\r\nMultilaunch=1\r\nAutoLaunch1=a.exe\r\n" + texts, ModeSilent,
         1031, ""},
        {"silent part missing", tavo + L"[1033]\r\nLaunchEXEParams1=/p\r\n", ModeSilent, 1033, "/p "},
    };
    PlaceFile(L"a.exe");
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Settings(r.settings);
        theInitializer.RunMode = r.mode;
        theInitializer.SetupLanguage = r.language;
        launched.clear();
        CAutolaunchSequence sequence(RecordedServices());
        sequence.HandleLaunchSetup();
        EXPECT_EQ(launched, std::vector<std::string>{std::string("a.exe|") + r.parameters});
    }
}

TEST_F(LaunchSequenceTest, MultilaunchStartsInOrderAndWaitsForEach) {
    PlaceProbe(L"setup1.exe");
    PlaceProbe(L"setup2.exe");
    Settings(L"[Runtime]\r\nMultilaunch=1\r\nAutoLaunch1=setup1.exe\r\nAutoLaunch2=setup2.exe\r\n"
             L"[1033]\r\nLaunchEXEParams1=--sleep=300 --exit=1\r\nLaunchEXEParams2=--exit=2\r\n");
    CAutolaunchSequence sequence(RealServices());
    EXPECT_EQ(sequence.HandleLaunchSetup(), CAutolaunchSequence::kEndWizard);
    EXPECT_EQ(Order(), "start setup1.exe\nend setup1.exe\nstart setup2.exe\nend setup2.exe\n");
    EXPECT_TRUE(LogHas("Return code of - " + Narrow(SetupPath(L"setup1.exe")) + " is 1"));
    EXPECT_TRUE(LogHas("Return code of - " + Narrow(SetupPath(L"setup2.exe")) + " is 2"));
}

TEST_F(LaunchSequenceTest, WithoutWaitingBothStartAtOnceAndNoFinishedLines) {
    PlaceProbe(L"setup1.exe");
    PlaceProbe(L"setup2.exe");
    Settings(L"[Runtime]\r\nMultilaunch=1\r\nAutoLaunch1=setup1.exe\r\nAutoLaunch2=setup2.exe\r\n"
             L"[1033]\r\nLaunchEXEParams1=--sleep=2000\r\nLaunchEXEParams2=--sleep=2000\r\n");
    theInitializer.WaitForAutolaunchFinish = 0;
    CAutolaunchSequence sequence(RealServices());
    EXPECT_EQ(sequence.HandleLaunchSetup(), CAutolaunchSequence::kEndWizard);
    for (int i = 0; i < 200 && Order().find("end setup2.exe") == std::string::npos; ++i) ::Sleep(50);
    ::Sleep(200);
    EXPECT_EQ(Order().substr(0, 34), "start setup1.exe\nstart setup2.exe\n") << Order();
    EXPECT_FALSE(LogHas("Finished - ")) << Log();
    EXPECT_FALSE(LogHas("Return code of - ")) << Log();
}

TEST_F(LaunchSequenceTest, SetupMissingAtCollectionStartsNone) {
    PlaceProbe(L"setup1.exe");
    Settings(L"[Runtime]\r\nMultilaunch=1\r\nAutoLaunch1=setup1.exe\r\nAutoLaunch2=missing.exe\r\n");
    CAutolaunchSequence sequence(RealServices());
    EXPECT_EQ(sequence.HandleLaunchSetup(), -1);
    EXPECT_EQ(Record(L"setup1.exe"), "");
    EXPECT_TRUE(events.empty()) << "the working folder stays when nothing is launched";
    EXPECT_EQ(theInitializer.FinishStatus, 2);
    EXPECT_EQ(theApp.ExitCodeValue(), kExitSetupFailed);
    EXPECT_TRUE(LogHas("|ERROR|File for launching the setup not found :|" + Narrow(SetupPath(L"missing.exe"))))
        << Log();
}

TEST_F(LaunchSequenceTest, NothingToLaunch) {
    struct Row {
        const char* name;
        std::wstring settings;
        int statusBefore;
    } rows[] = {
        {"multilaunch with only the single key", L"[Runtime]\r\nMultilaunch=1\r\nAutoLaunch=a.exe\r\n", 0},
        {"no setup at all", L"[Runtime]\r\nMode=tavo\r\n", 0},
        {"extraction ended with a status", L"[Runtime]\r\nAutoLaunch=a.exe\r\n", -2},
    };
    PlaceFile(L"a.exe");
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Settings(r.settings);
        theInitializer.FinishStatus = r.statusBefore;
        CAutolaunchSequence sequence(RecordedServices());
        EXPECT_EQ(sequence.HandleLaunchSetup(), -1);
        EXPECT_TRUE(launched.empty());
        EXPECT_TRUE(events.empty());
        EXPECT_EQ(theInitializer.FinishStatus, r.statusBefore);
        EXPECT_EQ(theApp.ExitCodeValue(), kExitSuccess);
    }
}

TEST_F(LaunchSequenceTest, SetupPathLengthLimit) {
    // extraction folder + "\" + name: 899 characters are still looked for.
    size_t base = extraction_.size() + 1;
    for (size_t length : {size_t(899), size_t(900), size_t(1400)}) {
        SCOPED_TRACE(length);
        std::wstring name(length - base - 4, L'a');
        name += L".exe";
        Settings(L"[Runtime]\r\nAutoLaunch=" + name + L"\r\n");
        theInitializer.FinishStatus = 0;
        theApp.SetExitCode(kExitSuccess);
        CAutolaunchSequence sequence(RecordedServices());
        EXPECT_EQ(sequence.HandleLaunchSetup(), -1);
        EXPECT_TRUE(launched.empty());
        EXPECT_EQ(theInitializer.FinishStatus, length < 900 ? 2 : -1);
        EXPECT_EQ(theApp.ExitCodeValue(), kExitSetupFailed);
        EXPECT_EQ(LogHas("|Folder depth is too large to run the setup."), length >= 900);
    }
}

TEST_F(LaunchSequenceTest, ProgressStepsOnTheInstallationPage) {
    struct Row {
        int setups;
        std::vector<int> progress;
    } rows[] = {{2, {50, 100}}, {3, {33, 66, 99}}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.setups);
        std::wstring settings = L"[Runtime]\r\nMultilaunch=1\r\nAutoLaunchInstallationDialog=1\r\n";
        for (int n = 1; n <= r.setups; ++n) {
            PlaceFile(L"s" + std::to_wstring(n) + L".exe");
            settings += L"AutoLaunch" + std::to_wstring(n) + L"=s" + std::to_wstring(n) + L".exe\r\n";
        }
        Settings(settings);
        theInitializer.RunMode = ModeFullGui;
        FakeSheet sheet;
        LaunchServices services = RecordedServices();
        services.Sheet = &sheet;
        launched.clear();
        launchReturnedDuring.clear();
        CAutolaunchSequence sequence(services);
        EXPECT_EQ(sequence.HandleLaunchSetup(), CAutolaunchSequence::kEndWizard);
        EXPECT_EQ(sheet.progress, r.progress);
        EXPECT_EQ(sheet.calls, (std::vector<std::string>{"show", "dispatch"}));
        EXPECT_EQ(launched.size(), size_t(r.setups));
        EXPECT_EQ(launched.front(), "s1.exe|");
        EXPECT_EQ(launchReturnedDuring, std::vector<int>(r.setups, 0));
    }
    EXPECT_EQ(LaunchReturned, 1);
}

TEST_F(LaunchSequenceTest, ResultAndSheetAfterOneSetup) {
    PlaceFile(L"a.exe");
    struct Row {
        const char* name;
        int wait;
        const wchar_t* dialog;
        bool launchAtFinish;
        int result;
        std::vector<std::string> calls;
    } rows[] = {
        {"waited", 1, L"0", false, 0, {"hide", "show"}},
        {"not waited", 0, L"0", false, CAutolaunchSequence::kEndWizard, {"hide"}},
        {"not waited, installation page", 0, L"1", false, 0, {"show", "dispatch", "show"}},
        {"launch at finish", 1, L"0", true, 0, {"hide", "show", "finish-page"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Settings(std::wstring(L"[Runtime]\r\nAutoLaunch=a.exe\r\nAutoLaunchInstallationDialog=") + r.dialog + L"\r\n");
        theInitializer.WaitForAutolaunchFinish = r.wait;
        theInitializer.RunMode = ModeFullGui;
        FakeSheet sheet;
        sheet.launchAtFinish = r.launchAtFinish;
        LaunchServices services = RecordedServices();
        services.Sheet = &sheet;
        CAutolaunchSequence sequence(services);
        EXPECT_EQ(sequence.HandleLaunchSetup(), r.result);
        EXPECT_EQ(sheet.calls, r.calls);
    }
}

TEST_F(LaunchSequenceTest, OperatingSystemVerdict) {
    PlaceFile(L"a.exe");
    Settings(L"[Runtime]\r\nAutoLaunch=a.exe\r\n");
    struct Row {
        const char* name;
        int verdict;
        RunMode mode;
        int noOsCheck;
        int answer;
        int result;
        bool launched;
        int status;
        std::vector<std::string> boxes;
    } rows[] = {
        {.name = "not supported, silent",
         .verdict = 302,
         .mode = ModeSilent,
         .noOsCheck = 0,
         .answer = IDYES,
         .result = 10,
         .launched = false,
         .status = 0,
         .boxes = {}},
        {.name = "not supported, full GUI",
         .verdict = 302,
         .mode = ModeFullGui,
         .noOsCheck = 0,
         .answer = IDYES,
         .result = 10,
         .launched = false,
         .status = 0,
         .boxes = {"Not for this system. [ok]"}},
        {.name = "warning, silent",
         .verdict = 301,
         .mode = ModeSilent,
         .noOsCheck = 0,
         .answer = IDNO,
         .result = 0,
         .launched = true,
         .status = 0,
         .boxes = {}},
        {.name = "warning declined",
         .verdict = 301,
         .mode = ModeFullGui,
         .noOsCheck = 0,
         .answer = IDNO,
         .result = 10,
         .launched = false,
         .status = 11,
         .boxes = {"Not for this system. [yes/no]"}},
        {.name = "warning accepted",
         .verdict = 301,
         .mode = ModeFullGui,
         .noOsCheck = 0,
         .answer = IDYES,
         .result = 0,
         .launched = true,
         .status = 0,
         .boxes = {"Not for this system. [yes/no]"}},
        {.name = "not supported, check switched off",
         .verdict = 302,
         .mode = ModeSilent,
         .noOsCheck = 1,
         .answer = IDYES,
         .result = 0,
         .launched = true,
         .status = 0,
         .boxes = {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        theApp.OsCheckResult = r.verdict;
        theInitializer.RunMode = r.mode;
        theInitializer.NoOSCheck = r.noOsCheck;
        theInitializer.FinishStatus = 0;
        boxAnswer = r.answer;
        boxes.clear();
        launched.clear();
        events.clear();
        theLog.InitLog(dir_.File(L"test.log"), 11);
        ::DeleteFileW(dir_.File(L"test.log").c_str());
        CAutolaunchSequence sequence(RecordedServices());
        EXPECT_EQ(sequence.HandleLaunchSetup(), r.result);
        EXPECT_EQ(!launched.empty(), r.launched);
        EXPECT_EQ(!events.empty(), r.launched) << "the working folder goes only when setups start";
        EXPECT_EQ(theInitializer.FinishStatus, r.status);
        EXPECT_EQ(boxes, r.boxes);
        EXPECT_EQ(LogHas("Current OS is supported"), r.launched && r.noOsCheck == 0);
        EXPECT_EQ(LogHas("|ERROR|HandleLaunchSetup|Current operating system  not supported"),
                  r.status == 11);
        // Nothing started on an unsupported system: the run must not pass for one whose setups ran.
        EXPECT_EQ(theApp.ExitCodeValue(), r.verdict == 302 && r.noOsCheck == 0 ? kExitSetupFailed : kExitSuccess);
        theApp.SetExitCode(kExitSuccess);
    }
}

TEST_F(LaunchSequenceTest, FailedLaunchesAndCancel) {
    PlaceFile(L"s1.exe");
    PlaceFile(L"s2.exe");
    Settings(L"[Runtime]\r\nMultilaunch=1\r\nAutoLaunch1=s1.exe\r\nAutoLaunch2=s2.exe\r\n");

    {
        SCOPED_TRACE("pipe could not be made");
        launchError = L"Error on CreatePipe(). Launch File failed";
        CAutolaunchSequence sequence(RecordedServices());
        sequence.HandleLaunchSetup();
        EXPECT_EQ(launched.size(), 2u);
        EXPECT_EQ(theInitializer.FinishStatus, -4);
        EXPECT_EQ(theApp.ExitCodeValue(), kExitSetupFailed);
        EXPECT_TRUE(LogHas("|ERROR|LaunchMultipleApplications|Error on CreatePipe(). Launch File failed"));
        EXPECT_FALSE(LogHas("Finished - "));
        launchError.clear();
    }
    {
        SCOPED_TRACE("first setup gone at launch time");
        theInitializer.FinishStatus = 0;
        theApp.SetExitCode(kExitSuccess);
        launched.clear();
        LaunchServices services = RecordedServices();
        services.DeleteWorkingFolder = [this] { ::DeleteFileW(SetupPath(L"s1.exe").c_str()); };
        CAutolaunchSequence sequence(services);
        sequence.HandleLaunchSetup();
        EXPECT_EQ(launched, std::vector<std::string>{"s2.exe|"});
        EXPECT_EQ(theInitializer.FinishStatus, -4);
        EXPECT_EQ(theApp.ExitCodeValue(), kExitSetupFailed);
        PlaceFile(L"s1.exe");
    }
    {
        SCOPED_TRACE("cancel during the first setup");
        theInitializer.FinishStatus = 0;
        theApp.SetExitCode(kExitSuccess);
        launched.clear();
        FakeSheet sheet;
        LaunchServices services = RecordedServices();
        services.ContinueLaunch = [this] { return launched.empty(); };
        services.Sheet = &sheet;
        CAutolaunchSequence sequence(services);
        sequence.HandleLaunchSetup();
        EXPECT_EQ(launched, std::vector<std::string>{"s1.exe|"});
        EXPECT_TRUE(LogHas("|ERROR|LaunchMultipleApplications|Launch process is stopped"));
        EXPECT_EQ(sheet.calls.back(), "launch-finished");
        EXPECT_EQ(theApp.ExitCodeValue(), kExitSuccess);
    }
    {
        SCOPED_TRACE("cancel before the first setup started");
        theInitializer.FinishStatus = 0;
        launched.clear();
        FakeSheet sheet;
        LaunchServices services = RecordedServices();
        services.ContinueLaunch = [] { return false; };
        services.Sheet = &sheet;
        CAutolaunchSequence sequence(services);
        sequence.HandleLaunchSetup();
        EXPECT_TRUE(launched.empty());
        EXPECT_EQ(sheet.calls.back(), "launch-finished");
    }
}

TEST_F(LaunchSequenceTest, SetupThatCannotStartFailsTheRun) {
    zel_test::WriteBytes(SetupPath(L"setup.exe"), "this is not a program\r\n");
    Settings(L"[Runtime]\r\nAutoLaunch=setup.exe\r\n");
    CAutolaunchSequence sequence(RealServices());
    EXPECT_EQ(sequence.HandleLaunchSetup(), 0);
    EXPECT_EQ(theInitializer.FinishStatus, -4);
    EXPECT_EQ(theApp.ExitCodeValue(), kExitSetupFailed);
    EXPECT_TRUE(LogHas("|ERROR|LaunchMultipleApplications|Launch File failed: error ")) << Log();
    EXPECT_FALSE(LogHas("Return code of - ")) << Log();
}

TEST_F(LaunchSequenceTest, ReturnCodesChooseTheFinishMessage) {
    PlaceProbe(L"setup1.exe");
    PlaceProbe(L"setup2.exe");
    Settings(L"[Runtime]\r\nMultilaunch=1\r\nAutoLaunch1=setup1.exe\r\nAutoLaunch2=setup2.exe\r\n"
             L"[AutoLaunch1]\r\nReturnCode_0=SUCCESS:{Ok_Msg}\r\n"
             L"[AutoLaunch2]\r\nreturncode_-1=Error:{Fail_Msg}\r\n"
             L"[1041]\r\nLaunchEXEParams1=--exit=0\r\nLaunchEXEParams2=--exit=-1\r\n"
             L"Ok_Msg=\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u5b8c\u4e86\r\nFail_Msg=Failed\r\n");
    theInitializer.SetupLanguage = 1041;
    CAutolaunchSequence sequence(RealServices());
    sequence.HandleLaunchSetup();
    EXPECT_EQ(theApp.FinishTexts.FinishMessages[L"SUCCESS"], L"\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u5b8c\u4e86");
    EXPECT_EQ(theApp.FinishTexts.GetFinishMessage(), L"Failed") << "an error of any setup wins";
    EXPECT_TRUE(LogHas("|SetFinishMessage|Message Configuerd : ???????")) << Log();
    EXPECT_TRUE(LogHas("|ERROR|SetFinishMessage|Error while installation. Message Configuerd : Failed"));
    EXPECT_EQ(theInitializer.FinishStatus, -6);
    EXPECT_EQ(theApp.ExitCodeValue(), kExitSetupFailed);
}

TEST_F(LaunchSequenceTest, HostileParametersDoNotHang) {
    PlaceProbe(L"setup.exe");
    Settings(L"[Runtime]\r\nAutoLaunch=setup.exe\r\n"
             L"[1033]\r\nLaunchEXEParams=--exit=3 \"100%\" %%% \"%temp%\\a b\" %\"x\"% %nothere% \"\"\" %\r\n");
    CAutolaunchSequence sequence(RealServices());
    EXPECT_EQ(sequence.HandleLaunchSetup(), 0);
    EXPECT_TRUE(LogHas("Return code of - " + Narrow(SetupPath(L"setup.exe")) + " is 3")) << Log();
    EXPECT_NE(Record(L"setup.exe").find("--exit=3 \"100%\" %%%"), std::string::npos) << Record(L"setup.exe");
}

}  // namespace
