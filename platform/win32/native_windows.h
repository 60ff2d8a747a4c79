// The real Windows headers, made to sit beside platform/include in one translation unit.
//
// <windows.h> spells many of the framework's names as macros: constants that winapi.h declares
// in namespace win (WM_COMMAND, MB_OK, ...) and A/W switches that would rename the framework's
// own members (SetWindowText, MessageBox, GetProfileInt, ...). This header records each such
// constant's native value, removes the macro, and native_layout.h later checks that namespace
// win holds the same value. Include it before any framework header; call the native A functions
// by their full names.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef STRICT
#define STRICT
#endif

// Windows Sockets 1.1 (wsock32), not 2: the version the monitor asks for.
#include <winsock.h>

#include <windows.h>

#include <commctrl.h>
#include <ipexport.h>
#include <shellapi.h>

// Every constant that winapi.h declares and the native headers define as a macro.
#define TSY_NATIVE_CONSTANTS(X)                                                                    \
    X(TRUE)                                                                                        \
    X(FALSE)                                                                                       \
    X(WM_SETTEXT)                                                                                  \
    X(WM_GETTEXT)                                                                                  \
    X(WM_PAINT)                                                                                    \
    X(WM_CLOSE) X(WM_QUERYDRAGICON) X(WM_ICONERASEBKGND) X(WM_SETICON) X(WM_INITDIALOG)            \
        X(WM_COMMAND) X(WM_SYSCOMMAND) X(WM_LBUTTONDOWN) X(WM_LBUTTONUP) X(WM_LBUTTONDBLCLK) X(    \
            WM_RBUTTONDOWN) X(WM_RBUTTONUP) X(WM_MOUSEMOVE) X(WM_USER) X(BN_CLICKED) X(EN_CHANGE)  \
            X(BM_GETCHECK) X(BM_SETCHECK) X(BST_UNCHECKED) X(BST_CHECKED) X(UDM_SETRANGE) X(       \
                UDM_SETPOS) X(UDM_GETPOS) X(ICON_SMALL) X(ICON_BIG) X(SC_CLOSE) X(SC_MOVE) X(IDOK) \
                X(IDCANCEL) X(WS_POPUP) X(WS_CHILD) X(WS_VISIBLE) X(WS_CAPTION) X(WS_BORDER)       \
                    X(WS_SYSMENU) X(WS_GROUP) X(WS_TABSTOP) X(WS_EX_RIGHT) X(WS_EX_APPWINDOW)      \
                        X(DS_SETFONT) X(DS_MODALFRAME) X(BS_PUSHBUTTON) X(BS_DEFPUSHBUTTON)        \
                            X(BS_AUTOCHECKBOX) X(BS_GROUPBOX) X(BS_AUTORADIOBUTTON) X(BS_TYPEMASK) \
                                X(BS_LEFTTEXT) X(ES_LEFT) X(ES_AUTOHSCROLL) X(ES_WANTRETURN)       \
                                    X(SS_LEFT) X(SS_ICON) X(UDS_SETBUDDYINT) X(UDS_ALIGNRIGHT)     \
                                        X(UDS_AUTOBUDDY) X(UDS_ARROWKEYS) X(SW_HIDE) X(SW_SHOW)    \
                                            X(SW_RESTORE) X(MF_STRING) X(MF_SEPARATOR) X(MB_OK) X( \
                                                MB_ICONHAND) X(MB_ICONEXCLAMATION)                 \
                                                X(MB_ICONINFORMATION) X(MB_ICONMASK) X(IMAGE_ICON) \
                                                    X(LR_DEFAULTCOLOR) X(SM_CXICON) X(SM_CYICON)   \
                                                        X(NIM_ADD) X(NIM_MODIFY) X(NIM_DELETE)     \
                                                            X(NIF_MESSAGE) X(NIF_ICON) X(NIF_TIP)  \
                                                                X(INADDR_NONE) X(AF_INET)          \
                                                                    X(WSAEINVAL) X(WSASYSNOTREADY) \
                                                                        X(WSAVERNOTSUPPORTED)

