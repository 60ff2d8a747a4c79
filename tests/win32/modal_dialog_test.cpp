// CDialog's modal run on the real dialog manager: the object's window, its owner, its place, the
// keys and commands that end it, the help command, and window operations sent from another thread.

// The Windows headers first: their macros must be gone before the framework's headers.
#include "native_windows.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "afxwin.h"
#include "native_layout.h"
#include "resource.h"
#include "test_support.h"

namespace {

constexpr win::UINT kCheck = WM_APP + 1;  // posted at init, handled once the modal loop runs

// A dialog that records what it sees and runs a test's steps at init and inside its loop.
class ProbeDialog : public CDialog {
  public:
    using Step = std::function<void(ProbeDialog&)>;

    ProbeDialog(win::UINT templateId, CWnd* parent, Step inLoop, Step atInit = nullptr)
        : CDialog(templateId, parent), m_inLoop(std::move(inLoop)), m_atInit(std::move(atInit)) {}

    win::BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        mappedAtInit = CWnd::FromHandle(m_hWnd) == this;
        visibleAtInit = IsWindowVisible() != 0;
        window = win32::Native(m_hWnd);
        ::PostMessageA(window, kCheck, 0, 0);
        if (m_atInit) m_atInit(*this);
        return win::TRUE;
    }

    win::BOOL DestroyWindow() override {
        ++destroyCalls;
        visibleAtDestroy = IsWindowVisible() != 0;
        return CDialog::DestroyWindow();
    }

    win::LRESULT OnCheck(win::WPARAM, win::LPARAM) {
        ranInLoop = true;
        visibleInLoop = IsWindowVisible() != 0;
        ::GetWindowRect(window, &rectInLoop);
        ownerInLoop = ::GetWindow(window, GW_OWNER);
        if (m_inLoop) m_inLoop(*this);
        return 0;
    }

    void OnPaint() {
        CPaintDC dc(this);
        paintedWith = dc.GetSafeHdc();
        ++paints;
    }

    void OnSysCommand(win::UINT id, win::LPARAM lParam) {
        sysCommands.push_back(id);
        CDialog::OnSysCommand(id, lParam);
    }

    HWND window = nullptr;
    bool mappedAtInit = false;
    bool visibleAtInit = true;
    bool ranInLoop = false;
    bool visibleInLoop = false;
    RECT rectInLoop{};
    HWND ownerInLoop = nullptr;
    int destroyCalls = 0;
    win::HDC paintedWith = nullptr;
    int paints = 0;
    bool visibleAtDestroy = true;
    std::vector<win::UINT> sysCommands;

  private:
    Step m_inLoop;
    Step m_atInit;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ProbeDialog, CDialog)
ON_MESSAGE(kCheck, OnCheck)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
END_MESSAGE_MAP()

RECT WorkArea(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoA(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    return monitor.rcWork;
}

void ExpectCentredOn(const RECT& window, const RECT& around) {
    EXPECT_LE(std::abs((window.left + window.right) - (around.left + around.right)), 2);
    EXPECT_LE(std::abs((window.top + window.bottom) - (around.top + around.bottom)), 2);
}

// A shown top-level window of the test's own, standing for a main window or an owner.
class OwnerWindow {
  public:
    explicit OwnerWindow(RECT rect = {100, 100, 500, 400}) {
        m_window =
            ::CreateWindowExA(0, "STATIC", "owner", win::WS_POPUP | win::WS_CAPTION, rect.left,
                              rect.top, rect.right - rect.left, rect.bottom - rect.top, nullptr,
                              nullptr, ::GetModuleHandleA(nullptr), nullptr);
        ::ShowWindow(m_window, SW_SHOWNORMAL);
    }
    ~OwnerWindow() { ::DestroyWindow(m_window); }
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;
    HWND get() const { return m_window; }
    CWnd* object() const { return CWnd::FromHandle(win32::Framework(m_window)); }

  private:
    HWND m_window;
};

class ModalDialogTest : public testing::Test {
  protected:
    win32_test::TestApp m_app;
};

TEST_F(ModalDialogTest, RunsAsItsOwnWindowUntilEndDialogAndReturnsTheResult) {
    ProbeDialog dialog(IDD_OPTIONS, nullptr, [](ProbeDialog& d) { d.EndDialog(42); });
    EXPECT_EQ(dialog.DoModal(), 42);
    EXPECT_TRUE(dialog.mappedAtInit);
    EXPECT_FALSE(dialog.visibleAtInit) << "shown before its init ran";
    EXPECT_TRUE(dialog.visibleInLoop);
    EXPECT_EQ(dialog.destroyCalls, 1);
    EXPECT_FALSE(dialog.visibleAtDestroy) << "hidden before it is destroyed";
    EXPECT_FALSE(::IsWindow(dialog.window));
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandle(win32::Framework(dialog.window)), nullptr);
}

