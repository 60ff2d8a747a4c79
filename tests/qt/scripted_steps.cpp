#include "scripted_steps.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMessageBox>

#include "afxwin.h"
#include "modal_dialogs.h"
#include "window_record.h"

namespace qttest {
namespace {
constexpr int kPollMilliseconds = 5;
// Guards against a hang only; no step takes nearly this long.
constexpr int kGiveUpPolls = 30000 / kPollMilliseconds;
}  // namespace

ScriptedSteps::ScriptedSteps() {
    m_poll.setInterval(kPollMilliseconds);
    QObject::connect(&m_poll, &QTimer::timeout, [this] { Poll(); });
}

ScriptedSteps::~ScriptedSteps() {
    m_poll.stop();
}

ScriptedSteps& ScriptedSteps::When(std::string what, Condition ready, Action act) {
    m_steps.push_back({std::move(what), std::move(ready), std::move(act)});
    return *this;
}

void ScriptedSteps::Start() {
    m_poll.start();
}

void ScriptedSteps::Poll() {
    if (m_gaveUp) {
        CloseEverything();
        return;
    }
    if (Finished()) {
        m_poll.stop();
        return;
    }
    if (++m_polls > kGiveUpPolls) {
        ADD_FAILURE() << "gave up waiting for: " << m_steps[m_next].what;
        m_gaveUp = true;
        CloseEverything();
        return;
    }
    // The next condition is about what the last action did: wait until that action has begun.
    if (m_acting) return;
    Step& step = m_steps[m_next];
    if (!step.ready()) return;
    ++m_next;
    m_acting = true;
    // Not from this timer's own handler: a dialog that the action opens would block the timer.
    QTimer::singleShot(0, [this, act = step.act] {
        m_acting = false;
        act();
    });
}

void ScriptedSteps::CloseEverything() {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        box->done(QMessageBox::Ok);
    }
    const auto dialogs = tsyqt::RunningDialogs();
    if (dialogs.empty()) return;
    win::HWND__* top = tsyqt::FindRecord(dialogs.back());
    if (auto* dialog = top != nullptr ? dynamic_cast<CDialog*>(top->object) : nullptr) {
        dialog->EndDialog(win::IDCANCEL);
    }
}

}  // namespace qttest
