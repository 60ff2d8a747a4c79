// The main window on the fake: its settings, its opening, its handlers and its destroy step.
#include "../../monitor/probe_worker.h"
#include "case_names.h"
#include "monitor_fixture.h"

using fake::Kind;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

std::string Hex(const void* value) {
    char text[24];
    std::snprintf(text, sizeof(text), "0x%llX",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(value)));
    return text;
}

constexpr const char* kWrites[] = {
    "WriteProfileString dovrel IPAddress 127.0.0.1", "WriteProfileInt Dovrel Alert 1011",
    "WriteProfileInt Dovrel StartTray 0", "WriteProfileInt Dovrel Packets 3"};

class MonitorDlgTest : public MonitorTest {
  protected:
    void Open(fake::ModalScript script) {
        RunWindow([this, script = std::move(script)](fake::ModalSession& s) {
            window = s.Handle();
            script(s);
        });
    }
    int CheckOf(int id) { return fk->FindControl(window, id)->check; }
};

TEST_F(MonitorDlgTest, TheConstructorReadsTheFourSettingsInOrderAndAFreshStoreMakesTheSection) {
    CMonitorDlg& made = MakeWindow();
    EXPECT_THAT(fk->Log({Kind::StoreRead, Kind::StoreWrite, Kind::LoadIcon}),
                ElementsAre("LoadIconA 128 32x32", "GetProfileInt dovrel alert 1011",
                            "GetProfileString dovrel IPAddress 127.0.0.1",
                            "GetProfileInt dovrel StartTray 0", "GetProfileInt dovrel Packets 3"));
    EXPECT_EQ(fk->IconOf(made.m_hIcon), std::make_pair(IDR_MAINFRAME, 32));
    EXPECT_EQ(made.m_nAlertMode, IDC_NONE);
    EXPECT_EQ(made.m_strAddress.Load(), "127.0.0.1");
    EXPECT_EQ(made.m_nStartTray, 0);
    EXPECT_EQ(made.m_nRetries, 3);
    EXPECT_EQ(made.m_bResolve, 1);
    EXPECT_EQ(made.m_nSent, 0u);
    EXPECT_EQ(made.m_nReceived, 0u);
    EXPECT_EQ(made.m_hIcmpLib, nullptr);
    EXPECT_EQ(made.m_hThread, nullptr);
    EXPECT_THAT(fk->Store().StoredNames(kSectionPath),
                ElementsAre("Software", "Dovrel", "Tessaly", "dovrel"));
    EXPECT_THAT(fk->Store().Find(kSectionPath)->values, IsEmpty());
}

struct StoredCase {
    const char* name;
    std::function<void(fake::SettingsStore&)> stored;
    int alertMode;
    std::string address;
    int startTray;
    int retries;
};

class StoredSettingsTest : public MonitorTest, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredSettingsTest, AreTakenAsStoredWithDefaultsForWhatIsMissing) {
    GetParam().stored(fk->Store());
    CMonitorDlg& made = MakeWindow();
    EXPECT_EQ(made.m_nAlertMode, GetParam().alertMode);
    EXPECT_EQ(std::string(made.m_strAddress.Load().View()), GetParam().address);
    EXPECT_EQ(made.m_nStartTray, GetParam().startTray);
    EXPECT_EQ(made.m_nRetries, GetParam().retries);
}

