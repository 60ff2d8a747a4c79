// The program with its worker probing 127.0.0.1 for real: the tray icon, the start in the tray
// and the message alert, as a user sees them.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QSystemTrayIcon>

#include "../../res/resource.h"
#include "../../ui/monitor_dlg.h"
#include "icons.h"
#include "program_test.h"
#include "tray_icons.h"

namespace qttest {
namespace {

class LiveWorkerTest : public ProgramTest {};

QSystemTrayIcon* Tray() {
    CMonitorDlg* main = MainWindow();
    return main != nullptr ? tsyqt::TrayIconOf(main->m_hWnd, 0) : nullptr;
}

bool TrayShowsUp() {
    return Tray() != nullptr && Tray()->toolTip() == "Tessaly - Net Up";
}

QWidget* MainWidget() {
    return DialogWidget(TopDialog(IDD_MONITOR_DIALOG));
}

QMessageBox* OpenBox() {
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

TEST_F(LiveWorkerTest, TheTrayIconStartsRedAndTurnsGreenForTheLoopbackTarget) {
    Store({.address = "127.0.0.1"});
    QString firstTip, caption;
    qint64 iconFirst = 0, iconUp = 0, expectedDown = 0, expectedUp = 0;
    std::uint32_t received = 0;
    ScriptedSteps steps;
    steps
        .When(
            "the tray icon", [] { return Tray() != nullptr; },
            [&] {
                firstTip = Tray()->toolTip();
                iconFirst = Tray()->icon().cacheKey();
                expectedDown = tsyqt::QtIcon(MainWindow()->m_hIconDown).cacheKey();
            })
        .When("the green icon", TrayShowsUp, [&] {
            iconUp = Tray()->icon().cacheKey();
            expectedUp = tsyqt::QtIcon(MainWindow()->m_hIconUp).cacheKey();
            caption = MainWidget()->windowTitle();
            received = MainWindow()->m_nReceived;
            // The worker now sleeps for 10 seconds; closing must wake it.
            CloseMainWindow();
        });
    RunProgram(steps);
    EXPECT_EQ(firstTip, "Tessaly - Net Down");
    EXPECT_EQ(iconFirst, expectedDown);
    EXPECT_EQ(iconUp, expectedUp);
    EXPECT_EQ(caption, "DovRel Tessaly -127.0.0.1");
    EXPECT_GE(received, 1u);
}

TEST_F(LiveWorkerTest, StartInTrayHidesTheWindowAndTheTrayIconBringsItBack) {
    Store({.startTray = 1});
    bool shownFirst = false, shownAgain = false;
    ScriptedSteps steps;
    steps
        .When(
            "the main window", [] { return MainWidget() != nullptr && MainWidget()->isVisible(); },
            [&] { shownFirst = true; })
        .When(
            "the window hidden by the worker",
            [] {
                return MainWidget() != nullptr && !MainWidget()->isVisible() && Tray() != nullptr;
            },
            [] { emit Tray()->activated(QSystemTrayIcon::Trigger); })
        .When(
            "the window shown again", [] { return MainWidget()->isVisible(); },
            [&] {
                shownAgain = true;
                CloseMainWindow();
            });
    RunProgram(steps);
    EXPECT_TRUE(shownFirst);
    EXPECT_TRUE(shownAgain);
    EXPECT_EQ(StoredInt("StartTray"), 1);
}

TEST_F(LiveWorkerTest, TheMessageAlertRestoresAWindowHiddenInTheTrayAndShowsItsBox) {
    Store({.alert = IDC_MESSAGE, .startTray = 1});
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool windowShownWithBox = false, ownedByMain = false;
    ScriptedSteps steps;
    steps
        .When(
            "the worker's box", [] { return OpenBox() != nullptr && OpenBox()->isVisible(); },
            [&] {
                QMessageBox* box = OpenBox();
                title = box->windowTitle();
                text = box->text();
                icon = box->icon();
                windowShownWithBox = MainWidget()->isVisible();
                ownedByMain = box->parentWidget() == MainWidget();
                Click(box->button(QMessageBox::Ok));
            })
        .When(
            "the box gone", [] { return OpenBox() == nullptr; }, [] { CloseMainWindow(); });
    RunProgram(steps);
    EXPECT_EQ(title, "Dovrel's Tessaly");
    EXPECT_EQ(text, "Connection restored");
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_TRUE(windowShownWithBox);
    EXPECT_TRUE(ownedByMain);
}

}  // namespace
}  // namespace qttest
