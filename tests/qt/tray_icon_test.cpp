// Notification-area icons: what add, modify and delete do to the Qt icon, and how its clicks
// come back to the window as the record's callback message.
#include <gtest/gtest.h>

#include <QSystemTrayIcon>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "../../res/resource.h"
#include "afxwin.h"
#include "icons.h"
#include "program_test.h"
#include "scripted_steps.h"
#include "tray_icons.h"

namespace qttest {
namespace {

constexpr win::UINT kCallback = win::WM_USER + 7;
constexpr win::UINT kIconId = 3;

// A dialog that keeps what its tray icon told it.
class TrayHost : public CDialog {
  public:
    TrayHost() : CDialog(IDD_ABOUTBOX) {}
    std::vector<std::pair<win::WPARAM, win::LPARAM>> notices;

  protected:
    win::LRESULT OnTray(win::WPARAM wParam, win::LPARAM lParam) {
        notices.emplace_back(wParam, lParam);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TrayHost, CDialog)
ON_MESSAGE(kCallback, OnTray)
END_MESSAGE_MAP()

win::NOTIFYICONDATAA Record(win::HWND window, win::UINT flags, win::HICON icon, const char* tip) {
    win::NOTIFYICONDATAA record{};
    record.cbSize = sizeof(record);
    record.hWnd = window;
    record.uID = kIconId;
    record.uFlags = flags;
    record.uCallbackMessage = kCallback;
    record.hIcon = icon;
    std::strncpy(record.szTip, tip, sizeof(record.szTip) - 1);
    return record;
}

win::HICON TrayIcon(int id) {
    return static_cast<win::HICON>(
        win::LoadImageA(AfxGetInstanceHandle(), id, win::IMAGE_ICON, 16, 16, 0));
}

const win::UINT kAll = win::NIF_MESSAGE | win::NIF_ICON | win::NIF_TIP;

class TrayIconTest : public ::testing::Test {
  protected:
    void SetUp() override { AfxGetApp()->m_pMainWnd = nullptr; }

    // Runs `body` while the host dialog is up, then ends the dialog.
    template <typename Body>
    void WhileHostIsUp(Body body) {
        ScriptedSteps steps;
        steps.When(
            "the host dialog", [] { return DialogIsUp(IDD_ABOUTBOX); },
            [&] {
                body();
                m_host.EndDialog(win::IDOK);
            });
        steps.Start();
        m_host.DoModal();
    }