TEST_F(ModalDialogTest, EndDialogDuringInitEndsTheRunBeforeItShows) {
    ProbeDialog dialog(IDD_ABOUTBOX, nullptr, nullptr, [](ProbeDialog& d) { d.EndDialog(7); });
    EXPECT_EQ(dialog.DoModal(), 7);
    EXPECT_FALSE(dialog.ranInLoop);
    EXPECT_EQ(dialog.destroyCalls, 1);
}

struct EndingCase {
    const char* name;
    win::UINT templateId;
    win::UINT message;  // posted to the focused control, or the dialog for system commands
    win::WPARAM wParam;
    std::intptr_t result;
};

class EndingTest : public ModalDialogTest, public testing::WithParamInterface<EndingCase> {};

TEST_P(EndingTest, EndsThroughTheDialogManager) {
    const EndingCase& c = GetParam();
    ProbeDialog dialog(c.templateId, nullptr, [&c](ProbeDialog& d) {
        const HWND target = c.message == win::WM_SYSCOMMAND ? d.window : ::GetFocus();
        ::PostMessageA(target, c.message, c.wParam, 0);
    });
    EXPECT_EQ(dialog.DoModal(), c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, EndingTest,
    testing::Values(
        EndingCase{"Escape", IDD_OPTIONS, WM_KEYDOWN, VK_ESCAPE, win::IDCANCEL},
        EndingCase{"EnterPressesTheDefaultOk", IDD_OPTIONS, WM_KEYDOWN, VK_RETURN, win::IDOK},
        EndingCase{"CloseBox", IDD_ABOUTBOX, win::WM_SYSCOMMAND, win::SC_CLOSE, win::IDCANCEL},
        EndingCase{"EnterInTheAboutBox", IDD_ABOUTBOX, WM_KEYDOWN, VK_RETURN, win::IDOK}),
    [](const testing::TestParamInfo<EndingCase>& info) { return info.param.name; });

TEST_F(ModalDialogTest, TheGivenParentOwnsTheDialogAndIsDisabledMeanwhile) {
    OwnerWindow owner;
    bool ownerEnabledInLoop = true;
    ProbeDialog dialog(IDD_ABOUTBOX, owner.object(), [&](ProbeDialog& d) {
        ownerEnabledInLoop = ::IsWindowEnabled(owner.get()) != 0;
        d.EndDialog(1);
    });
    dialog.DoModal();
    EXPECT_EQ(dialog.ownerInLoop, owner.get());
    EXPECT_FALSE(ownerEnabledInLoop);
    EXPECT_TRUE(::IsWindowEnabled(owner.get())) << "the owner stays disabled";
}

TEST_F(ModalDialogTest, WithoutParentTheMainWindowOwnsTheDialog) {
    OwnerWindow main;
    m_app.m_pMainWnd = main.object();
    ProbeDialog dialog(IDD_ABOUTBOX, nullptr, [](ProbeDialog& d) { d.EndDialog(1); });
    dialog.DoModal();
    EXPECT_EQ(dialog.ownerInLoop, main.get());
    m_app.m_pMainWnd = nullptr;
}

TEST_F(ModalDialogTest, TheMainWindowItselfHasNoOwnerAndIsCentredInTheWorkArea) {
    OwnerWindow other;
    ProbeDialog dialog(IDD_MONITOR_DIALOG, nullptr, [](ProbeDialog& d) { d.EndDialog(1); });
    m_app.m_pMainWnd = &dialog;
    dialog.DoModal();
    EXPECT_EQ(dialog.ownerInLoop, nullptr);
    ExpectCentredOn(dialog.rectInLoop, WorkArea(other.get()));
    EXPECT_EQ(m_app.m_pMainWnd, nullptr) << "the main window's pointer outlives its window";
}

TEST_F(ModalDialogTest, AnOwnedDialogIsCentredOverItsOwner) {
    OwnerWindow owner({120, 80, 720, 580});
    ProbeDialog dialog(IDD_OPTIONS, owner.object(), [](ProbeDialog& d) { d.EndDialog(1); });
    dialog.DoModal();
    RECT ownerRect{};
    ::GetWindowRect(owner.get(), &ownerRect);
    ExpectCentredOn(dialog.rectInLoop, ownerRect);
}

TEST_F(ModalDialogTest, HelpAsksTheMainWindowForItsAboutBoxUnlessAnotherDialogIsOpen) {
    constexpr win::UINT kAboutCommand = IDM_ABOUTBOX;
    HELPINFO help{};
    help.cbSize = sizeof(help);
    std::vector<win::UINT> commandsWhileInnerOpen;
    ProbeDialog main(IDD_OPTIONS, nullptr, [&](ProbeDialog& outer) {
        ::SendMessageA(outer.window, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
        ProbeDialog inner(IDD_ABOUTBOX, nullptr, [&](ProbeDialog& d) {
            ::SendMessageA(d.window, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
            commandsWhileInnerOpen = outer.sysCommands;
            d.EndDialog(1);
        });
        inner.DoModal();
        outer.EndDialog(1);
    });
    m_app.m_pMainWnd = &main;
    main.DoModal();
    EXPECT_EQ(main.sysCommands, std::vector<win::UINT>{kAboutCommand});
    EXPECT_EQ(commandsWhileInnerOpen, std::vector<win::UINT>{kAboutCommand})
        << "help from a second dialog reached the main window";
}

TEST_F(ModalDialogTest, APaintDeviceContextPaintsAndValidatesTheWindow) {
    bool stillInvalid = true;
    int paintsForOneInvalidation = 0;
    ProbeDialog dialog(IDD_ABOUTBOX, nullptr, [&](ProbeDialog& d) {
        const int before = d.paints;
        ::InvalidateRect(d.window, nullptr, win::TRUE);
        ::UpdateWindow(d.window);
        paintsForOneInvalidation = d.paints - before;
        // Without the end of painting, the region would stay invalid and be painted again.
        stillInvalid = ::GetUpdateRect(d.window, nullptr, win::FALSE) != 0;
        d.EndDialog(1);
    });
    dialog.DoModal();
    EXPECT_EQ(paintsForOneInvalidation, 1);
    EXPECT_NE(dialog.paintedWith, nullptr);
    EXPECT_FALSE(stillInvalid);
}

// ---- Window operations that another thread sends while this one waits for it ----------------

struct WorkerCalls {
    CWnd* window = nullptr;
};

win::DWORD TSY_WINAPI CaptionAndHideFromWorker(win::LPVOID context) {
    CWnd* window = static_cast<WorkerCalls*>(context)->window;
    window->SetWindowText("set by the worker");
    window->ShowWindow(win::SW_HIDE);
    return 0;
}

TEST_F(ModalDialogTest, WaitingForAThreadCarriesOutTheWindowOperationsItSends) {
    OwnerWindow target;
    WorkerCalls calls{target.object()};
    const win::HANDLE thread =
        win::CreateThread(nullptr, 0, CaptionAndHideFromWorker, &calls, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    // Without sent messages delivered meanwhile, the two would wait for each other for ever.
    AfxWaitForThread(thread);
    ::CloseHandle(thread);
    char caption[64] = {};
    ::GetWindowTextA(target.get(), caption, sizeof(caption));
    EXPECT_STREQ(caption, "set by the worker");
    EXPECT_FALSE(::IsWindowVisible(target.get()));
}

win::DWORD TSY_WINAPI HideFromWorker(win::LPVOID dialog) {
    static_cast<CWnd*>(dialog)->ShowWindow(win::SW_HIDE);
    return 0;
}

// Delivers the messages that other threads send to this one, for a while.
void CarryOutSentMessagesFor(DWORD milliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    for (ULONGLONG now = ::GetTickCount64(); now < deadline; now = ::GetTickCount64()) {
        ::MsgWaitForMultipleObjects(0, nullptr, win::FALSE, static_cast<DWORD>(deadline - now),
                                    QS_SENDMESSAGE);
        MSG message;
        ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

TEST_F(ModalDialogTest, AHideFromAnotherThreadWhileTheDialogOpensOutlastsItsFirstShowing) {
    win::HANDLE thread = nullptr;
    bool visibleOnceTheHideIsDone = true;
    ProbeDialog dialog(
        IDD_OPTIONS, nullptr,
        [&](ProbeDialog& d) {
            AfxWaitForThread(thread);
            visibleOnceTheHideIsDone = ::IsWindowVisible(d.window) != 0;
            d.EndDialog(1);
        },
        [&](ProbeDialog& d) {
            thread = win::CreateThread(nullptr, 0, HideFromWorker, &d, 0, nullptr);
            // The hide has every chance to arrive while the dialog is still being made.
            CarryOutSentMessagesFor(500);
        });
    dialog.DoModal();
    ASSERT_NE(thread, nullptr);
    ::CloseHandle(thread);
    EXPECT_FALSE(visibleOnceTheHideIsDone);
}

}  // namespace
