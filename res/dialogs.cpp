// The dialog templates and the string table.
#include <array>

#include "dialog_template.h"
#include "resource.h"

using namespace win;

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
constexpr DWORD kValueField = kChild | WS_BORDER | WS_GROUP | SS_LEFT;

const std::array kMonitorItems{
    DialogItemTemplate{-1, "BUTTON", "Address to Test", 3, 0, 171, 26, kChild | BS_GROUPBOX, 0},
    DialogItemTemplate{-1, "STATIC", "IPAddr/Name:", 6, 9, 48, 8, kChild | SS_LEFT | WS_GROUP, 0},
    DialogItemTemplate{IDC_ADDRESS, "EDIT", "", 57, 8, 112, 12,
                       kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | ES_WANTRETURN, 0},
    DialogItemTemplate{IDC_BEEP, "BUTTON", "Beep", 75, 36, 44, 8, kChild | BS_AUTORADIOBUTTON, 0},
    DialogItemTemplate{IDC_MESSAGE, "BUTTON", "Message", 125, 36, 44, 8,
                       kChild | BS_AUTORADIOBUTTON, 0},
    DialogItemTemplate{IDC_HELPBTN, "BUTTON", "Help", 129, 54, 44, 14,
                       kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
    DialogItemTemplate{IDC_HIDE, "BUTTON", "Hide Me", 81, 54, 44, 14,
                       kChild | BS_PUSHBUTTON | WS_TABSTOP, 0},
    DialogItemTemplate{IDC_NONE, "BUTTON", "None", 25, 36, 44, 8, kChild | BS_AUTORADIOBUTTON, 0},
    DialogItemTemplate{-1, "BUTTON", "Alert On Connect", 3, 27, 171, 21, kChild | BS_GROUPBOX, 0},
    DialogItemTemplate{IDC_OPTIONS, "BUTTON", "Stat/Options", 33, 54, 44, 14,
                       kChild | BS_PUSHBUTTON | WS_TABSTOP, 0},
};

const std::array kOptionsItems{
    DialogItemTemplate{IDC_RECEIVED, "STATIC", "", 75, 96, 27, 9, kValueField, WS_EX_RIGHT},
    DialogItemTemplate{IDOK, "BUTTON", "OK", 42, 114, 50, 14,
                       kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
    DialogItemTemplate{IDCANCEL, "BUTTON", "Cancel", 96, 114, 50, 14,
                       kChild | BS_PUSHBUTTON | WS_TABSTOP, 0},
    DialogItemTemplate{-1, "BUTTON", "Startup", 6, 3, 141, 21, kChild | BS_GROUPBOX, 0},
    DialogItemTemplate{-1, "STATIC", " Try this many times Before     Declaring Network Down", 9,
                       39, 90, 18, kChild | WS_GROUP | SS_LEFT, 0},
    DialogItemTemplate{-1, "BUTTON", "Statistics", 6, 66, 141, 45, kChild | BS_GROUPBOX, 0},
    DialogItemTemplate{-1, "STATIC", "Packets Sent", 9, 79, 60, 9, kChild | WS_GROUP | SS_LEFT, 0},
    DialogItemTemplate{-1, "STATIC", "100%", 114, 79, 27, 9, kValueField, WS_EX_RIGHT},
    DialogItemTemplate{-1, "STATIC", "Packets Received ", 9, 96, 60, 9,
                       kChild | WS_GROUP | SS_LEFT, 0},
    DialogItemTemplate{IDC_SENT, "STATIC", "", 75, 79, 27, 9, kValueField, WS_EX_RIGHT},
    DialogItemTemplate{IDC_PERCENT, "STATIC", "", 114, 96, 27, 9, kValueField, WS_EX_RIGHT},
    DialogItemTemplate{IDC_RETRIES, "EDIT", "", 108, 39, 30, 15,
                       kChild | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, 0},
    DialogItemTemplate{IDC_SPIN, "msctls_updown32", "", 132, 39, 11, 14,
                       kChild | UDS_ARROWKEYS | UDS_AUTOBUDDY | UDS_ALIGNRIGHT | UDS_SETBUDDYINT, 0},
    DialogItemTemplate{-1, "BUTTON", "Ping Option", 6, 27, 141, 36, kChild | BS_GROUPBOX, 0},
    DialogItemTemplate{IDC_STARTTRAY, "BUTTON", "Send To System Tray on StartUp:", 11, 11, 129, 10,
                       kChild | BS_AUTOCHECKBOX | BS_LEFTTEXT | WS_TABSTOP, 0},
};

const std::array kAboutItems{
    DialogItemTemplate{-1, "STATIC", nullptr, 3, 3, 18, 20, kChild | SS_ICON, 0, IDR_MAINFRAME},
    DialogItemTemplate{-1, "STATIC", "Tessaly Version 1.0", 27, 4, 160, 8,
                       kChild | WS_GROUP | SS_LEFT, 0},
    DialogItemTemplate{-1, "STATIC", "Copyright (C) 1998-2026 the Tessaly developers", 27, 14,
                       170, 8, kChild | WS_GROUP | SS_LEFT, 0},
    DialogItemTemplate{IDOK, "BUTTON", "OK", 201, 3, 32, 14,
                       kChild | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 0},
    DialogItemTemplate{-1, "STATIC",
                       "           Tessaly is a  simple application which can be used to check "
                       "your network connection. Run the Tessaly program and a  small icon will "
                       "be dispayed in your system tray. The Icon's color changes from Red to "
                       "Green if connection is estrablished.",
                       3, 27, 228, 33, kChild | WS_GROUP | SS_LEFT, 0},
    DialogItemTemplate{-1, "STATIC",
                       "          If the icon does not change from red to green even if  the  "
                       "network connection is estrablished , check if the entered IP address / "
                       "Host name is correct. ",
                       3, 61, 228, 27, kChild | WS_GROUP | SS_LEFT, 0},
    DialogItemTemplate{-1, "STATIC",
                       "         Tessaly is free software, built and tested by its own small "
                       "team. Its source, build instructions and releases come from the project "
                       "repository; report problems there, with what the caption and the tray "
                       "icon showed.",
                       3, 89, 231, 33, kChild | WS_GROUP | SS_LEFT, 0},
};

const DialogTemplate kMonitorDialog{
    IDD_MONITOR_DIALOG, true,  "DovRel  Tessaly", 0, 0, 180, 71, kDialogStyle | WS_VISIBLE,
    WS_EX_APPWINDOW,   8,     "MS Sans Serif",   0, false, 1, kMonitorItems};

const DialogTemplate kOptionsDialog{
    IDD_OPTIONS, true, "DovRel Tessaly Options/Statistics", 0, 0, 157, 130, kDialogStyle, 0, 8,
    "MS Sans Serif", 0, false, 1, kOptionsItems};

const DialogTemplate kAboutDialog{
    IDD_ABOUTBOX, false, "About Dovrel Tessaly", 0, 0, 241, 130, kDialogStyle, 0, 8,
    "MS Sans Serif", 0, false, 0, kAboutItems};

}  // namespace

const DialogTemplate* AfxFindDialogTemplate(UINT id) {
    for (const DialogTemplate* dialog : {&kMonitorDialog, &kOptionsDialog, &kAboutDialog}) {
        if (dialog->id == id) return dialog;
    }
    return nullptr;
}

const char* AfxFindStringResource(UINT id) {
    switch (id) {
        case IDS_ABOUTBOX:
            return "&About orvane...";
        case IDS_SOCKETS_INIT_FAILED:
            return "Windows sockets initialization failed.";
        default:
            return nullptr;
    }
}
