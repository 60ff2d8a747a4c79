#include "program_test.h"

#include <QApplication>
#include <QFileInfo>
#include <QTest>
#include <cstdlib>

#include "../../app/settings.h"
#include "../../res/resource.h"
#include "../../ui/monitor_dlg.h"
#include "afx_startup.h"
#include "afxwin.h"
#include "modal_dialogs.h"
#include "window_record.h"

namespace qttest {
namespace {
constexpr const char* kProgram = "/opt/test/tessaly";
constexpr const char* kApplicationName = "tessaly";
}  // namespace

void ProgramTest::SetUp() {
    ASSERT_TRUE(m_config.isValid());
    setenv("XDG_CONFIG_HOME", m_config.path().toUtf8().constData(), 1);
    CWinApp* app = AfxGetApp();
    ASSERT_NE(app, nullptr);
    app->m_strAppName = kApplicationName;
    app->SetRegistryKey("Dovrel");
}

void ProgramTest::KeepWorkerFromStarting() {
    AfxRequestStop();
}

void IdleProgramTest::SetUp() {
    ProgramTest::SetUp();
    KeepWorkerFromStarting();
}

void ProgramTest::Store(const StoredSettings& settings) {
    CWinApp* app = AfxGetApp();
    if (settings.address)
        app->WriteProfileString(kSection, kValueAddress, settings.address->c_str());
    if (settings.alert) app->WriteProfileInt(kSection, kValueAlertWrite, *settings.alert);
    if (settings.startTray) app->WriteProfileInt(kSection, kValueStartTray, *settings.startTray);
    if (settings.packets) app->WriteProfileInt(kSection, kValuePackets, *settings.packets);
}

std::optional<int> ProgramTest::StoredInt(const char* name) {
    constexpr int kMissing = -987654;
    const int value = AfxGetApp()->GetProfileInt(kSection, name, kMissing);
    return value == kMissing ? std::nullopt : std::optional<int>(value);
}

std::optional<std::string> ProgramTest::StoredText(const char* name) {
    constexpr const char* kMissing = "\x01missing";
    const CString value = AfxGetApp()->GetProfileString(kSection, name, kMissing);
    return value == kMissing ? std::nullopt : std::optional<std::string>(std::string(value.View()));
}

bool ProgramTest::SettingsFileExists() const {
    return QFileInfo::exists(m_config.filePath(QStringLiteral("Dovrel/tessaly.conf")));
}

int ProgramTest::RunProgram(ScriptedSteps& steps) {
    steps.Start();
    const int exitCode = AfxRunApplication(kProgram);
    EXPECT_TRUE(steps.Finished()) << "the program ended before its script did";
    return exitCode;
}

CMonitorDlg* MainWindow() {
    CWinApp* app = AfxGetApp();
    return app != nullptr ? static_cast<CMonitorDlg*>(app->m_pMainWnd) : nullptr;
}

win::HWND TopDialog(win::UINT templateId) {
    const auto dialogs = tsyqt::RunningDialogs();
    if (dialogs.empty()) return nullptr;
    const win::HWND__* top = tsyqt::FindRecord(dialogs.back());
    if (top == nullptr || top->dialogTemplate == nullptr || top->dialogTemplate->id != templateId) {
        return nullptr;
    }
    return dialogs.back();
}

bool DialogIsUp(win::UINT templateId) {
    const win::HWND dialog = TopDialog(templateId);
    QWidget* widget = DialogWidget(dialog);
    return widget != nullptr && widget->isVisible();
}

bool MainIsUp() {
    return DialogIsUp(IDD_MONITOR_DIALOG);
}

QWidget* DialogWidget(win::HWND dialog) {
    const win::HWND__* record = tsyqt::FindRecord(dialog);
    return record != nullptr ? record->widget.data() : nullptr;
}

std::vector<QWidget*> ControlsInOrder(win::HWND dialog) {
    std::vector<QWidget*> controls;
    const win::HWND__* record = tsyqt::FindRecord(dialog);
    if (record == nullptr) return controls;
    for (win::HWND control : record->children) controls.push_back(DialogWidget(control));
    return controls;
}

QWidget* Control(win::HWND dialog, int id) {
    const win::HWND__* record = tsyqt::FindRecord(dialog);
    if (record == nullptr) return nullptr;
    for (win::HWND control : record->children) {
        const win::HWND__* item = tsyqt::FindRecord(control);
        if (item != nullptr && item->id == id) return item->widget;
    }
    return nullptr;
}

QWidget* ControlOf(win::UINT templateId, int id) {
    return Control(TopDialog(templateId), id);
}

int ControlIdOf(const QWidget* widget) {
    const win::HWND__* record = tsyqt::FindRecord(tsyqt::HandleOfWidget(widget));
    return record != nullptr ? record->id : 0;
}

void PressKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    ASSERT_NE(widget, nullptr);
    QTest::keyClick(widget, key, modifiers);
}

void Click(QWidget* widget) {
    ASSERT_NE(widget, nullptr);
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

void PressKeyInFocus(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr) << "nothing has the keyboard focus";
    QTest::keyClick(focus, key, modifiers);
}

void CloseMainWindow() {
    PressKey(DialogWidget(TopDialog(IDD_MONITOR_DIALOG)), Qt::Key_Escape);
}

std::vector<int> FocusOrderOverTabs(int presses) {
    std::vector<int> order{ControlIdOf(QApplication::focusWidget())};
    for (int press = 0; press < presses; ++press) {
        PressKeyInFocus(Qt::Key_Tab);
        order.push_back(ControlIdOf(QApplication::focusWidget()));
    }
    return order;
}

}  // namespace qttest
