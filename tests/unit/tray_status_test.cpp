// The tray icon as the worker moves it between red and green, and the alert when it turns green.
#include <cstring>

#include "case_names.h"
#include "monitor_fixture.h"

using fake::Addr;
using fake::Kind;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

constexpr const char* kUp = "Tessaly - Net Up";
constexpr const char* kDown = "Tessaly - Net Down";

// One letter a pass: S a reply with a reverse name, F no reply, N a reply from a node without one.
void QueueOutcomes(fake::Platform& platform, const std::string& outcomes) {
    for (char outcome : outcomes) {
        if (outcome == 'S') platform.QueueEcho(fake::Reply(Addr("127.0.0.1"), 1));
        if (outcome == 'N') platform.QueueEcho(fake::Reply(Addr("10.200.0.9"), 1));
        if (outcome == 'F') platform.QueueEcho(fake::NoReply());
    }
}

std::string Change(int pass, const char* tip) {
    return "pass " + std::to_string(pass) + ": " + tip;
}

class TrayTest : public MonitorTest {
  protected:
    void SetUp() override {
        MonitorTest::SetUp();
        fk->SetReverseName(Addr("127.0.0.1"), "localhost");
        fk->SetHost("printer", {Addr("127.0.0.1")});
    }

    void Run(int retries, int alertMode, const std::string& target, const std::string& outcomes) {
        fk->Store().PutInt(kSectionPath, "Packets", retries);
        fk->Store().PutInt(kSectionPath, "Alert", alertMode);
        fk->Store().PutText(kSectionPath, "IPAddress", target);
        QueueOutcomes(*fk, outcomes);
        RunWorker(static_cast<int>(outcomes.size()));
    }

    std::size_t Beeps() const { return fk->Calls<fake::BeepCall>().size(); }
};

struct TransitionCase {
    const char* name;
    int retries;
    std::string target;
    std::string outcomes;
    int editAtPass;  // 0: no edit; else the target box is typed into (same text) before that pass
    std::vector<std::string> changes;
};

class TransitionTest : public TrayTest, public ::testing::WithParamInterface<TransitionCase> {};

TEST_P(TransitionTest, MovesTheIconAndAlertsOncePerReturn) {
    const TransitionCase& c = GetParam();
    if (c.editAtPass != 0) {
        AtPauseBefore(c.editAtPass, [this, &c] { session->Type(IDC_ADDRESS, c.target); });
    }
    Run(c.retries, IDC_BEEP, c.target, c.outcomes);

    EXPECT_THAT(TrayChanges(), ElementsAreArray(c.changes));
    const auto ups = std::count_if(c.changes.begin(), c.changes.end(),
                                   [](const std::string& change) { return change.ends_with(kUp); });
    EXPECT_EQ(Beeps(), static_cast<std::size_t>(36 * ups));
}

