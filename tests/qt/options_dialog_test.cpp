// The options and statistics dialog as a user meets it: the threshold spinner and its edit box,
// the start-in-tray box, OK and Cancel, and the counts it shows.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include "../../res/resource.h"
#include "../../ui/monitor_dlg.h"
#include "program_test.h"
#include "updown_control.h"

namespace qttest {
namespace {

using win::IDCANCEL;
using win::IDOK;

using OptionsDialogTest = IdleProgramTest;

bool OptionsAreUp() {
    return DialogIsUp(IDD_OPTIONS);
}
void OpenOptions() {
    Click(ControlOf(IDD_MONITOR_DIALOG, IDC_OPTIONS));
}

QLineEdit* RetriesBox() {
    return qobject_cast<QLineEdit*>(ControlOf(IDD_OPTIONS, IDC_RETRIES));
}
tsyqt::UpDownControl* Spinner() {
    return dynamic_cast<tsyqt::UpDownControl*>(ControlOf(IDD_OPTIONS, IDC_SPIN));
}
QCheckBox* StartTrayBox() {
    return qobject_cast<QCheckBox*>(ControlOf(IDD_OPTIONS, IDC_STARTTRAY));
}
QString ValueField(int id) {
    return qobject_cast<QLabel*>(ControlOf(IDD_OPTIONS, id))->text();
}

void TypeInto(QLineEdit* box, const char* text) {
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
    QTest::keyClicks(box, text);
}

// ---- The threshold ------------------------------------------------------------------------------
struct SpinCase {
    const char* name;
    int stored;
    const char* shownAtOpening;
    void (*act)();
    const char* shownBeforeOk;
    int storedByOk;
};

class SpinnerTest : public OptionsDialogTest, public ::testing::WithParamInterface<SpinCase> {};

TEST_P(SpinnerTest, ShowsStepsAndStoresThePosition) {
    const SpinCase& row = GetParam();
    Store({.packets = row.stored});
    QString atOpening, beforeOk;
    int retriesAfterOk = 0;
    ScriptedSteps steps;
    steps.When("the main window", MainIsUp, OpenOptions)
        .When("the options dialog", OptionsAreUp,
              [&] {
                  atOpening = RetriesBox()->text();
                  row.act();
                  beforeOk = RetriesBox()->text();
                  Click(ControlOf(IDD_OPTIONS, IDOK));
              })
        .When("the main window again", MainIsUp, [&] {
            retriesAfterOk = MainWindow()->m_nRetries;
            CloseMainWindow();
        });
    RunProgram(steps);
    EXPECT_EQ(atOpening, row.shownAtOpening);
    EXPECT_EQ(beforeOk, row.shownBeforeOk);
    EXPECT_EQ(retriesAfterOk, row.storedByOk);
    EXPECT_EQ(StoredInt("Packets"), row.storedByOk);
}

void Nothing() {}
void DownKey() {
    PressKey(RetriesBox(), Qt::Key_Down);
}
void UpKey() {
    PressKey(RetriesBox(), Qt::Key_Up);
}
void DownArrow() {
    Click(Spinner()->DownArrow());
}
void UpArrow() {
    Click(Spinner()->UpArrow());
}

INSTANTIATE_TEST_SUITE_P(
    Case, SpinnerTest,
    ::testing::Values(SpinCase{"DownKeyStopsAt3", 3, "3", DownKey, "3", 3},
                      SpinCase{"DownArrowStopsAt3", 3, "3", DownArrow, "3", 3},
                      SpinCase{"UpKeyStopsAt25", 25, "25", UpKey, "25", 25},
                      SpinCase{"UpArrowStopsAt25", 25, "25", UpArrow, "25", 25},
                      SpinCase{"UpKeySteps", 3, "3", UpKey, "4", 4},
                      SpinCase{"DownArrowSteps", 17, "17", DownArrow, "16", 16},
                      SpinCase{"OkRightAfterOpeningKeepsTheValue", 9, "9", Nothing, "9", 9},
                      SpinCase{"StoredZeroOpensAt3", 0, "3", Nothing, "3", 3},
                      SpinCase{"StoredFortyOpensAt25", 40, "25", Nothing, "25", 25},
                      SpinCase{"TypedSevenIsStored", 3, "3", [] { TypeInto(RetriesBox(), "7"); },
                               "7", 7},
                      SpinCase{"TypedThirtyKeepsTheLastPosition", 5, "5",
                               [] { TypeInto(RetriesBox(), "30"); }, "30", 5},
                      SpinCase{"TypedTwoKeepsTheLastPosition", 5, "5",
                               [] { TypeInto(RetriesBox(), "2"); }, "2", 5},
                      SpinCase{"LettersKeepTheLastPosition", 5, "5",
                               [] { TypeInto(RetriesBox(), "abc"); }, "abc", 5},
                      SpinCase{"ArrowCountsFromTheTypedNumber", 3, "3",
                               [] {
                                   TypeInto(RetriesBox(), "9");
                                   UpKey();
                               },
                               "10", 10}),
    [](const ::testing::TestParamInfo<SpinCase>& info) { return info.param.name; });

// ---- The start-in-tray box ----------------------------------------------------------------------
struct StartTrayCase {
    const char* name;
    int stored;
    bool tickedAtOpening;
    bool clickBox;
    int storedByOk;
};

class StartTrayTest : public OptionsDialogTest,
                      public ::testing::WithParamInterface<StartTrayCase> {};

TEST_P(StartTrayTest, OpensFromTheFlagAndOkStoresTheBox) {
    const StartTrayCase& row = GetParam();
    Store({.startTray = row.stored});
    bool ticked = false;
    int flagAfterOk = -1;
    ScriptedSteps steps;
    steps.When("the main window", MainIsUp, OpenOptions)
        .When("the options dialog", OptionsAreUp,
              [&] {
                  ticked = StartTrayBox()->isChecked();
                  if (row.clickBox) Click(StartTrayBox());
                  Click(ControlOf(IDD_OPTIONS, IDOK));
              })
        .When("the main window again", MainIsUp, [&] {
            flagAfterOk = MainWindow()->m_nStartTray;
            CloseMainWindow();
        });
    RunProgram(steps);
    EXPECT_EQ(ticked, row.tickedAtOpening);
    EXPECT_EQ(flagAfterOk, row.storedByOk);
    EXPECT_EQ(StoredInt("StartTray"), row.storedByOk);
}

INSTANTIATE_TEST_SUITE_P(
    Case, StartTrayTest,
    ::testing::Values(StartTrayCase{"OneOpensTicked", 1, true, false, 1},
                      StartTrayCase{"ZeroOpensClear", 0, false, false, 0},
                      StartTrayCase{"TwoOpensClearAndOkStoresZero", 2, false, false, 0},
                      StartTrayCase{"TickingStoresOne", 0, false, true, 1},
                      StartTrayCase{"ClearingStoresZero", 1, true, true, 0},
                      StartTrayCase{"ClickingTheTextTicks", 2, false, true, 1}),
    [](const ::testing::TestParamInfo<StartTrayCase>& info) { return info.param.name; });

TEST_F(OptionsDialogTest, ClickingTheLabelOfTheLeftTextBoxTicksIt) {
    bool tickedAfterClick = false;
    QRect box;
    ScriptedSteps steps;
    steps.When("the main window", MainIsUp, OpenOptions)
        .When("the options dialog", OptionsAreUp,
              [&] {
                  QCheckBox* check = StartTrayBox();
                  box = check->rect();
                  // Its text is on the left, the box against its right edge.
                  QTest::mouseClick(check, Qt::LeftButton, Qt::NoModifier,
                                    QPoint(4, check->height() / 2));
                  tickedAfterClick = check->isChecked();
                  PressKey(DialogWidget(TopDialog(IDD_OPTIONS)), Qt::Key_Escape);
              })
        .When("the main window again", MainIsUp, [] { CloseMainWindow(); });
    RunProgram(steps);
    EXPECT_TRUE(tickedAfterClick);
}

// ---- Cancel -------------------------------------------------------------------------------------
struct CancelCase {
    const char* name;
    void (*cancel)();
};

class CancelTest : public OptionsDialogTest, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelTest, LeavesTheThresholdAndTheFlagAsTheyWere) {
    Store({.startTray = 1, .packets = 5});
    int retries = 0, startTray = 0;
    ScriptedSteps steps;
    steps.When("the main window", MainIsUp, OpenOptions)
        .When("the options dialog", OptionsAreUp,
              [] {
                  TypeInto(RetriesBox(), "9");
                  Click(StartTrayBox());
                  GetParam().cancel();
              })
        .When("the main window again", MainIsUp, [&] {
            retries = MainWindow()->m_nRetries;
            startTray = MainWindow()->m_nStartTray;
            CloseMainWindow();
        });
    RunProgram(steps);
    EXPECT_EQ(retries, 5);
    EXPECT_EQ(startTray, 1);
    EXPECT_EQ(StoredInt("Packets"), 5);
    EXPECT_EQ(StoredInt("StartTray"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Way, CancelTest,
    ::testing::Values(CancelCase{"CancelButton", [] { Click(ControlOf(IDD_OPTIONS, IDCANCEL)); }},
                      CancelCase{"Escape", [] { PressKeyInFocus(Qt::Key_Escape); }},
                      CancelCase{"CloseBox",
                                 [] { DialogWidget(TopDialog(IDD_OPTIONS))->close(); }}),
    [](const ::testing::TestParamInfo<CancelCase>& info) { return info.param.name; });

// ---- The counts ---------------------------------------------------------------------------------
TEST_F(OptionsDialogTest, ShowsTheCountsOfTheMomentItOpenedAndFreshOnesNextTime) {
    QStringList whileOpen, afterWorkerCounted, nextTime;
    auto fields = [] {
        return QStringList{ValueField(IDC_SENT), ValueField(IDC_RECEIVED), ValueField(IDC_PERCENT)};
    };
    ScriptedSteps steps;
    steps
        .When("the main window", MainIsUp,
              [] {
                  MainWindow()->m_nSent = 3;
                  MainWindow()->m_nReceived = 2;
                  OpenOptions();
              })
        .When("the options dialog", OptionsAreUp,
              [&] {
                  whileOpen = fields();
                  // What the worker would do meanwhile.
                  MainWindow()->m_nSent = 100;
                  MainWindow()->m_nReceived = 29;
                  QTest::qWait(50);
                  afterWorkerCounted = fields();
                  Click(ControlOf(IDD_OPTIONS, IDCANCEL));
              })
        .When("the main window again", MainIsUp, OpenOptions)
        .When("the options dialog again", OptionsAreUp,
              [&] {
                  nextTime = fields();
                  Click(ControlOf(IDD_OPTIONS, IDCANCEL));
              })
        .When("the main window once more", MainIsUp, [] { CloseMainWindow(); });
    RunProgram(steps);
    EXPECT_EQ(whileOpen, (QStringList{"3", "2", "66%"}));
    EXPECT_EQ(afterWorkerCounted, whileOpen);
    EXPECT_EQ(nextTime, (QStringList{"100", "29", "28%"}));
}

// ---- The keyboard -------------------------------------------------------------------------------
TEST_F(OptionsDialogTest, OpensWithTheFocusOnOkAndTabsThroughCancelTheBoxAndTheCheckBox) {
    std::vector<int> focusOrder;
    ScriptedSteps steps;
    steps.When("the main window", MainIsUp, OpenOptions)
        .When(
            "the options dialog with the focus",
            [] { return OptionsAreUp() && QApplication::focusWidget() != nullptr; },
            [&] {
                focusOrder = FocusOrderOverTabs(4);
                PressKeyInFocus(Qt::Key_Escape);
            })
        .When("the main window again", MainIsUp, [] { CloseMainWindow(); });
    RunProgram(steps);
    EXPECT_EQ(focusOrder, (std::vector<int>{IDOK, IDCANCEL, IDC_RETRIES, IDC_STARTTRAY, IDOK}));
}

TEST_F(OptionsDialogTest, EnterInTheThresholdBoxActsAsOk) {
    Store({.packets = 3});
    ScriptedSteps steps;
    steps.When("the main window", MainIsUp, OpenOptions)
        .When("the options dialog", OptionsAreUp,
              [] {
                  TypeInto(RetriesBox(), "12");
                  PressKey(RetriesBox(), Qt::Key_Return);
              })
        .When("the main window again", MainIsUp, [] { CloseMainWindow(); });
    RunProgram(steps);
    EXPECT_EQ(StoredInt("Packets"), 12);
}

// ---- Layout -------------------------------------------------------------------------------------
TEST_F(OptionsDialogTest, TheSpinnerTakesTheRightEndOfItsBuddy) {
    QRect box, spinner;
    int boxTemplateRight = 0;
    ScriptedSteps steps;
    steps.When("the main window", MainIsUp, OpenOptions)
        .When("the options dialog", OptionsAreUp,
              [&] {
                  box = RetriesBox()->geometry();
                  spinner = Spinner()->geometry();
                  const QFontMetrics metrics(DialogWidget(TopDialog(IDD_OPTIONS))->font());
                  const int letters = metrics.horizontalAdvance(
                      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
                  const int baseX = (letters / 26 + 1) / 2;
                  boxTemplateRight =
                      ((108 + 30) * baseX + 2) / 4;  // the box's x + width, in pixels
                  PressKeyInFocus(Qt::Key_Escape);
              })
        .When("the main window again", MainIsUp, [] { CloseMainWindow(); });
    RunProgram(steps);
    EXPECT_EQ(spinner.left(), box.right() + 1);
    EXPECT_EQ(spinner.right() + 1, boxTemplateRight);
    EXPECT_EQ(spinner.top(), box.top());
    EXPECT_EQ(spinner.height(), box.height());
    EXPECT_GT(spinner.width(), 0);
}

}  // namespace
}  // namespace qttest