INSTANTIATE_TEST_SUITE_P(
    Stores, StoredSettingsTest,
    ::testing::Values(StoredCase{"AnyLetterCase",
                                 [](fake::SettingsStore& s) {
                                     s.PutInt("SOFTWARE\\DOVREL\\TESSALY\\DOVREL", "ALERT", 1008);
                                     s.PutText("software\\dovrel\\tessaly\\Dovrel", "ipaddress",
                                               "10.200.0.5");
                                     s.PutInt("Software\\Dovrel\\Tessaly\\dovrel", "STARTTRAY", 1);
                                     s.PutInt("Software\\Dovrel\\Tessaly\\dovrel", "packets", 25);
                                 },
                                 1008, "10.200.0.5", 1, 25},
                      StoredCase{
                          "EmptyAddressIsNotMissing",
                          [](fake::SettingsStore& s) { s.PutText(kSectionPath, "IPAddress", ""); },
                          1011, "", 0, 3},
                      StoredCase{"TextEndsAtItsFirstZero",
                                 [](fake::SettingsStore& s) {
                                     s.PutText(kSectionPath, "IPAddress",
                                               std::string_view("10.200.0.5\0junk", 15));
                                 },
                                 1011, "10.200.0.5", 0, 3},
                      StoredCase{"OtherTypesReadAsMissing",
                                 [](fake::SettingsStore& s) {
                                     s.PutInt(kSectionPath, "IPAddress", 7);
                                     s.PutText(kSectionPath, "Packets", "9");
                                     s.PutText(kSectionPath, "Alert", "1008");
                                 },
                                 1011, "127.0.0.1", 0, 3},
                      StoredCase{"NoRangeChecks",
                                 [](fake::SettingsStore& s) {
                                     s.PutInt(kSectionPath, "Alert", 4242);
                                     s.PutInt(kSectionPath, "StartTray", 2);
                                     s.PutInt(kSectionPath, "Packets", -7);
                                 },
                                 4242, "127.0.0.1", 2, -7},
                      StoredCase{"AnotherProgramNameIsAnotherKey",
                                 [](fake::SettingsStore& s) {
                                     s.PutInt("Software\\Dovrel\\Tessaly2\\dovrel", "Packets", 9);
                                 },
                                 1011, "127.0.0.1", 0, 3},
                      StoredCase{"Unreachable",
                                 [](fake::SettingsStore& s) {
                                     s.PutInt(kSectionPath, "Packets", 9);
                                     s.SetUnreachable(true);
                                 },
                                 1011, "127.0.0.1", 0, 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MonitorDlgTest, AnUnreachableStoreLosesTheWritesSilently) {
    fk->Store().SetUnreachable(true);
    fk->Store().PutInt("Software\\Dovrel\\Tessaly\\dovrel", "Packets", 9);
    MakeWindow().m_nRetries = 11;
    Open([](fake::ModalSession& s) { s.PressEscape(); });
    EXPECT_EQ(fk->Log({Kind::StoreWrite}).size(), 4u);
    EXPECT_EQ(fk->Store().Int(kSectionPath, "Packets"), 9);
    EXPECT_EQ(fk->Calls<fake::BoxCall>().size(), 0u);
}

TEST_F(MonitorDlgTest, OpeningSetsUpMenuIconsTrayLibraryAndWorkerInOrder) {
    Open([](fake::ModalSession& s) { s.PressEscape(); });
    const std::vector<std::string> opening = {
        "SetWindowText 1002 127.0.0.1",  // the data exchange fills the box first
        "AppendMenu 0x800 0x0 ",
        "AppendMenu 0x0 0x10 &About orvane...",
        "SendMessage 0x80 0x1 " + Hex(dlg->m_hIcon),
        "SendMessage 0x80 0x0 " + Hex(dlg->m_hIcon),
        "LoadImageA 130 16x16",
        "LoadImageA 129 16x16",
        "Shell_NotifyIcon NIM_ADD Tessaly - Net Down",
        "LoadLibraryA ICMP.DLL",
        "CreateThread",
        "SendMessage 1011 0xF1 0x1 0x0",
        "escape"};
    std::vector<std::string> upToEscape =
        fk->Log({Kind::SetWindowText, Kind::AppendMenu, Kind::SendMessage, Kind::LoadImage,
                 Kind::Tray, Kind::LoadLibrary, Kind::CreateThread, Kind::Input});
    upToEscape.resize(opening.size());
    EXPECT_THAT(upToEscape, ElementsAreArray(opening));

    const fake::Window* shown = fk->FindWindow(window);
    ASSERT_GE(shown->systemMenu.size(), 2u);
    const auto& separator = shown->systemMenu[shown->systemMenu.size() - 2];
    const auto& about = shown->systemMenu.back();
    EXPECT_EQ(separator.flags, win::MF_SEPARATOR);
    EXPECT_EQ(about.flags, win::MF_STRING);
    EXPECT_EQ(about.id, 0x10u);
    EXPECT_EQ(about.text, "&About orvane...");
    EXPECT_EQ(shown->bigIcon, dlg->m_hIcon);
    EXPECT_EQ(shown->smallIcon, dlg->m_hIcon);

    for (const auto& [time, icon] : fk->Calls<fake::IconCall>()) {
        if (icon.resourceId == IDR_MAINFRAME) continue;
        EXPECT_EQ(icon.type, win::IMAGE_ICON);
        EXPECT_EQ(icon.flags, win::LR_DEFAULTCOLOR);
    }
    EXPECT_EQ(fk->IconOf(dlg->m_hIconDown), std::make_pair(IDI_NET_DOWN, 16));
    EXPECT_EQ(fk->IconOf(dlg->m_hIconUp), std::make_pair(IDI_NET_UP, 16));
    EXPECT_EQ(dlg->m_hIcmpLib, fk->icmpModule);

    const auto threads = fk->Calls<fake::ThreadCall>();
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_EQ(threads[0].call.start, &MonitorThreadProc);
    EXPECT_EQ(threads[0].call.parameter, nullptr);
    EXPECT_EQ(threads[0].call.stackSize, 0u);
    EXPECT_EQ(threads[0].call.flags, 0u);
    EXPECT_FALSE(threads[0].call.security);
    EXPECT_EQ(dlg->m_hThread, threads[0].call.handle);

    const win::NOTIFYICONDATAA record = fk->Calls<fake::TrayCall>()[0].call.record;
    EXPECT_EQ(record.hWnd, window);
    EXPECT_EQ(record.hIcon, dlg->m_hIconDown);
    EXPECT_EQ(record.uFlags, 7u);
    EXPECT_EQ(record.uCallbackMessage, 0x465u);
}

struct RadioCase {
    int alertMode;
    int checked;  // the one radio checked afterwards; 0: none
    bool sent;    // whether a selection message went out
};

class RadioSelectionTest : public MonitorDlgTest,
                           public ::testing::WithParamInterface<RadioCase> {};

TEST_P(RadioSelectionTest, OpeningChecksTheRadioOfTheStoredMode) {
    fk->Store().PutInt(kSectionPath, "Alert", GetParam().alertMode);
    std::map<int, int> checks;
    Open([&](fake::ModalSession& s) {
        for (int id : {IDC_BEEP, IDC_MESSAGE, IDC_NONE}) checks[id] = s.Control(id).check;
        s.PressEscape();
    });
    for (int id : {IDC_BEEP, IDC_MESSAGE, IDC_NONE}) {
        EXPECT_EQ(checks[id], id == GetParam().checked ? win::BST_CHECKED : win::BST_UNCHECKED)
            << id;
    }
    bool sent = false;
    for (const auto& [time, message] : fk->Calls<fake::MessageCall>()) {
        sent = sent || message.message == win::BM_SETCHECK;
    }
    EXPECT_EQ(sent, GetParam().sent);
    EXPECT_EQ(dlg->m_nAlertMode, GetParam().alertMode);
}

INSTANTIATE_TEST_SUITE_P(Modes, RadioSelectionTest,
                         ::testing::Values(RadioCase{IDC_BEEP, IDC_BEEP, true},
                                           RadioCase{IDC_MESSAGE, IDC_MESSAGE, true},
                                           RadioCase{IDC_NONE, IDC_NONE, true},
                                           RadioCase{IDC_HELPBTN, 0, true},  // a push button
                                           RadioCase{-1, 0, true},           // a group box
                                           RadioCase{4242, 0, false}),
                         case_names::ByField<&RadioCase::alertMode>{"Mode"});

class IconFailureTest : public MonitorDlgTest, public ::testing::WithParamInterface<int> {};

TEST_P(IconFailureTest, LeavesAPlainWindowThatStillSavesOnClose) {
    fk->FailIconLoad(GetParam());
    std::string caption;
    Open([&](fake::ModalSession& s) {
        caption = std::string(s.Dialog().GetWindowText().View());
        s.PressEscape();
    });
    EXPECT_EQ(caption, "DovRel  Tessaly");
    const auto boxes = fk->Calls<fake::BoxCall>();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].call.text, "Unable to laod Icons");
    EXPECT_EQ(boxes[0].call.type, win::MB_OK);
    EXPECT_TRUE(boxes[0].call.appBox);
    EXPECT_THAT(fk->Log({Kind::LoadImage}),
                ElementsAre("LoadImageA 130 16x16", "LoadImageA 129 16x16"));
    EXPECT_THAT(fk->Log({Kind::Tray, Kind::LoadLibrary, Kind::CreateThread, Kind::FreeLibrary,
                         Kind::StopRequest, Kind::WaitForThread}),
                IsEmpty());
    EXPECT_THAT(LogAfter("escape", {Kind::WSACleanup, Kind::StoreWrite}),
                ElementsAre("WSACleanup", kWrites[0], kWrites[1], kWrites[2], kWrites[3]));
}

