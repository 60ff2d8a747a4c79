// The main window and its worker on the fake platform: the window built from the fake store, run
// modally, the worker run inside that modal run on the test's own thread for a given number of
// passes, then the window closed with Escape.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../../res/resource.h"
#include "../../ui/monitor_dlg.h"
#include "fake_platform.h"

inline constexpr const char* kSectionPath = "Software\\Dovrel\\Tessaly\\dovrel";

// The waits at the top of a pass; the only others are the start pause (100 ms) and the gaps of a
// beep burst (5 ms).
inline bool IsPassPause(win::DWORD milliseconds) {
    return milliseconds != 100 && milliseconds != 5;
}

class MonitorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fk = &fake::Platform::Reset();
        app = AfxGetApp();
        app->m_pMainWnd = nullptr;
        app->m_strAppName = "Tessaly";
        app->SetRegistryKey("Dovrel");
    }
    void TearDown() override { app->m_pMainWnd = nullptr; }

    // Builds the main window from the store, as start-up does.
    CMonitorDlg& MakeWindow() {
        dlg = std::make_unique<CMonitorDlg>();
        app->m_pMainWnd = dlg.get();
        return *dlg;
    }

    // Runs the main window modally with `script`; a process exit inside it ends the run.
    void RunWindow(fake::ModalScript script) {
        if (!dlg) MakeWindow();
        fk->PushModalScript(IDD_MONITOR_DIALOG, std::move(script));
        try {
            dlg->DoModal();
        } catch (const fake::ProcessExit& exit) {
            exitCode = exit.code;
        }
    }

    // The stop is raised as pass `passes + 1` begins its pause, so exactly `passes` passes run.
    void StopAfterPasses(int passes) {
        fk->StopAtWait(
            [left = passes](win::DWORD ms) mutable { return IsPassPause(ms) && left-- == 0; });
    }

    // Opens the window, runs the worker for `passes` passes inside it, then presses Escape.
    void RunWorker(int passes) {
        StopAfterPasses(passes);
        RunWorkerUntilStopped();
    }

    // Opens the window, runs the worker inside it until a scripted stop, then presses Escape.
    void RunWorkerUntilStopped() {
        RunWindow([this](fake::ModalSession& session) {
            this->session = &session;
            window = session.Handle();
            workerResult = fk->RunCreatedThread();
            this->session = nullptr;
            session.PressEscape();
        });
    }

    // Calls `action` as the pause before pass `pass` begins (pass 1 has a pause of 0).
    void AtPauseBefore(int pass, std::function<void()> action) {
        fk->OnEvent([left = pass, action = std::move(action)](const fake::Event& event) mutable {
            if (event.kind == fake::Kind::Sleep &&
                IsPassPause(std::get<fake::SleepCall>(event.payload).milliseconds) && --left == 0) {
                action();
            }
        });
    }

    // The pass during which each event that `matches` happened: passes are counted by their
    // pauses, so events before the first pass are in pass 0.
    std::vector<int> PassesOf(std::function<bool(const fake::Event&)> matches) const {
        std::vector<int> passes;
        int pass = 0;
        for (const fake::Event& event : fk->Events()) {
            if (const auto* sleep = std::get_if<fake::SleepCall>(&event.payload)) {
                if (IsPassPause(sleep->milliseconds)) ++pass;
            }
            if (matches(event)) passes.push_back(pass);
        }
        return passes;
    }
    std::vector<int> PassesOf(fake::Kind kind) const {
        return PassesOf([kind](const fake::Event& event) { return event.kind == kind; });
    }

    // The worker's tray changes as "pass N: tip".
    std::vector<std::string> TrayChanges() const {
        std::vector<std::string> changes;
        std::vector<int> passes = PassesOf([](const fake::Event& event) {
            const auto* tray = std::get_if<fake::TrayCall>(&event.payload);
            return tray != nullptr && tray->message == win::NIM_MODIFY;
        });
        std::size_t next = 0;
        for (const auto& [time, tray] : fk->Calls<fake::TrayCall>()) {
            if (tray.message != win::NIM_MODIFY) continue;
            changes.push_back("pass " + std::to_string(passes[next++]) + ": " + tray.record.szTip);
        }
        return changes;
    }

    // The events of the given kinds after the first event described as `marker`.
    std::vector<std::string> LogAfter(const std::string& marker,
                                      std::initializer_list<fake::Kind> kinds) const {
        std::vector<std::string> lines;
        bool seen = false;
        for (const fake::Event& event : fk->Events()) {
            if (seen && std::find(kinds.begin(), kinds.end(), event.kind) != kinds.end()) {
                lines.push_back(event.what);
            }
            if (event.what == marker) seen = true;
        }
        return lines;
    }

    fake::Platform* fk = nullptr;
    CWinApp* app = nullptr;
    std::unique_ptr<CMonitorDlg> dlg;
    fake::ModalSession* session = nullptr;  // while the worker runs inside the modal run
    win::HWND window = nullptr;             // the main window's handle during the run
    std::optional<win::DWORD> workerResult;
    std::optional<win::UINT> exitCode;
};
