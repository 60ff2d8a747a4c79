// The main window as a user meets it: its layout, the keyboard, the alert choice, the target
// box, hiding, the tray icon's clicks and the ways to end the program.
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>
#include <map>

#include "../../res/resource.h"
#include "../../ui/monitor_dlg.h"
#include "dialog_template.h"
#include "modal_dialogs.h"
#include "program_test.h"
#include "tray_icons.h"

namespace qttest {
namespace {

using MainWindowTest = IdleProgramTest;

QLineEdit* TargetBox() {
    return qobject_cast<QLineEdit*>(ControlOf(IDD_MONITOR_DIALOG, IDC_ADDRESS));
}

// The base units of a font, measured as the classic dialog manager measures them.
QPoint BaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return QPoint((letters / 26 + 1) / 2, metrics.height());
}

QRect InPixels(const DialogItemTemplate& item, QPoint base) {
    auto scale = [](int units, int baseUnit, int divisor) {
        return (units * baseUnit + divisor / 2) / divisor;
    };
    return QRect(scale(item.x, base.x(), 4), scale(item.y, base.y(), 8),
                 scale(item.cx, base.x(), 4), scale(item.cy, base.y(), 8));
}

TEST_F(MainWindowTest, PlacesEveryControlInDialogUnitsOfAnEightPointSansFont) {
    std::vector<std::string> misplaced;
    QSize client;
    QPoint base;
    int pointSize = 0;
    ScriptedSteps steps;
    steps.When("the main window", MainIsUp, [&] {
        const win::HWND dialog = TopDialog(IDD_MONITOR_DIALOG);
        QWidget* window = DialogWidget(dialog);
        pointSize = window->font().pointSize();
        base = BaseUnits(window->font());
        client = window->size();
        const auto controls = ControlsInOrder(dialog);
        const DialogTemplate* description = AfxFindDialogTemplate(IDD_MONITOR_DIALOG);
        ASSERT_EQ(controls.size(), description->items.size());
        for (std::size_t i = 0; i < controls.size(); ++i) {
            const DialogItemTemplate& item = description->items[i];
            if (controls[i]->geometry() != InPixels(item, base)) misplaced.emplace_back(item.text);
        }
        PressKeyInFocus(Qt::Key_Escape);
    });
    RunProgram(steps);
    EXPECT_EQ(pointSize, 8);
    EXPECT_EQ(client, QSize((180 * base.x() + 2) / 4, (71 * base.y() + 4) / 8));
    EXPECT_TRUE(misplaced.empty()) << "misplaced: " << ::testing::PrintToString(misplaced);
}

TEST_F(MainWindowTest, ShowsTheTargetRowTheRadioRowAndTheButtonRowInTheirBoxes) {
    std::map<int, QRect> at;
    QRect upperBox, lowerBox;
    ScriptedSteps steps;
    steps.When("the main window", MainIsUp, [&] {
        const win::HWND dialog = TopDialog(IDD_MONITOR_DIALOG);
        for (int id :
             {IDC_ADDRESS, IDC_NONE, IDC_BEEP, IDC_MESSAGE, IDC_OPTIONS, IDC_HIDE, IDC_HELPBTN}) {
            at[id] = Control(dialog, id)->geometry();
        }
        const auto controls = ControlsInOrder(dialog);
        upperBox = controls[0]->geometry();  // "Address to Test"
        lowerBox = controls[8]->geometry();  // "Alert On Connect"
        PressKeyInFocus(Qt::Key_Escape);
    });
    RunProgram(steps);

    EXPECT_TRUE(upperBox.contains(at[IDC_ADDRESS]));
    for (int radio : {IDC_NONE, IDC_BEEP, IDC_MESSAGE}) EXPECT_TRUE(lowerBox.contains(at[radio]));
    EXPECT_LT(at[IDC_NONE].right(), at[IDC_BEEP].left());
    EXPECT_LT(at[IDC_BEEP].right(), at[IDC_MESSAGE].left());
    EXPECT_LT(at[IDC_OPTIONS].right(), at[IDC_HIDE].left());
    EXPECT_LT(at[IDC_HIDE].right(), at[IDC_HELPBTN].left());
    for (int button : {IDC_OPTIONS, IDC_HIDE, IDC_HELPBTN})
        EXPECT_GT(at[button].top(), lowerBox.bottom());
}

TEST_F(MainWindowTest, TabGoesFromTheTargetBoxToHelpHideMeAndStatOptionsAndSkipsTheRadios) {
    std::vector<int> focusOrder;
    ScriptedSteps steps;
    steps.When(
        "the main window with the focus", [] { return MainIsUp() && QApplication::focusWidget(); },
        [&] {
            focusOrder = FocusOrderOverTabs(4);
            PressKeyInFocus(Qt::Key_Escape);
        });
    RunProgram(steps);
    EXPECT_EQ(focusOrder,
              (std::vector<int>{IDC_ADDRESS, IDC_HELPBTN, IDC_HIDE, IDC_OPTIONS, IDC_ADDRESS}));
}

// Enter presses the focused push button, and Help, the default button, from anywhere else.
struct EnterCase {
    const char* name;
    int focused;
    bool (*effectSeen)();
};

class EnterTest : public MainWindowTest, public ::testing::WithParamInterface<EnterCase> {};

TEST_P(EnterTest, PressesTheRightButton) {
    const EnterCase& row = GetParam();
    bool seen = false;
    ScriptedSteps steps;
    steps
        .When("the main window", MainIsUp,
              [&] {
                  QWidget* control = ControlOf(IDD_MONITOR_DIALOG, row.focused);
                  control->setFocus(Qt::OtherFocusReason);
                  PressKeyInFocus(Qt::Key_Return);
              })
        .When(
            row.name, [&] { return seen = row.effectSeen(); },
            [] {
                // Back to the main window, whichever dialog the key opened or however it left.
                if (TopDialog(IDD_MONITOR_DIALOG) != nullptr) {
                    MainWindow()->ShowWindow(win::SW_SHOW);
                } else {
                    PressKey(DialogWidget(tsyqt::RunningDialogs().back()), Qt::Key_Escape);
                }
            })
        .When("the main window again", MainIsUp, [] { CloseMainWindow(); });
    RunProgram(steps);
    EXPECT_TRUE(seen);
}

INSTANTIATE_TEST_SUITE_P(
    FocusedControl, EnterTest,
    ::testing::Values(EnterCase{"the about box from the target box", IDC_ADDRESS,
                                [] { return DialogIsUp(IDD_ABOUTBOX); }},
                      EnterCase{"the about box from a radio button", IDC_BEEP,
                                [] { return DialogIsUp(IDD_ABOUTBOX); }},
                      EnterCase{"the options dialog from Stat/Options", IDC_OPTIONS,
                                [] { return DialogIsUp(IDD_OPTIONS); }},
                      EnterCase{"the window hidden by Hide Me", IDC_HIDE,
                                [] {
                                    QWidget* window = DialogWidget(TopDialog(IDD_MONITOR_DIALOG));
                                    return window != nullptr && !window->isVisible();
                                }}),
    [](const ::testing::TestParamInfo<EnterCase>& info) {
        return std::to_string(info.param.focused);
    });

// Every way to close the main window ends the program through its destroy step, which writes
// all four settings.
struct CloseCase {
    const char* name;
    void (*close)();
};

class CloseTest : public MainWindowTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseTest, EndsTheRunAndSavesTheFourSettings) {
    Store({.address = "localhost", .alert = 1009, .startTray = 2, .packets = 7});
    ScriptedSteps steps;
    steps.When("the main window", MainIsUp, [] {
        Click(ControlOf(IDD_MONITOR_DIALOG, IDC_BEEP));
        TargetBox()->setFocus(Qt::OtherFocusReason);
        TargetBox()->selectAll();
        QTest::keyClicks(TargetBox(), "127.0.0.1");
        GetParam().close();
    });
    RunProgram(steps);
    EXPECT_EQ(MainWindow(), nullptr) << "the framework forgets the main window once it is gone";
    EXPECT_TRUE(SettingsFileExists());
    EXPECT_EQ(StoredText("IPAddress"), "127.0.0.1");
    EXPECT_EQ(StoredInt("Alert"), 1008);
    EXPECT_EQ(StoredInt("StartTray"), 2);
    EXPECT_EQ(StoredInt("Packets"), 7);
}