INSTANTIATE_TEST_SUITE_P(
    Table, TransitionTest,
    ::testing::Values(
        TransitionCase{"FirstSuccessIsAReturn", 3, "127.0.0.1", "S", 0, {Change(1, kUp)}},
        TransitionCase{"AlreadyGreen", 3, "127.0.0.1", "SSS", 0, {Change(1, kUp)}},
        TransitionCase{
            "ThreeFailuresOverThreeStayGreen", 3, "127.0.0.1", "SFFFS", 0, {Change(1, kUp)}},
        TransitionCase{"FourFailuresOverThreeTurnRedAtTheNextTop",
                       3,
                       "127.0.0.1",
                       "SFFFFS",
                       0,
                       {Change(1, kUp), Change(6, kDown), Change(6, kUp)}},
        TransitionCase{"FourFailuresStayRedWhileFailing",
                       3,
                       "127.0.0.1",
                       "SFFFFFF",
                       0,
                       {Change(1, kUp), Change(6, kDown)}},
        TransitionCase{"ThresholdZeroTakesOneFailure",
                       0,
                       "127.0.0.1",
                       "SFS",
                       0,
                       {Change(1, kUp), Change(3, kDown), Change(3, kUp)}},
        TransitionCase{"NamelessReplyIsAFailure",
                       0,
                       "127.0.0.1",
                       "SNS",
                       0,
                       {Change(1, kUp), Change(3, kDown), Change(3, kUp)}},
        // Below zero the down check holds at every top: red, then green at each success.
        TransitionCase{
            "NegativeThreshold",
            -1,
            "127.0.0.1",
            "SSFS",
            0,
            {Change(1, kUp), Change(2, kDown), Change(2, kUp), Change(3, kDown), Change(4, kUp)}},
        TransitionCase{"MostNegativeThreshold",
                       -2147483647 - 1,
                       "127.0.0.1",
                       "SS",
                       0,
                       {Change(1, kUp), Change(2, kDown), Change(2, kUp)}},
        // A name forces the icon red whenever it is resolved, though it names the same address.
        TransitionCase{"HostNameForcesRed",
                       3,
                       "printer",
                       "SSS",
                       3,
                       {Change(1, kUp), Change(3, kDown), Change(3, kUp)}},
        // An address that is resolved again forces nothing.
        TransitionCase{"AddressForcesNothing", 3, "127.0.0.1", "SSS", 3, {Change(1, kUp)}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TrayTest, EveryChangeKeepsTheAddedRecordButItsIconAndTip) {
    Run(0, IDC_NONE, "127.0.0.1", "SFS");
    const auto calls = fk->Calls<fake::TrayCall>();
    ASSERT_EQ(calls.size(), 5u);  // add, up, down, up, delete
    const win::NOTIFYICONDATAA& added = calls[0].call.record;
    EXPECT_EQ(calls[0].call.message, win::NIM_ADD);
    EXPECT_EQ(added.cbSize, sizeof(win::NOTIFYICONDATAA));
    EXPECT_EQ(added.hWnd, window);
    EXPECT_EQ(added.uID, 0u);
    EXPECT_EQ(added.uFlags, 7u);
    EXPECT_EQ(added.uCallbackMessage, 0x465u);
    EXPECT_EQ(fk->IconOf(added.hIcon), std::make_pair(130, 16));
    EXPECT_STREQ(added.szTip, kDown);
    const std::pair<int, const char*> expected[] = {{129, kUp}, {130, kDown}, {129, kUp}};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const fake::TrayCall& change = calls[i + 1].call;
        EXPECT_EQ(change.message, win::NIM_MODIFY);
        EXPECT_EQ(change.record.cbSize, added.cbSize);
        EXPECT_EQ(change.record.hWnd, added.hWnd);
        EXPECT_EQ(change.record.uID, added.uID);
        EXPECT_EQ(change.record.uFlags, added.uFlags);
        EXPECT_EQ(change.record.uCallbackMessage, added.uCallbackMessage);
        EXPECT_EQ(fk->IconOf(change.record.hIcon), std::make_pair(expected[i].first, 16));
        EXPECT_STREQ(change.record.szTip, expected[i].second);
        // What a longer tip left behind is cleared with it.
        EXPECT_EQ(
            std::string(change.record.szTip, sizeof(change.record.szTip)),
            std::string(expected[i].second) +
                std::string(sizeof(change.record.szTip) - std::strlen(expected[i].second), '\0'));
    }
    // The window's own record still names the red icon: the shell removes by owner and id.
    EXPECT_EQ(calls[4].call.message, win::NIM_DELETE);
    EXPECT_EQ(calls[4].call.record.hIcon, added.hIcon);
    EXPECT_TRUE(fk->TrayIcons().empty());
}

TEST_F(TrayTest, TheBeepBurstIsThirtySixShortHighTonesAndDelaysTheNextPass) {
    Run(3, IDC_BEEP, "127.0.0.1", "SS");
    std::vector<std::string> burst;
    for (int i = 0; i < 36; ++i) {
        burst.push_back("Beep 10000 10");
        burst.push_back("Sleep 5");
    }
    burst.push_back("Sleep 10000");
    burst.push_back("Sleep 10000");
    EXPECT_THAT(LogAfter("Shell_NotifyIcon NIM_MODIFY Tessaly - Net Up", {Kind::Beep, Kind::Sleep}),
                ElementsAreArray(burst));
    const auto echoes = fk->TimesOf(Kind::IcmpSendEcho);
    ASSERT_EQ(echoes.size(), 2u);
    EXPECT_EQ(echoes[1], echoes[0] + 1 + 36 * (10 + 5) + 10000);
}

TEST_F(TrayTest, TheMessageAlertRestoresAndFrontsTheWindowAndWaitsForTheBox) {
    fk->QueueBoxAnswer({win::IDOK, 4000, {}});
    fk->Store().PutInt(kSectionPath, "StartTray", 1);
    Run(3, IDC_MESSAGE, "127.0.0.1", "SS");

    EXPECT_THAT(
        LogAfter("Shell_NotifyIcon NIM_MODIFY Tessaly - Net Up",
                 {Kind::ShowWindow, Kind::SetForegroundWindow, Kind::MessageBox, Kind::Sleep}),
        ElementsAre("ShowWindow 9", "SetForegroundWindow", "MessageBox Connection restored",
                    "Sleep 10000", "Sleep 10000"));
    const auto boxes = fk->Calls<fake::BoxCall>();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].call.caption, "Dovrel's Tessaly");
    EXPECT_EQ(boxes[0].call.type, win::MB_ICONINFORMATION);
    EXPECT_EQ(boxes[0].call.owner, window);
    EXPECT_FALSE(boxes[0].call.appBox);
    EXPECT_EQ(fk->Calls<fake::ShowCall>()[1].call.window, window);  // the foreground call
    const auto echoes = fk->TimesOf(Kind::IcmpSendEcho);
    ASSERT_EQ(echoes.size(), 2u);
    EXPECT_EQ(echoes[1], echoes[0] + 1 + 4000 + 10000);
}

class QuietAlertTest : public TrayTest, public ::testing::WithParamInterface<int> {};

TEST_P(QuietAlertTest, ModesOtherThanBeepAndMessageGiveNoAlert) {
    Run(0, GetParam(), "127.0.0.1", "SFS");
    EXPECT_THAT(TrayChanges(), ElementsAre(Change(1, kUp), Change(3, kDown), Change(3, kUp)));
    EXPECT_EQ(Beeps(), 0u);
    EXPECT_THAT(fk->Log({Kind::MessageBox, Kind::SetForegroundWindow}), IsEmpty());
    EXPECT_THAT(fk->Log({Kind::ShowWindow}), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Modes, QuietAlertTest, ::testing::Values(IDC_NONE, IDC_HELPBTN, 0, -1008),
                         case_names::ByNumber{});

TEST_F(TrayTest, ANewAlertModeCountsFromTheNextReturn) {
    AtPauseBefore(2, [this] { dlg->m_nAlertMode = IDC_NONE; });
    AtPauseBefore(4, [this] { dlg->m_nAlertMode = IDC_BEEP; });
    Run(0, IDC_BEEP, "127.0.0.1", "SFSFS");
    std::vector<int> beepPasses(36, 1);
    beepPasses.insert(beepPasses.end(), 36, 5);
    EXPECT_THAT(PassesOf(Kind::Beep), ElementsAreArray(beepPasses));
}

}  // namespace