    TrayHost m_host;
};

TEST_F(TrayIconTest, AddShowsTheRecordsIconAndTipAndModifyChangesThem) {
    QString tipAdded, tipModified;
    qint64 iconAdded = 0, iconModified = 0;
    bool shown = false;
    win::BOOL added = win::TRUE;
    WhileHostIsUp([&] {
        auto record = Record(m_host.m_hWnd, kAll, TrayIcon(IDI_NET_DOWN), "Tessaly - Net Down");
        added = win::Shell_NotifyIconA(win::NIM_ADD, &record);
        QSystemTrayIcon* icon = tsyqt::TrayIconOf(m_host.m_hWnd, kIconId);
        ASSERT_NE(icon, nullptr);
        shown = icon->isVisible();
        tipAdded = icon->toolTip();
        iconAdded = icon->icon().cacheKey();
        record = Record(m_host.m_hWnd, kAll, TrayIcon(IDI_NET_UP), "Tessaly - Net Up");
        EXPECT_EQ(win::Shell_NotifyIconA(win::NIM_MODIFY, &record), win::TRUE);
        tipModified = icon->toolTip();
        iconModified = icon->icon().cacheKey();
        win::Shell_NotifyIconA(win::NIM_DELETE, &record);
    });
    // The offscreen platform has no notification area: the add says so, yet keeps the icon for
    // when a tray host appears.
    EXPECT_EQ(added, QSystemTrayIcon::isSystemTrayAvailable() ? win::TRUE : win::FALSE);
    EXPECT_TRUE(shown);
    EXPECT_EQ(tipAdded, "Tessaly - Net Down");
    EXPECT_EQ(iconAdded, tsyqt::QtIcon(TrayIcon(IDI_NET_DOWN)).cacheKey());
    EXPECT_EQ(tipModified, "Tessaly - Net Up");
    EXPECT_EQ(iconModified, tsyqt::QtIcon(TrayIcon(IDI_NET_UP)).cacheKey());
}

TEST_F(TrayIconTest, ModifyChangesOnlyWhatItsFlagsName) {
    QString tip;
    WhileHostIsUp([&] {
        auto record = Record(m_host.m_hWnd, kAll, TrayIcon(IDI_NET_DOWN), "first");
        win::Shell_NotifyIconA(win::NIM_ADD, &record);
        record = Record(m_host.m_hWnd, win::NIF_ICON, TrayIcon(IDI_NET_UP), "second");
        win::Shell_NotifyIconA(win::NIM_MODIFY, &record);
        tip = tsyqt::TrayIconOf(m_host.m_hWnd, kIconId)->toolTip();
        win::Shell_NotifyIconA(win::NIM_DELETE, &record);
    });
    EXPECT_EQ(tip, "first");
}

TEST_F(TrayIconTest, ATipThatFillsItsWholeFieldIsCutBeforeTheLastByte) {
    QString tip;
    WhileHostIsUp([&] {
        auto record = Record(m_host.m_hWnd, kAll, TrayIcon(IDI_NET_DOWN), "");
        std::memset(record.szTip, 'x', sizeof(record.szTip));  // no terminating zero
        win::Shell_NotifyIconA(win::NIM_ADD, &record);
        tip = tsyqt::TrayIconOf(m_host.m_hWnd, kIconId)->toolTip();
        win::Shell_NotifyIconA(win::NIM_DELETE, &record);
    });
    EXPECT_EQ(tip, QString(63, u'x'));
}

TEST_F(TrayIconTest, OneIconPerWindowAndIdentifierAndOnlyWhileItExists) {
    std::vector<win::BOOL> results;
    bool goneAfterDelete = false;
    WhileHostIsUp([&] {
        auto record = Record(m_host.m_hWnd, kAll, TrayIcon(IDI_NET_DOWN), "tip");
        win::Shell_NotifyIconA(win::NIM_ADD, &record);
        results.push_back(win::Shell_NotifyIconA(win::NIM_ADD, &record));
        results.push_back(win::Shell_NotifyIconA(win::NIM_DELETE, &record));
        goneAfterDelete = tsyqt::TrayIconOf(m_host.m_hWnd, kIconId) == nullptr;
        results.push_back(win::Shell_NotifyIconA(win::NIM_MODIFY, &record));
        results.push_back(win::Shell_NotifyIconA(win::NIM_DELETE, &record));
        auto orphan =
            Record(reinterpret_cast<win::HWND>(&results), kAll, TrayIcon(IDI_NET_DOWN), "tip");
        results.push_back(win::Shell_NotifyIconA(win::NIM_ADD, &orphan));
    });
    EXPECT_EQ(results,
              (std::vector<win::BOOL>{win::FALSE, win::TRUE, win::FALSE, win::FALSE, win::FALSE}));
    EXPECT_TRUE(goneAfterDelete);
}

TEST_F(TrayIconTest, ClicksReachTheWindowAsTheCallbackWithTheIconIdAndTheMouseMessage) {
    WhileHostIsUp([&] {
        auto record = Record(m_host.m_hWnd, kAll, TrayIcon(IDI_NET_DOWN), "tip");
        win::Shell_NotifyIconA(win::NIM_ADD, &record);
        QSystemTrayIcon* icon = tsyqt::TrayIconOf(m_host.m_hWnd, kIconId);
        for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::Context,
                            QSystemTrayIcon::DoubleClick, QSystemTrayIcon::MiddleClick}) {
            emit icon->activated(reason);
        }
        win::Shell_NotifyIconA(win::NIM_DELETE, &record);
    });
    using Notice = std::pair<win::WPARAM, win::LPARAM>;
    EXPECT_EQ(m_host.notices, (std::vector<Notice>{{kIconId, win::WM_LBUTTONDOWN},
                                                   {kIconId, win::WM_RBUTTONDOWN},
                                                   {kIconId, win::WM_LBUTTONDBLCLK},
                                                   {kIconId, 0x0207}}));
}

TEST_F(TrayIconTest, AnIconAddedWithoutTheMessageFlagSendsNothing) {
    WhileHostIsUp([&] {
        auto record =
            Record(m_host.m_hWnd, win::NIF_ICON | win::NIF_TIP, TrayIcon(IDI_NET_DOWN), "tip");
        win::Shell_NotifyIconA(win::NIM_ADD, &record);
        emit tsyqt::TrayIconOf(m_host.m_hWnd, kIconId)->activated(QSystemTrayIcon::Trigger);
        win::Shell_NotifyIconA(win::NIM_DELETE, &record);
    });
    EXPECT_TRUE(m_host.notices.empty());
}

}  // namespace
}  // namespace qttest
