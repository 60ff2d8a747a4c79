// The about box: the same box from every way of opening it, and nothing changed by it.
#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include "../../res/resource.h"
#include "../../ui/monitor_dlg.h"
#include "modal_dialogs.h"
#include "program_test.h"

namespace qttest {
namespace {

using AboutBoxTest = IdleProgramTest;

bool AboutIsUp() {
    return DialogIsUp(IDD_ABOUTBOX);
}

// What the box shows: its caption, then each control's text, or the size of its picture.
QStringList Content(win::HWND dialog) {
    QStringList shown{DialogWidget(dialog)->windowTitle()};
    for (QWidget* control : ControlsInOrder(dialog)) {
        if (auto* label = qobject_cast<QLabel*>(control)) {
            const QPixmap picture = label->pixmap();
            shown << (picture.isNull() ? label->text()
                                       : QStringLiteral("picture %1x%2")
                                             .arg(control->width())
                                             .arg(control->height()));
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            shown << button->text();
        }
    }
    return shown;
}

void ChooseAboutFromWindowMenu() {
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions()) {
            if (action->text() == "&About orvane...") menu->setActiveAction(action);
        }
        QTest::keyClick(menu, Qt::Key_Return);
    });
    // A right click in the dialog: the window is not the active one again on the offscreen
    // platform once the previous box has gone, and Alt+Space goes to the active window.
    QWidget* window = DialogWidget(TopDialog(IDD_MONITOR_DIALOG));
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5),
                            window->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(window, &click);
}

struct Opener {
    const char* name;
    void (*open)();
};

const Opener kOpeners[] = {
    {"HelpButton", [] { Click(ControlOf(IDD_MONITOR_DIALOG, IDC_HELPBTN)); }},
    {"EnterInTheTargetBox",
     [] { PressKey(ControlOf(IDD_MONITOR_DIALOG, IDC_ADDRESS), Qt::Key_Return); }},
    {"WindowMenuEntry", ChooseAboutFromWindowMenu},
    {"F1", [] { PressKey(ControlOf(IDD_MONITOR_DIALOG, IDC_ADDRESS), Qt::Key_F1); }},
};

TEST_F(AboutBoxTest, EveryOpenerShowsTheSameBoxAndNothingChanges) {
    Store({.address = "localhost", .alert = 1009, .startTray = 2, .packets = 11});
    std::vector<QStringList> contents;
    std::vector<bool> mainBlocked;
    ScriptedSteps steps;
    for (const Opener& opener : kOpeners) {
        steps.When(std::string("the main window before ") + opener.name, MainIsUp, opener.open)
            .When(std::string("the about box from ") + opener.name, AboutIsUp, [&] {
                contents.push_back(Content(TopDialog(IDD_ABOUTBOX)));
                mainBlocked.push_back(QApplication::activeModalWidget() ==
                                      DialogWidget(TopDialog(IDD_ABOUTBOX)));
                PressKeyInFocus(Qt::Key_Return);  // OK has the focus
            });
    }
    steps.When("the main window at the end", MainIsUp, [] { CloseMainWindow(); });
    RunProgram(steps);

    ASSERT_EQ(contents.size(), std::size(kOpeners));
    const QStringList& first = contents.front();
    ASSERT_GE(first.size(), 4);
    EXPECT_EQ(first[0], "About Dovrel Tessaly");
    EXPECT_EQ(first[1], "picture 32x32");
    EXPECT_TRUE(first.contains("OK"));
    EXPECT_TRUE(first.contains(
        "           Tessaly is a  simple application which can be used to check your network "
        "connection. Run the Tessaly program and a  small icon will be dispayed in your "
        "system tray. The Icon's color changes from Red to Green if connection is "
        "estrablished."));
    for (std::size_t i = 1; i < contents.size(); ++i)
        EXPECT_EQ(contents[i], first) << kOpeners[i].name;
    EXPECT_EQ(mainBlocked, std::vector<bool>(std::size(kOpeners), true));
    EXPECT_EQ(StoredText("IPAddress"), "localhost");
    EXPECT_EQ(StoredInt("Alert"), 1009);
    EXPECT_EQ(StoredInt("StartTray"), 2);
    EXPECT_EQ(StoredInt("Packets"), 11);
}

struct Closer {
    const char* name;
    void (*close)();
};

class AboutCloseTest : public AboutBoxTest, public ::testing::WithParamInterface<Closer> {};

TEST_P(AboutCloseTest, ReturnsToTheMainWindow) {
    bool mainUsableAgain = false;
    ScriptedSteps steps;
    steps
        .When("the main window", MainIsUp,
              [] { Click(ControlOf(IDD_MONITOR_DIALOG, IDC_HELPBTN)); })
        .When("the about box", AboutIsUp, [] { GetParam().close(); })
        .When("the main window again", MainIsUp, [&] {
            // Nothing modal is left to block the main window.
            mainUsableAgain =
                QApplication::activeModalWidget() == nullptr && tsyqt::RunningDialogs().size() == 1;
            CloseMainWindow();
        });
    RunProgram(steps);
    EXPECT_TRUE(mainUsableAgain);
}

INSTANTIATE_TEST_SUITE_P(
    Way, AboutCloseTest,
    ::testing::Values(Closer{"OkButton", [] { Click(ControlOf(IDD_ABOUTBOX, win::IDOK)); }},
                      Closer{"Escape", [] { PressKeyInFocus(Qt::Key_Escape); }},
                      Closer{"CloseBox", [] { DialogWidget(TopDialog(IDD_ABOUTBOX))->close(); }}),
    [](const ::testing::TestParamInfo<Closer>& info) { return info.param.name; });

TEST_F(AboutBoxTest, F1InTheOpenAboutBoxOpensNoSecondOne) {
    std::size_t dialogsAfterF1 = 0;
    ScriptedSteps steps;
    steps
        .When("the main window", MainIsUp,
              [] { Click(ControlOf(IDD_MONITOR_DIALOG, IDC_HELPBTN)); })
        .When("the about box", AboutIsUp,
              [&] {
                  PressKeyInFocus(Qt::Key_F1);
                  QTest::qWait(50);
                  dialogsAfterF1 = tsyqt::RunningDialogs().size();
                  PressKeyInFocus(Qt::Key_Escape);
              })
        .When("the main window again", MainIsUp, [] { CloseMainWindow(); });
    RunProgram(steps);
    EXPECT_EQ(dialogsAfterF1, 2u);
}

}  // namespace
}  // namespace qttest