namespace native_value {
#define TSY_RECORD_NATIVE(name) inline constexpr long long name##_ = static_cast<long long>(name);
TSY_NATIVE_CONSTANTS(TSY_RECORD_NATIVE)
#undef TSY_RECORD_NATIVE
}  // namespace native_value

#undef TRUE
#undef FALSE
#undef WM_SETTEXT
#undef WM_GETTEXT
#undef WM_PAINT
#undef WM_CLOSE
#undef WM_QUERYDRAGICON
#undef WM_ICONERASEBKGND
#undef WM_SETICON
#undef WM_INITDIALOG
#undef WM_COMMAND
#undef WM_SYSCOMMAND
#undef WM_LBUTTONDOWN
#undef WM_LBUTTONUP
#undef WM_LBUTTONDBLCLK
#undef WM_RBUTTONDOWN
#undef WM_RBUTTONUP
#undef WM_MOUSEMOVE
#undef WM_USER
#undef BN_CLICKED
#undef EN_CHANGE
#undef BM_GETCHECK
#undef BM_SETCHECK
#undef BST_UNCHECKED
#undef BST_CHECKED
#undef UDM_SETRANGE
#undef UDM_SETPOS
#undef UDM_GETPOS
#undef ICON_SMALL
#undef ICON_BIG
#undef SC_CLOSE
#undef SC_MOVE
#undef IDOK
#undef IDCANCEL
#undef WS_POPUP
#undef WS_CHILD
#undef WS_VISIBLE
#undef WS_CAPTION
#undef WS_BORDER
#undef WS_SYSMENU
#undef WS_GROUP
#undef WS_TABSTOP
#undef WS_EX_RIGHT
#undef WS_EX_APPWINDOW
#undef DS_SETFONT
#undef DS_MODALFRAME
#undef BS_PUSHBUTTON
#undef BS_DEFPUSHBUTTON
#undef BS_AUTOCHECKBOX
#undef BS_GROUPBOX
#undef BS_AUTORADIOBUTTON
#undef BS_TYPEMASK
#undef BS_LEFTTEXT
#undef ES_LEFT
#undef ES_AUTOHSCROLL
#undef ES_WANTRETURN
#undef SS_LEFT
#undef SS_ICON
#undef UDS_SETBUDDYINT
#undef UDS_ALIGNRIGHT
#undef UDS_AUTOBUDDY
#undef UDS_ARROWKEYS
#undef SW_HIDE
#undef SW_SHOW
#undef SW_RESTORE
#undef MF_STRING
#undef MF_SEPARATOR
#undef MB_OK
#undef MB_ICONHAND
#undef MB_ICONEXCLAMATION
#undef MB_ICONINFORMATION
#undef MB_ICONMASK
#undef IMAGE_ICON
#undef LR_DEFAULTCOLOR
#undef SM_CXICON
#undef SM_CYICON
#undef NIM_ADD
#undef NIM_MODIFY
#undef NIM_DELETE
#undef NIF_MESSAGE
#undef NIF_ICON
#undef NIF_TIP
#undef INADDR_NONE
#undef AF_INET
#undef WSAEINVAL
#undef WSASYSNOTREADY
#undef WSAVERNOTSUPPORTED

// Function-like macros and pointer constants that winapi.h declares too.
#undef LOWORD
#undef HIWORD
#undef MAKELONG
#undef INVALID_HANDLE_VALUE
// A field name of in_addr that winsock.h turns into S_un.S_addr.
#undef s_addr

// A/W switches that would rename members of the framework's classes.
#undef SetWindowText
#undef GetWindowText
#undef MessageBox
#undef SendMessage
#undef AppendMenu
#undef DefWindowProc
#undef GetProfileInt
#undef GetProfileString
#undef WriteProfileString
#undef LoadString
