// The options and statistics dialog: the snapshot's arithmetic, and the two settings it edits.
#include "../../ui/options_dlg.h"

#include "case_names.h"
#include "monitor_fixture.h"

using fake::Kind;
using ::testing::ElementsAre;

namespace {

struct SnapshotCase {
    std::uint32_t sent;
    std::uint32_t received;
    const char* sentText;
    const char* receivedText;
    const char* percent;
};

class SnapshotTest : public ::testing::TestWithParam<SnapshotCase> {};

TEST_P(SnapshotTest, ShowsTheCountsAndTheirRateThroughSinglePrecision) {
    const COptionsDlg::Snapshot snapshot =
        COptionsDlg::TakeSnapshot(GetParam().sent, GetParam().received);
    EXPECT_EQ(snapshot.sent, GetParam().sentText);
    EXPECT_EQ(snapshot.received, GetParam().receivedText);
    EXPECT_EQ(snapshot.percent, GetParam().percent);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, SnapshotTest,
    ::testing::Values(SnapshotCase{3, 2, "3", "2", "66%"}, SnapshotCase{3, 1, "3", "1", "33%"},
                      // 29 / 100 * 100 lands just below 29 in double precision.
                      SnapshotCase{100, 29, "100", "29", "28%"},
                      SnapshotCase{100, 57, "100", "57", "56%"},
                      SnapshotCase{100, 58, "100", "58", "57%"},
                      SnapshotCase{7, 7, "7", "7", "100%"},
                      SnapshotCase{1000, 0, "1000", "0", "0%"}, SnapshotCase{0, 0, "0", "0", "0%"},
                      SnapshotCase{0, 5, "0", "5", "0%"},
                      SnapshotCase{16777216, 16777216, "16777216", "16777216", "100%"},
                      SnapshotCase{16777217, 16777217, "16777216", "16777216", "100%"},
                      SnapshotCase{16777219, 1, "16777220", "1", "0%"},
                      SnapshotCase{4294967295u, 4294967295u, "4294967296", "4294967296", "100%"},
                      SnapshotCase{4294967295u, 2147483648u, "4294967296", "2147483648", "50%"}),
    [](const auto& info) {
        return "Sent" + std::to_string(info.param.sent) + "Received" +
               std::to_string(info.param.received);
    });

class OptionsDlgTest : public MonitorTest {
  protected:
    // Opens the options dialog from the main window's button and runs `script` in it.
    void OpenOptions(std::function<void(fake::ModalSession&)> script) {
        fk->PushModalScript(IDD_OPTIONS, std::move(script));
        RunWindow([](fake::ModalSession& s) {
            s.Click(IDC_OPTIONS);
            s.PressEscape();
        });
    }
};

TEST_F(OptionsDlgTest, ShowsTheCountsOfTheMomentItWasOpened) {
    CMonitorDlg& window = MakeWindow();
    window.m_nSent = 3;
    window.m_nReceived = 2;
    std::vector<std::string> shown;
    CWnd* parent = nullptr;
    OpenOptions([&](fake::ModalSession& s) {
        parent = s.Dialog().GetParent();
        window.m_nSent = 90;  // the worker goes on counting
        window.m_nReceived = 90;
        for (int id : {IDC_SENT, IDC_RECEIVED, IDC_PERCENT}) shown.push_back(s.Control(id).text);
        s.Click(win::IDCANCEL);
    });
    EXPECT_THAT(shown, ElementsAre("3", "2", "66%"));
    EXPECT_EQ(parent, &window);
}

struct EditCase {
    const char* name;
    int retries;
    int startTray;
    const char* shownRetries;
    int shownCheck;
    std::function<void(fake::ModalSession&)> edit;
    bool ok;
    int storedRetries;
    int storedStartTray;
};

class OptionsEditTest : public OptionsDlgTest, public ::testing::WithParamInterface<EditCase> {};

TEST_P(OptionsEditTest, OkStoresTheSpinnerAndTheBoxCancelStoresNothing) {
    const EditCase& c = GetParam();
    CMonitorDlg& window = MakeWindow();
    window.m_nRetries = c.retries;
    window.m_nStartTray = c.startTray;
    std::string shownRetries;
    int shownCheck = -1;
    OpenOptions([&](fake::ModalSession& s) {
        shownRetries = s.Control(IDC_RETRIES).text;
        shownCheck = s.Control(IDC_STARTTRAY).check;
        c.edit(s);
        if (c.ok) {
            s.Click(win::IDOK);
        } else {
            s.PressEscape();
        }
    });
    EXPECT_EQ(shownRetries, c.shownRetries);
    EXPECT_EQ(shownCheck, c.shownCheck);
    EXPECT_EQ(window.m_nRetries, c.storedRetries);
    EXPECT_EQ(window.m_nStartTray, c.storedStartTray);
    EXPECT_THAT(fk->Log({Kind::EndDialog}).front(), c.ok ? "EndDialog 1" : "EndDialog 2");
}

void Nothing(fake::ModalSession&) {}

INSTANTIATE_TEST_SUITE_P(
    Edits, OptionsEditTest,
    ::testing::Values(
        EditCase{"OkRightAway", 3, 1, "3", 1, Nothing, true, 3, 1},
        EditCase{"StepUpTwice", 3, 0, "3", 0, [](fake::ModalSession& s) { s.Step(IDC_SPIN, 1); s.Step(IDC_SPIN, 1); }, true, 5, 0},
        EditCase{"DownStopsAtThree", 3, 0, "3", 0, [](fake::ModalSession& s) { s.Step(IDC_SPIN, -1); }, true, 3, 0},
        EditCase{"UpStopsAtTwentyFive", 25, 0, "25", 0, [](fake::ModalSession& s) { s.Step(IDC_SPIN, 1); }, true, 25, 0},
        EditCase{"TypedSeven", 3, 0, "3", 0, [](fake::ModalSession& s) { s.Type(IDC_RETRIES, "7"); }, true, 7, 0},
        EditCase{"TypedThirtyKeepsTheLastPosition", 5, 0, "5", 0, [](fake::ModalSession& s) { s.Type(IDC_RETRIES, "30"); }, true, 5, 0},
        EditCase{"TypedLettersKeepTheLastPosition", 5, 0, "5", 0, [](fake::ModalSession& s) { s.Type(IDC_RETRIES, "abc"); }, true, 5, 0},
        EditCase{"TickTheBox", 3, 0, "3", 0, [](fake::ModalSession& s) { s.Click(IDC_STARTTRAY); }, true, 3, 1},
        EditCase{"UntickTheBox", 3, 1, "3", 1, [](fake::ModalSession& s) { s.Click(IDC_STARTTRAY); }, true, 3, 0},
        EditCase{"StartTrayTwoOpensClear", 3, 2, "3", 0, Nothing, true, 3, 0},
        EditCase{"ZeroOpensAsThree", 0, 0, "3", 0, Nothing, true, 3, 0},
        EditCase{"NinetyNineOpensAsTwentyFive", 99, 0, "25", 0, Nothing, true, 25, 0},
        EditCase{"CancelKeepsEverything", 3, 2, "3", 0,
                 [](fake::ModalSession& s) { s.Step(IDC_SPIN, 4); s.Click(IDC_STARTTRAY); }, false, 3, 2},
        EditCase{"CancelKeepsOutOfRange", 99, 0, "25", 0, [](fake::ModalSession& s) { s.Type(IDC_RETRIES, "4"); }, false, 99, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OptionsDlgTest, LimitsTheSpinnerToThreeThroughTwentyFive) {
    int low = 0;
    int high = 0;
    OpenOptions([&](fake::ModalSession& s) {
        low = s.Control(IDC_SPIN).rangeMin;
        high = s.Control(IDC_SPIN).rangeMax;
        s.PressEscape();
    });
    EXPECT_EQ(low, 3);
    EXPECT_EQ(high, 25);
    std::vector<win::LPARAM> ranges;
    for (const auto& [time, message] : fk->Calls<fake::MessageCall>()) {
        if (message.message == win::UDM_SETRANGE) ranges.push_back(message.lParam);
    }
    EXPECT_THAT(ranges, ElementsAre(0x30019));
}

}  // namespace