void ChooseFromWindowMenu(const QString& text) {
    QWidget* window = DialogWidget(TopDialog(IDD_MONITOR_DIALOG));
    QTimer::singleShot(0, [text] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr) << "no window menu opened";
        for (QAction* action : menu->actions()) {
            if (action->text() == text) menu->setActiveAction(action);
        }
        QTest::keyClick(menu, Qt::Key_Return);
    });
    PressKey(window, Qt::Key_Space, Qt::AltModifier);
}

INSTANTIATE_TEST_SUITE_P(
    Way, CloseTest,
    ::testing::Values(CloseCase{"Escape", [] { PressKeyInFocus(Qt::Key_Escape); }},
                      CloseCase{"AltF4", [] { PressKeyInFocus(Qt::Key_F4, Qt::AltModifier); }},
                      CloseCase{"CloseBox",
                                [] { DialogWidget(TopDialog(IDD_MONITOR_DIALOG))->close(); }},
                      CloseCase{"WindowMenuClose", [] { ChooseFromWindowMenu("&Close\tAlt+F4"); }}),
    [](const ::testing::TestParamInfo<CloseCase>& info) { return info.param.name; });

TEST_F(MainWindowTest, WindowMenuListsMoveAndCloseThenTheAboutEntryAfterASeparator) {
    QStringList items;
    ScriptedSteps steps;
    steps.When("the main window", MainIsUp, [&] {
        QWidget* window = DialogWidget(TopDialog(IDD_MONITOR_DIALOG));
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            for (QAction* action : menu->actions()) {
                items << (action->isSeparator() ? QStringLiteral("-") : action->text());
            }
            menu->close();
            PressKeyInFocus(Qt::Key_Escape);
        });
        // A right click in the dialog opens it, as Alt+Space does.
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5),
                                window->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(window, &click);
    });
    RunProgram(steps);
    EXPECT_EQ(items, (QStringList{"&Move", "-", "&Close\tAlt+F4", "-", "&About orvane..."}));
}