INSTANTIATE_TEST_SUITE_P(Icons, IconFailureTest, ::testing::Values(IDI_NET_UP, IDI_NET_DOWN),
                         case_names::ByNumber{});

TEST_F(MonitorDlgTest, AMissingLibraryIsReportedAndTheWorkerStartsAnyway) {
    fk->SetEchoLibrary(fake::EchoLibrary::Missing);
    Open([](fake::ModalSession& s) { s.PressEscape(); });
    EXPECT_THAT(fk->Log({Kind::LoadLibrary, Kind::MessageBox, Kind::CreateThread}),
                ElementsAre("LoadLibraryA ICMP.DLL", "MessageBox Load Library Failed - Aborting ",
                            "CreateThread"));
    EXPECT_EQ(fk->Calls<fake::BoxCall>()[0].call.type, win::MB_OK);
    EXPECT_THAT(fk->Log({Kind::FreeLibrary}), IsEmpty());
}

TEST_F(MonitorDlgTest, TheDestroyStepStopsTheWorkerThenReleasesThenSavesInOrder) {
    Open([](fake::ModalSession& s) { s.PressEscape(); });
    EXPECT_THAT(LogAfter("escape",
                         {Kind::EndDialog, Kind::StopRequest, Kind::WaitForThread, Kind::WSACleanup,
                          Kind::Tray, Kind::FreeLibrary, Kind::StoreWrite, Kind::DestroyWindow}),
                ElementsAre("EndDialog 2", "AfxRequestStop", "AfxWaitForThread", "WSACleanup",
                            "Shell_NotifyIcon NIM_DELETE Tessaly - Net Down", "FreeLibrary",
                            kWrites[0], kWrites[1], kWrites[2], kWrites[3], "DestroyWindow 102"));
    EXPECT_EQ(app->m_pMainWnd, nullptr);
    EXPECT_TRUE(fk->TrayIcons().empty());
    // A fresh store gets the values under the names as written, in the section the reads made.
    const auto* section = fk->Store().Find(kSectionPath);
    ASSERT_NE(section, nullptr);
    std::vector<std::string> names;
    for (const auto& value : section->values) names.push_back(value.name);
    EXPECT_THAT(names, ElementsAre("IPAddress", "Alert", "StartTray", "Packets"));
    EXPECT_THAT(fk->Store().StoredNames(kSectionPath).back(), "dovrel");
}

