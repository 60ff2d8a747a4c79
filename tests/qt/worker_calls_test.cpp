// Window operations from another thread: carried to the GUI thread while the caller waits,
// carried out while the GUI thread waits for that caller, and released by a stop request.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <atomic>
#include <string>

#include "../../res/resource.h"
#include "afxwin.h"
#include "program_test.h"
#include "scripted_steps.h"

namespace qttest {
namespace {

// What a worker saw of its own calls.
struct WorkerLog {
    CDialog* dialog = nullptr;
    std::string captionAfterSet;
    win::BOOL visibleBeforeHide = win::FALSE;
    win::BOOL hideFoundItVisible = win::FALSE;
    win::BOOL visibleAfterHide = win::TRUE;
    int boxResult = -1;
    win::BOOL lateSetResult = -1;
    std::atomic<bool> done{false};
};

// A dialog of its own for each test, and a worker thread that reports what it saw; no program
// runs.
class WorkerCallsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        AfxGetApp()->m_pMainWnd = nullptr;
        m_log.dialog = &m_dialog;
    }

    win::HANDLE StartWorker(win::LPTHREAD_START_ROUTINE body) {
        return win::CreateThread(nullptr, 0, body, &m_log, 0, nullptr);
    }

    CDialog m_dialog{IDD_ABOUTBOX};
    WorkerLog m_log;
};

bool DialogShown() {
    return DialogIsUp(IDD_ABOUTBOX);
}

win::DWORD TSY_WINAPI SetCaptionAndHide(win::LPVOID parameter) {
    auto* log = static_cast<WorkerLog*>(parameter);
    log->dialog->SetWindowText("Set by the worker");
    log->captionAfterSet = std::string(log->dialog->GetWindowText().View());
    log->visibleBeforeHide = log->dialog->IsWindowVisible();
    log->hideFoundItVisible = log->dialog->ShowWindow(win::SW_HIDE);
    log->visibleAfterHide = log->dialog->IsWindowVisible();
    log->done = true;
    return 0;
}

win::DWORD TSY_WINAPI OpenOwnedBox(win::LPVOID parameter) {
    auto* log = static_cast<WorkerLog*>(parameter);
    log->boxResult =
        log->dialog->MessageBox("Connection restored", "Dovrel's Tessaly", win::MB_ICONINFORMATION);
    log->done = true;
    return 0;
}

win::DWORD TSY_WINAPI SetCaptionLate(win::LPVOID parameter) {
    auto* log = static_cast<WorkerLog*>(parameter);
    log->lateSetResult = log->dialog->SetWindowText("Too late");
    log->done = true;
    return 0;
}

QMessageBox* OpenBox() {
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

TEST_F(WorkerCallsTest, ACallFromAnotherThreadIsDoneWhenItReturns) {
    std::string captionSeen;
    bool hiddenSeen = false;
    win::HANDLE thread = nullptr;
    ScriptedSteps steps;
    steps.When("the dialog", DialogShown, [&] { thread = StartWorker(SetCaptionAndHide); })
        .When(
            "the worker done", [&] { return m_log.done.load(); },
            [&] {
                captionSeen = DialogWidget(m_dialog.m_hWnd)->windowTitle().toStdString();
                hiddenSeen = !DialogWidget(m_dialog.m_hWnd)->isVisible();
                m_dialog.EndDialog(win::IDOK);
            });
    steps.Start();
    EXPECT_EQ(m_dialog.DoModal(), win::IDOK);
    AfxWaitForThread(thread);
    // Answers that only a call carried out before it returned can give.
    EXPECT_EQ(m_log.captionAfterSet, "Set by the worker");
    EXPECT_TRUE(m_log.visibleBeforeHide);
    EXPECT_TRUE(m_log.hideFoundItVisible);
    EXPECT_FALSE(m_log.visibleAfterHide);
    EXPECT_EQ(captionSeen, "Set by the worker");
    EXPECT_TRUE(hiddenSeen);
}

TEST_F(WorkerCallsTest, WaitingForAThreadCarriesOutTheWindowCallsItWaitsOn) {
    std::string captionSeen;
    ScriptedSteps steps;
    steps.When("the dialog", DialogShown, [&] {
        const win::HANDLE thread = StartWorker(SetCaptionAndHide);
        // No event loop runs here: only the wait itself can carry out the thread's calls.
        AfxWaitForThread(thread);
        captionSeen = m_dialog.GetWindowText().GetString();
        m_dialog.EndDialog(win::IDOK);
    });
    steps.Start();
    m_dialog.DoModal();
    EXPECT_TRUE(m_log.done);
    EXPECT_EQ(m_log.captionAfterSet, "Set by the worker");
    EXPECT_TRUE(m_log.hideFoundItVisible);
    EXPECT_EQ(captionSeen, "Set by the worker");
}

TEST_F(WorkerCallsTest, AWorkersBoxIsOwnedByTheWindowAndReturnsOkWhenDismissed) {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool ownedByDialog = false;
    win::HANDLE thread = nullptr;
    ScriptedSteps steps;
    steps.When("the dialog", DialogShown, [&] { thread = StartWorker(OpenOwnedBox); })
        .When(
            "the worker's box", [] { return OpenBox() != nullptr; },
            [&] {
                QMessageBox* box = OpenBox();
                title = box->windowTitle();
                text = box->text();
                icon = box->icon();
                ownedByDialog = box->parentWidget() == DialogWidget(m_dialog.m_hWnd);
                Click(box->button(QMessageBox::Ok));
            })
        .When(
            "the worker done", [&] { return m_log.done.load(); },
            [&] { m_dialog.EndDialog(win::IDOK); });
    steps.Start();
    m_dialog.DoModal();
    AfxWaitForThread(thread);
    EXPECT_EQ(title, "Dovrel's Tessaly");
    EXPECT_EQ(text, "Connection restored");
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_TRUE(ownedByDialog);
    EXPECT_EQ(m_log.boxResult, win::IDOK);
}

TEST_F(WorkerCallsTest, AStopClosesAWorkersOpenBoxAndEndsItsCall) {
    win::HANDLE thread = nullptr;
    bool boxGone = false;
    ScriptedSteps steps;
    steps.When("the dialog", DialogShown, [&] { thread = StartWorker(OpenOwnedBox); })
        .When(
            "the worker's box", [] { return OpenBox() != nullptr; },
            [&] {
                AfxRequestStop();
                AfxWaitForThread(thread);
                QTest::qWait(20);
                boxGone = OpenBox() == nullptr;
                m_dialog.EndDialog(win::IDOK);
            });
    steps.Start();
    m_dialog.DoModal();
    EXPECT_TRUE(m_log.done);
    EXPECT_EQ(m_log.boxResult, 0);
    EXPECT_TRUE(boxGone);
}

TEST_F(WorkerCallsTest, AfterAStopACallFromAnotherThreadReturnsAtOnceAndChangesNothing) {
    std::string captionSeen;
    ScriptedSteps steps;
    steps.When("the dialog", DialogShown, [&] {
        AfxRequestStop();
        AfxWaitForThread(StartWorker(SetCaptionLate));
        QTest::qWait(20);
        captionSeen = m_dialog.GetWindowText().GetString();
        m_dialog.EndDialog(win::IDOK);
    });
    steps.Start();
    m_dialog.DoModal();
    EXPECT_EQ(m_log.lateSetResult, win::FALSE);
    EXPECT_EQ(captionSeen, "About Dovrel Tessaly");
}

}  // namespace
}  // namespace qttest