TEST_F(MainWindowTest, ARadioClickStoresItsIdentifierAndClearsTheOtherRadios) {
    Store({.alert = IDC_BEEP});
    struct Seen {
        int clicked, mode;
        std::vector<int> checked;
        bool operator==(const Seen&) const = default;
    };
    std::vector<Seen> seen;
    ScriptedSteps steps;
    steps.When("the main window", MainIsUp, [&] {
        // The Beep button is selected already: clicking it again stores the same value.
        for (int radio : {IDC_BEEP, IDC_MESSAGE, IDC_NONE, IDC_BEEP}) {
            Click(ControlOf(IDD_MONITOR_DIALOG, radio));
            Seen after{radio, MainWindow()->m_nAlertMode, {}};
            for (int other : {IDC_BEEP, IDC_MESSAGE, IDC_NONE}) {
                auto* button = qobject_cast<QRadioButton*>(ControlOf(IDD_MONITOR_DIALOG, other));
                if (button->isChecked()) after.checked.push_back(other);
            }
            seen.push_back(after);
        }
        PressKeyInFocus(Qt::Key_Escape);
    });
    RunProgram(steps);
    EXPECT_EQ(seen, (std::vector<Seen>{{IDC_BEEP, IDC_BEEP, {IDC_BEEP}},
                                       {IDC_MESSAGE, IDC_MESSAGE, {IDC_MESSAGE}},
                                       {IDC_NONE, IDC_NONE, {IDC_NONE}},
                                       {IDC_BEEP, IDC_BEEP, {IDC_BEEP}}}));
    EXPECT_EQ(StoredInt("Alert"), IDC_BEEP);
}

// The stored alert mode selects its radio button; a value that names no radio button selects
// none, even when it names another control, and stays in force.
struct StoredAlertCase {
    int stored;
    int selected;  // 0: none
};

class StoredAlertTest : public MainWindowTest,
                        public ::testing::WithParamInterface<StoredAlertCase> {};

TEST_P(StoredAlertTest, SelectsTheMatchingRadioOnly) {
    const StoredAlertCase& row = GetParam();
    Store({.alert = row.stored});
    std::vector<int> checked;
    int modeWhileOpen = 0;
    ScriptedSteps steps;
    steps.When("the main window", MainIsUp, [&] {
        for (int radio : {IDC_BEEP, IDC_MESSAGE, IDC_NONE}) {
            if (qobject_cast<QRadioButton*>(ControlOf(IDD_MONITOR_DIALOG, radio))->isChecked()) {
                checked.push_back(radio);
            }
        }
        modeWhileOpen = MainWindow()->m_nAlertMode;
        PressKeyInFocus(Qt::Key_Escape);
    });
    RunProgram(steps);
    EXPECT_EQ(checked, row.selected ? std::vector<int>{row.selected} : std::vector<int>{});
    EXPECT_EQ(modeWhileOpen, row.stored);
    EXPECT_EQ(StoredInt("Alert"), row.stored);
}