TEST_F(MonitorDlgTest, ValuesOutOfRangeAreWrittenBackUnchanged) {
    fk->Store().PutText(kSectionPath, "IPAddress", "");
    fk->Store().PutInt(kSectionPath, "ALERT", 4242);
    fk->Store().PutInt(kSectionPath, "StartTray", 2);
    fk->Store().PutInt(kSectionPath, "Packets", -7);
    Open([](fake::ModalSession& s) { s.PressEscape(); });
    EXPECT_THAT(
        fk->Log({Kind::StoreWrite}),
        ElementsAre("WriteProfileString dovrel IPAddress ", "WriteProfileInt Dovrel Alert 4242",
                    "WriteProfileInt Dovrel StartTray 2", "WriteProfileInt Dovrel Packets -7"));
    EXPECT_EQ(fk->Store().Text(kSectionPath, "IPAddress"), "");
    EXPECT_EQ(fk->Store().Int(kSectionPath, "Alert"), 4242);
    EXPECT_EQ(fk->Store().Int(kSectionPath, "StartTray"), 2);
    EXPECT_EQ(fk->Store().Int(kSectionPath, "Packets"), -7);
    EXPECT_EQ(fk->Store().Find(kSectionPath)->values[1].name, "ALERT");  // kept from its creation
}

TEST_F(MonitorDlgTest, EveryEditStoresTheWholeTextThenAsksForAResolve) {
    std::vector<std::pair<std::string, int>> seen;
    Open([&](fake::ModalSession& s) {
        for (const char* text : {"1", "10", "10 .", ""}) {
            dlg->m_bResolve = 0;
            s.Type(IDC_ADDRESS, text);
            seen.emplace_back(std::string(dlg->m_strAddress.Load().View()), dlg->m_bResolve.load());
        }
        s.PressEscape();
    });
    EXPECT_THAT(seen, ElementsAre(std::make_pair("1", 1), std::make_pair("10", 1),
                                  std::make_pair("10 .", 1), std::make_pair("", 1)));
    EXPECT_THAT(fk->Log({Kind::StoreWrite}).front(), "WriteProfileString dovrel IPAddress ");
}

