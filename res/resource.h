// Identifiers shared by the dialog templates, the resources and the code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MONITOR_DIALOG 102
#define IDS_SOCKETS_INIT_FAILED 103
#define IDR_MAINFRAME 128
#define IDI_NET_UP 129
#define IDI_NET_DOWN 130
#define IDD_OPTIONS 130

#define IDC_ADDRESS 1002
#define IDC_HIDE 1007
#define IDC_BEEP 1008
#define IDC_MESSAGE 1009
#define IDC_HELPBTN 1010
#define IDC_NONE 1011
#define IDC_OPTIONS 1012
#define IDC_RETRIES 1020
#define IDC_SPIN 1021
#define IDC_SENT 1022
#define IDC_RECEIVED 1023
#define IDC_PERCENT 1024
#define IDC_STARTTRAY 1028

#define IDM_ABOUTBOX 0x0010

// The tray icon's callback message.
#define WM_TRAYNOTIFY (0x0400 + 101)