INSTANTIATE_TEST_SUITE_P(Mode, StoredAlertTest,
                         ::testing::Values(StoredAlertCase{1008, IDC_BEEP},
                                           StoredAlertCase{1009, IDC_MESSAGE},
                                           StoredAlertCase{1011, IDC_NONE},
                                           StoredAlertCase{IDC_HIDE, 0},     // a push button
                                           StoredAlertCase{IDC_ADDRESS, 0},  // the target box
                                           StoredAlertCase{1, 0}, StoredAlertCase{-1, 0}),
                         [](const ::testing::TestParamInfo<StoredAlertCase>& info) {
                             return "Stored" +
                                    std::to_string(info.param.stored < 0 ? 0 : info.param.stored);
                         });

TEST_F(MainWindowTest, EachKeystrokeInTheTargetBoxStoresTheWholeTextAndAsksForAResolve) {
    Store({.address = "127.0.0.1"});
    std::vector<std::string> addressAfterKey;
    std::vector<int> resolveAfterKey;
    std::string boxText;
    ScriptedSteps steps;
    steps.When("the main window", MainIsUp, [&] {
        // The window opened with the focus in the box and its text selected: typing replaces it.
        for (char key : std::string("loc")) {
            MainWindow()->m_bResolve = 0;
            QTest::keyClick(TargetBox(), key);
            addressAfterKey.emplace_back(MainWindow()->m_strAddress.Load().View());
            resolveAfterKey.push_back(MainWindow()->m_bResolve);
        }
        boxText = TargetBox()->text().toStdString();
        PressKeyInFocus(Qt::Key_Escape);
    });
    RunProgram(steps);
    EXPECT_EQ(addressAfterKey, (std::vector<std::string>{"l", "lo", "loc"}));
    EXPECT_EQ(resolveAfterKey, (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(boxText, "loc");
    EXPECT_EQ(StoredText("IPAddress"), "loc");
}

TEST_F(MainWindowTest, FillingTheTargetBoxAtOpeningIsNoEdit) {
    Store({.address = "127.0.0.1"});
    std::string boxText;
    int resolve = -1;
    ScriptedSteps steps;
    steps.When("the main window", MainIsUp, [&] {
        boxText = TargetBox()->text().toStdString();
        resolve = MainWindow()->m_bResolve;
        PressKeyInFocus(Qt::Key_Escape);
    });
    RunProgram(steps);
    EXPECT_EQ(boxText, "127.0.0.1");
    EXPECT_EQ(resolve, 1);
}

TEST_F(MainWindowTest, HideMeAndTheTrayIconsClicksHideAndShowWithoutEndingTheRun) {
    std::vector<bool> visibleAfter;
    bool trayIconShown = false;
    auto main = [] { return DialogWidget(TopDialog(IDD_MONITOR_DIALOG)); };
    auto tray = [] { return tsyqt::TrayIconOf(MainWindow()->m_hWnd, 0); };
    ScriptedSteps steps;
    steps.When("the main window", MainIsUp, [&] {
        ASSERT_NE(tray(), nullptr);
        trayIconShown = tray()->isVisible();
        Click(ControlOf(IDD_MONITOR_DIALOG, IDC_HIDE));
        visibleAfter.push_back(main()->isVisible());
        emit tray()->activated(QSystemTrayIcon::Context);  // a right click while hidden
        visibleAfter.push_back(main()->isVisible());
        emit tray()->activated(QSystemTrayIcon::DoubleClick);  // its first press acted already
        visibleAfter.push_back(main()->isVisible());
        emit tray()->activated(QSystemTrayIcon::Trigger);  // a left click
        visibleAfter.push_back(main()->isVisible());
        emit tray()->activated(QSystemTrayIcon::Context);
        visibleAfter.push_back(main()->isVisible());
        emit tray()->activated(QSystemTrayIcon::Trigger);
        visibleAfter.push_back(main()->isVisible());
        CloseMainWindow();
    });
    RunProgram(steps);
    EXPECT_TRUE(trayIconShown);
    EXPECT_EQ(visibleAfter, (std::vector<bool>{false, false, false, true, false, true}));
}

TEST_F(MainWindowTest, OpensCentredInTheWorkAreaAndTheOptionsDialogOverIt) {
    QPoint mainCentre, optionsCentre, workAreaCentre;
    ScriptedSteps steps;
    steps
        .When("the main window", MainIsUp,
              [&] {
                  mainCentre =
                      DialogWidget(TopDialog(IDD_MONITOR_DIALOG))->frameGeometry().center();
                  workAreaCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
                  Click(ControlOf(IDD_MONITOR_DIALOG, IDC_OPTIONS));
              })
        .When(
            "the options dialog", [] { return DialogIsUp(IDD_OPTIONS); },
            [&] {
                optionsCentre = DialogWidget(TopDialog(IDD_OPTIONS))->frameGeometry().center();
                PressKeyInFocus(Qt::Key_Escape);
            })
        .When("the main window again", MainIsUp, [] { CloseMainWindow(); });
    RunProgram(steps);
    EXPECT_LE((mainCentre - workAreaCentre).manhattanLength(), 2);
    EXPECT_LE((optionsCentre - mainCentre).manhattanLength(), 2);
}

TEST_F(MainWindowTest, IsAnApplicationWindowWithACloseBoxButNoMinimizeOrMaximizeBox) {
    Qt::WindowFlags main, options;
    ScriptedSteps steps;
    steps
        .When("the main window", MainIsUp,
              [&] {
                  main = DialogWidget(TopDialog(IDD_MONITOR_DIALOG))->windowFlags();
                  Click(ControlOf(IDD_MONITOR_DIALOG, IDC_OPTIONS));
              })
        .When(
            "the options dialog", [] { return DialogIsUp(IDD_OPTIONS); },
            [&] {
                options = DialogWidget(TopDialog(IDD_OPTIONS))->windowFlags();
                PressKeyInFocus(Qt::Key_Escape);
            })
        .When("the main window again", MainIsUp, [] { CloseMainWindow(); });
    RunProgram(steps);
    // A window of its own on the task bar; the options dialog rides on the main window's.
    EXPECT_EQ(main & Qt::WindowType_Mask, Qt::Window);
    EXPECT_EQ(options & Qt::WindowType_Mask, Qt::Dialog);
    for (Qt::WindowFlags flags : {main, options}) {
        EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
        EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
        EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
        EXPECT_FALSE(flags.testFlag(Qt::WindowContextHelpButtonHint));
    }
}

TEST_F(MainWindowTest, AMinimizedWindowPaintsItsIconInTheMiddle) {
    QImage painted;
    QColor ground;
    ScriptedSteps steps;
    steps.When("the main window", MainIsUp, [&] {
        QWidget* window = DialogWidget(TopDialog(IDD_MONITOR_DIALOG));
        ground = window->palette().window().color();
        window->setWindowState(Qt::WindowMinimized);
        // The window's own painting, without its controls: a minimized window shows none.
        painted = QImage(window->size(), QImage::Format_ARGB32);
        window->render(&painted, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        window->setWindowState(Qt::WindowNoState);
        CloseMainWindow();
    });
    RunProgram(steps);
    ASSERT_FALSE(painted.isNull());
    const QPoint middle(painted.width() / 2, painted.height() / 2);
    // The application icon's centre is its green dot; where a control would be, only ground.
    const QColor dot = painted.pixelColor(middle);
    EXPECT_GT(dot.green(), 150);
    EXPECT_LT(dot.red(), 100);
    EXPECT_EQ(painted.pixelColor(middle + QPoint(0, 20)), ground) << "below the icon";
    EXPECT_EQ(painted.pixelColor(3, 3), ground);
}

TEST_F(MainWindowTest, TheTrayIconIsRemovedWhenTheWindowCloses) {
    win::HWND window = nullptr;
    ScriptedSteps steps;
    steps.When("the main window", MainIsUp, [&] {
        window = MainWindow()->m_hWnd;
        PressKeyInFocus(Qt::Key_Escape);
    });
    RunProgram(steps);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(tsyqt::TrayIconOf(window, 0), nullptr);
}

}  // namespace
}  // namespace qttest
