// A fixture that runs the whole program's start-up and modal run in this process, with a
// settings store of its own, and helpers to reach its dialogs the way a user meets them.
#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "scripted_steps.h"
#include "winapi.h"

class CMonitorDlg;

namespace qttest {

// The settings a previous run left; unset ones are missing from the store.
struct StoredSettings {
    std::optional<std::string> address{};
    std::optional<int> alert{};
    std::optional<int> startTray{};
    std::optional<int> packets{};
};

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override;

    // The worker probes 127.0.0.1 for real unless kept from starting: then it ends at its first
    // pause, before it touches the window, the tray icon or the network.
    void KeepWorkerFromStarting();

    void Store(const StoredSettings& settings);
    std::optional<int> StoredInt(const char* name);
    std::optional<std::string> StoredText(const char* name);
    bool SettingsFileExists() const;

    // Runs the program (start-up, the main window's modal run, its end) while `steps` drive it;
    // returns the program's exit code. Fails the test if a step never came.
    int RunProgram(ScriptedSteps& steps);

  private:
    QTemporaryDir m_config;
};

// The program with its worker kept from starting: the counts, the stored flags, the typed target
// and the alert choice are the test's alone, and no probe or alert of a worker can interfere.
class IdleProgramTest : public ProgramTest {
  protected:
    void SetUp() override;
};

// ---- Reaching the running program ---------------------------------------------------------
CMonitorDlg* MainWindow();
// The topmost dialog in its modal run, when it was made from template `templateId`.
win::HWND TopDialog(win::UINT templateId);
bool DialogIsUp(win::UINT templateId);
bool MainIsUp();
QWidget* DialogWidget(win::HWND dialog);
// A control of a dialog, by identifier.
QWidget* Control(win::HWND dialog, int id);
// A control of the topmost dialog of template `templateId`.
QWidget* ControlOf(win::UINT templateId, int id);
int ControlIdOf(const QWidget* widget);
// The widgets of a dialog's controls in template order.
std::vector<QWidget*> ControlsInOrder(win::HWND dialog);

void PressKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void Click(QWidget* widget);
// Sends the key to whatever has the keyboard focus, as a keyboard would.
void PressKeyInFocus(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Escape to the main window, wherever the focus is.
void CloseMainWindow();
// The identifiers of the focused control now and after each of `presses` presses of Tab.
std::vector<int> FocusOrderOverTabs(int presses);

}  // namespace qttest
