// Start-up: the socket layer first, then the settings key, then the main window.
#include "monitor_fixture.h"

using fake::Kind;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class InitInstanceTest : public MonitorTest {
  protected:
    void SetUp() override {
        MonitorTest::SetUp();
        app->m_strRegistryKey = CString();
    }
};

struct SocketFailure {
    const char* name;
    int result;
    win::WORD version;
    bool released;  // a layer that started with another version is released again
};

class SocketFailureTest : public InitInstanceTest,
                          public ::testing::WithParamInterface<SocketFailure> {};

TEST_P(SocketFailureTest, ShowsTheMessageAndEndsBeforeTouchingTheStoreOrAWindow) {
    fk->ScriptWsaStartup({GetParam().result});
    fk->SetWsaVersion(GetParam().version);
    EXPECT_EQ(app->InitInstance(), win::FALSE);

    std::vector<std::string> expected = {"WSAStartup 0x0101 -> " +
                                         std::to_string(GetParam().result)};
    if (GetParam().released) expected.push_back("WSACleanup");
    expected.push_back("MessageBox Windows sockets initialization failed.");
    EXPECT_THAT(fk->Log({Kind::WSAStartup, Kind::WSACleanup, Kind::MessageBox}),
                ::testing::ElementsAreArray(expected));
    const fake::BoxCall box = fk->Calls<fake::BoxCall>().at(0).call;
    EXPECT_TRUE(box.appBox);
    EXPECT_EQ(box.caption, "Tessaly");
    EXPECT_EQ(box.shownType, win::MB_OK | win::MB_ICONEXCLAMATION);
    EXPECT_THAT(fk->Log({Kind::StoreRead, Kind::StoreWrite, Kind::DoModal, Kind::LoadIcon}),
                IsEmpty());
    EXPECT_EQ(fk->Store().Find("Software\\Dovrel"), nullptr);
    EXPECT_TRUE(app->m_strRegistryKey.IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Starts, SocketFailureTest,
                         ::testing::Values(SocketFailure{"NotReady", 10091, 0x0101, false},
                                           SocketFailure{"AnyError", -1, 0x0101, false},
                                           SocketFailure{"VersionTwoTwo", 0, 0x0202, true},
                                           SocketFailure{"VersionOneZero", 0, 0x0001, true},
                                           SocketFailure{"VersionTwoOne", 0, 0x0102, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InitInstanceTest, PointsTheStoreAtTheKeyBeforeTheWindowReadsThenRunsItModally) {
    fk->Store().PutInt(kSectionPath, "Packets", 17);
    CWnd* mainDuringRun = nullptr;
    int retriesDuringRun = 0;
    fk->PushModalScript(IDD_MONITOR_DIALOG, [&](fake::ModalSession& s) {
        mainDuringRun = app->m_pMainWnd;
        retriesDuringRun = static_cast<CMonitorDlg&>(s.Dialog()).m_nRetries;
        EXPECT_EQ(mainDuringRun, &s.Dialog());
        s.PressEscape();
    });
    EXPECT_EQ(app->InitInstance(), win::FALSE);

    EXPECT_EQ(retriesDuringRun, 17);
    EXPECT_NE(mainDuringRun, nullptr);
    EXPECT_EQ(app->m_pMainWnd, nullptr);
    EXPECT_EQ(std::string(app->m_strRegistryKey.View()), "Dovrel");
    for (const auto& [time, access] : fk->Calls<fake::StoreCall>()) EXPECT_TRUE(access.reached);
    EXPECT_THAT(fk->Log({Kind::WSAStartup, Kind::MessageBox, Kind::DoModal, Kind::DestroyWindow}),
                ElementsAre("WSAStartup 0x0101 -> 0", "DoModal 102", "DestroyWindow 102"));
    EXPECT_EQ(fk->Log({Kind::StoreRead}).size(), 4u);
    EXPECT_EQ(fk->Store().Int(kSectionPath, "Packets"), 17);
}

TEST_F(InitInstanceTest, F1GoesToTheFrameworksHelp) {
    fk->PushModalScript(IDD_MONITOR_DIALOG, [](fake::ModalSession& s) {
        s.Send(win::WM_COMMAND, ID_HELP, 0);
        s.PressEscape();
    });
    app->InitInstance();
    EXPECT_THAT(fk->Log({Kind::Help}), ElementsAre("OnHelp"));
}

}  // namespace