TEST_F(MonitorDlgTest, FillingTheBoxWhileOpeningIsNoEdit) {
    MakeWindow().m_bResolve = 0;
    int afterOpening = -1;
    int afterLaterSet = -1;
    std::string boxText;
    Open([&](fake::ModalSession& s) {
        afterOpening = dlg->m_bResolve;
        boxText = s.Control(IDC_ADDRESS).text;
        // The same change outside a data exchange is an edit: the notification does get through.
        s.Dialog().GetDlgItem(IDC_ADDRESS)->SetWindowText("10.200.0.5");
        afterLaterSet = dlg->m_bResolve;
        s.PressEscape();
    });
    EXPECT_EQ(boxText, "127.0.0.1");
    EXPECT_EQ(afterOpening, 0);
    EXPECT_EQ(afterLaterSet, 1);
}

class RadioClickTest : public MonitorDlgTest, public ::testing::WithParamInterface<int> {};

TEST_P(RadioClickTest, StoresTheClickedButtonsIdentifier) {
    fk->Store().PutInt(kSectionPath, "Alert", 4242);
    std::map<int, int> checks;
    Open([&](fake::ModalSession& s) {
        s.Click(GetParam());
        for (int id : {IDC_BEEP, IDC_MESSAGE, IDC_NONE}) checks[id] = s.Control(id).check;
        s.PressEscape();
    });
    EXPECT_EQ(dlg->m_nAlertMode, GetParam());
    for (int id : {IDC_BEEP, IDC_MESSAGE, IDC_NONE}) EXPECT_EQ(checks[id], id == GetParam()) << id;
    EXPECT_EQ(fk->Store().Int(kSectionPath, "Alert"), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Buttons, RadioClickTest,
                         ::testing::Values(IDC_BEEP, IDC_MESSAGE, IDC_NONE),
                         case_names::ByNumber{});

struct TrayClickCase {
    win::LPARAM mouse;
    std::vector<std::string> effect;
};

class TrayClickTest : public MonitorDlgTest, public ::testing::WithParamInterface<TrayClickCase> {};

TEST_P(TrayClickTest, LeftButtonShowsAndFrontsRightButtonHidesOthersDoNothing) {
    win::LRESULT result = -1;
    win::HWND fronted = nullptr;
    Open([&](fake::ModalSession& s) {
        result = s.Send(WM_TRAYNOTIFY, 0, GetParam().mouse);
        s.PressEscape();
    });
    EXPECT_EQ(result, 0);
    EXPECT_THAT(fk->Log({Kind::ShowWindow, Kind::SetForegroundWindow}),
                ElementsAreArray(GetParam().effect));
    for (const auto& [time, call] : fk->Calls<fake::ShowCall>()) fronted = call.window;
    if (!GetParam().effect.empty()) {
        EXPECT_EQ(fronted, window);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Mouse, TrayClickTest,
    ::testing::Values(TrayClickCase{win::WM_LBUTTONDOWN, {"ShowWindow 5", "SetForegroundWindow"}},
                      TrayClickCase{win::WM_RBUTTONDOWN, {"ShowWindow 0"}},
                      TrayClickCase{win::WM_MOUSEMOVE, {}}, TrayClickCase{win::WM_LBUTTONUP, {}},
                      TrayClickCase{win::WM_LBUTTONDBLCLK, {}},
                      TrayClickCase{win::WM_RBUTTONUP, {}},
                      TrayClickCase{0x10000 | win::WM_LBUTTONDOWN, {}}),
    [](const auto& info) -> std::string {
        switch (info.param.mouse) {
            case win::WM_LBUTTONDOWN:
                return "LeftButtonDown";
            case win::WM_RBUTTONDOWN:
                return "RightButtonDown";
            case win::WM_MOUSEMOVE:
                return "MouseMove";
            case win::WM_LBUTTONUP:
                return "LeftButtonUp";
            case win::WM_LBUTTONDBLCLK:
                return "LeftDoubleClick";
            case win::WM_RBUTTONUP:
                return "RightButtonUp";
            default:
                return "Message" + case_names::OfNumber(info.param.mouse);
        }
    });

struct CloseCase {
    const char* name;
    std::function<void(fake::ModalSession&)> close;
};

class CloseTest : public MonitorDlgTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseTest, EveryWayOfClosingRunsTheDestroyStep) {
    Open([](fake::ModalSession& s) { GetParam().close(s); });
    EXPECT_THAT(fk->Log({Kind::EndDialog, Kind::WSACleanup, Kind::DestroyWindow}),
                ElementsAre("EndDialog 2", "WSACleanup", "DestroyWindow 102"));
    EXPECT_EQ(fk->Log({Kind::StoreWrite}).size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, CloseTest,
    ::testing::Values(CloseCase{"Escape", [](fake::ModalSession& s) { s.PressEscape(); }},
                      CloseCase{"SystemClose",
                                [](fake::ModalSession& s) { s.SysCommand(win::SC_CLOSE); }},
                      CloseCase{"CloseBox", [](fake::ModalSession& s) { s.Send(win::WM_CLOSE); }}),
    [](const auto& info) { return std::string(info.param.name); });

struct AboutCase {
    const char* name;
    std::function<void(fake::ModalSession&)> action;
    bool opensAbout;
};

class AboutTest : public MonitorDlgTest, public ::testing::WithParamInterface<AboutCase> {};

TEST_P(AboutTest, OpensTheAboutBoxOwnedByTheMainWindow) {
    CWnd* owner = nullptr;
    fk->PushModalScript(IDD_ABOUTBOX, [&](fake::ModalSession& about) {
        owner = about.Dialog().GetParent();
        about.Click(win::IDOK);
    });
    Open([](fake::ModalSession& s) {
        GetParam().action(s);
        s.PressEscape();
    });
    if (GetParam().opensAbout) {
        EXPECT_THAT(fk->Log({Kind::DoModal, Kind::EndDialog}),
                    ElementsAre("DoModal 102", "DoModal 100", "EndDialog 1", "EndDialog 2"));
        EXPECT_EQ(owner, dlg.get());
    } else {
        EXPECT_THAT(fk->Log({Kind::DoModal}), ElementsAre("DoModal 102"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ways, AboutTest,
    ::testing::Values(
        AboutCase{"HelpButton", [](fake::ModalSession& s) { s.Click(IDC_HELPBTN); }, true},
        AboutCase{"EnterInTheBox", [](fake::ModalSession& s) { s.PressEnter(); }, true},
        AboutCase{"MenuEntry", [](fake::ModalSession& s) { s.SysCommand(IDM_ABOUTBOX); }, true},
        AboutCase{"MenuEntryLowBits",
                  [](fake::ModalSession& s) { s.SysCommand(IDM_ABOUTBOX | 0xF); }, true},
        AboutCase{"MoveCommand", [](fake::ModalSession& s) { s.SysCommand(win::SC_MOVE); }, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MonitorDlgTest, HideMeHidesTheWindow) {
    bool visibleBefore = false;
    bool visibleAfter = true;
    Open([&](fake::ModalSession& s) {
        visibleBefore = s.Dialog().IsWindowVisible();
        s.Click(IDC_HIDE);
        visibleAfter = s.Dialog().IsWindowVisible();
        s.PressEscape();
    });
    EXPECT_TRUE(visibleBefore);
    EXPECT_FALSE(visibleAfter);
    EXPECT_THAT(fk->Log({Kind::ShowWindow}), ElementsAre("ShowWindow 0"));
}

TEST_F(MonitorDlgTest, AMinimizedWindowPaintsItsIconCentred) {
    win::LRESULT dragIcon = 0;
    Open([&](fake::ModalSession& s) {
        s.Send(win::WM_PAINT);  // shown normally: the default painting only
        fake::Window& shown = *fk->FindWindow(s.Handle());
        shown.iconic = true;
        shown.clientWidth = 101;
        shown.clientHeight = 40;
        s.Send(win::WM_PAINT);
        dragIcon = s.Send(win::WM_QUERYDRAGICON);
        s.PressEscape();
    });
    EXPECT_THAT(fk->Log({Kind::Paint, Kind::DrawIcon}),
                ElementsAre("BeginPaint", "DrawIcon 35 4", "EndPaint"));
    const auto draws = fk->Calls<fake::DrawCall>();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].call.icon, dlg->m_hIcon);
    EXPECT_EQ(dragIcon, reinterpret_cast<win::LRESULT>(dlg->m_hIcon));
    bool erased = false;
    for (const auto& [time, message] : fk->Calls<fake::MessageCall>()) {
        erased = erased || (message.message == win::WM_ICONERASEBKGND && message.wParam != 0);
    }
    EXPECT_TRUE(erased);
}

}  // namespace
