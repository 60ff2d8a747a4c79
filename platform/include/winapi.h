// The operating-system services the monitor is written against, in the shape of the Windows API.
//
// Everything lives in namespace `win` so that the Win32 back end can include <windows.h> beside
// this header without clashes; each back end translates these calls to its own system. Types keep
// the Windows widths: 32-bit integers are 32 bits everywhere, pointer-sized ones follow the
// pointer, so records such as the tray icon record and the echo reply keep their Windows layout.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define TSY_WINAPI __stdcall
#else
#define TSY_WINAPI
#endif

namespace win {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using BOOL = int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LPVOID = void*;

// Opaque handles: each back end decides what they point to.
struct HWND__;
struct HICON__;
struct HMENU__;
struct HINSTANCE__;
struct HDC__;
using HWND = HWND__*;
using HICON = HICON__*;
using HMENU = HMENU__*;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using HDC = HDC__*;
using HANDLE = void*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});

constexpr WORD LOWORD(std::uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(std::uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr DWORD MAKELONG(WORD low, WORD high) { return DWORD{low} | (DWORD{high} << 16); }

// ---- Window messages and their codes -------------------------------------------------------
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUERYDRAGICON = 0x0037;
inline constexpr UINT WM_ICONERASEBKGND = 0x0027;
inline constexpr UINT WM_SETICON = 0x0080;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_USER = 0x0400;

inline constexpr UINT BN_CLICKED = 0;
inline constexpr UINT EN_CHANGE = 0x0300;

inline constexpr UINT BM_GETCHECK = 0x00F0;
inline constexpr UINT BM_SETCHECK = 0x00F1;
inline constexpr int BST_UNCHECKED = 0;
inline constexpr int BST_CHECKED = 1;

inline constexpr UINT UDM_SETRANGE = WM_USER + 101;  // 0x465
inline constexpr UINT UDM_SETPOS = WM_USER + 103;    // 0x467
inline constexpr UINT UDM_GETPOS = WM_USER + 104;    // 0x468

inline constexpr int ICON_SMALL = 0;
inline constexpr int ICON_BIG = 1;

inline constexpr UINT SC_CLOSE = 0xF060;
inline constexpr UINT SC_MOVE = 0xF010;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// ---- Window and control styles (as in dialog templates) ------------------------------------
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_GROUP = 0x00020000;
inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD WS_EX_RIGHT = 0x00001000;
inline constexpr DWORD WS_EX_APPWINDOW = 0x00040000;
inline constexpr DWORD DS_SETFONT = 0x40;
inline constexpr DWORD DS_MODALFRAME = 0x80;

inline constexpr DWORD BS_PUSHBUTTON = 0x0;
inline constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
inline constexpr DWORD BS_AUTOCHECKBOX = 0x3;
inline constexpr DWORD BS_GROUPBOX = 0x7;
inline constexpr DWORD BS_AUTORADIOBUTTON = 0x9;
inline constexpr DWORD BS_TYPEMASK = 0xF;
inline constexpr DWORD BS_LEFTTEXT = 0x20;

inline constexpr DWORD ES_LEFT = 0x0;
inline constexpr DWORD ES_AUTOHSCROLL = 0x80;
inline constexpr DWORD ES_WANTRETURN = 0x1000;

inline constexpr DWORD SS_LEFT = 0x0;
inline constexpr DWORD SS_ICON = 0x3;

inline constexpr DWORD UDS_SETBUDDYINT = 0x0002;
inline constexpr DWORD UDS_ALIGNRIGHT = 0x0004;
inline constexpr DWORD UDS_AUTOBUDDY = 0x0010;
inline constexpr DWORD UDS_ARROWKEYS = 0x0020;

// ---- Show commands, menus, message boxes, icons -------------------------------------------
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_RESTORE = 9;

inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_SEPARATOR = 0x0800;

inline constexpr UINT MB_OK = 0x00;
inline constexpr UINT MB_ICONHAND = 0x10;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr UINT MB_ICONMASK = 0xF0;

inline constexpr UINT IMAGE_ICON = 1;
inline constexpr UINT LR_DEFAULTCOLOR = 0;
inline constexpr int SM_CXICON = 11;
inline constexpr int SM_CYICON = 12;

// ---- Shell notification-area icons --------------------------------------------------------
inline constexpr DWORD NIM_ADD = 0;
inline constexpr DWORD NIM_MODIFY = 1;
inline constexpr DWORD NIM_DELETE = 2;
inline constexpr UINT NIF_MESSAGE = 1;
inline constexpr UINT NIF_ICON = 2;
inline constexpr UINT NIF_TIP = 4;

// The first, 8-bit-text form of the shell's icon record (88 bytes with 32-bit pointers).
struct NOTIFYICONDATAA {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    char szTip[64];
};
static_assert(sizeof(void*) != 4 || sizeof(NOTIFYICONDATAA) == 88);

// ---- Kernel services -----------------------------------------------------------------------
using LPTHREAD_START_ROUTINE = DWORD(TSY_WINAPI*)(LPVOID);
using FARPROC = void (*)();

// Pauses the calling thread. On the worker it ends early once a stop is requested.
void Sleep(DWORD milliseconds);
// Sounds a tone; on the worker it ends early once a stop is requested. No sound device: no sound.
BOOL Beep(DWORD frequency, DWORD duration);
HANDLE CreateThread(void* security, std::size_t stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, DWORD* threadId);
[[noreturn]] void ExitProcess(UINT exitCode);
HMODULE LoadLibraryA(const char* name);
FARPROC GetProcAddress(HMODULE module, const char* name);
BOOL FreeLibrary(HMODULE module);

// ---- User-interface services ---------------------------------------------------------------
HICON LoadIconA(HINSTANCE instance, int resourceId);
HANDLE LoadImageA(HINSTANCE instance, int resourceId, UINT type, int cx, int cy, UINT flags);
BOOL SetForegroundWindow(HWND window);
int GetSystemMetrics(int index);
BOOL DrawIcon(HDC dc, int x, int y, HICON icon);
BOOL Shell_NotifyIconA(DWORD message, NOTIFYICONDATAA* data);

// ---- Windows Sockets 1.1 -------------------------------------------------------------------
inline constexpr ULONG INADDR_NONE = 0xFFFFFFFF;
inline constexpr int AF_INET = 2;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSASYSNOTREADY = 10091;
inline constexpr int WSAVERNOTSUPPORTED = 10092;

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};

struct hostent {
    char* h_name;
    char** h_aliases;
    short h_addrtype;
    short h_length;
    char** h_addr_list;
};

struct in_addr {
    ULONG s_addr;  // network byte order
};

int WSAStartup(WORD versionRequested, WSADATA* data);
int WSACleanup();
ULONG inet_addr(const char* text);
// Results live in storage of the calling thread until its next call, as in Windows Sockets.
hostent* gethostbyname(const char* name);
char* inet_ntoa(in_addr address);
hostent* gethostbyaddr(const char* address, int length, int type);

// ---- The ICMP echo library ("ICMP.DLL") ----------------------------------------------------
using IPAddr = ULONG;

struct IP_OPTION_INFORMATION {
    BYTE Ttl;
    BYTE Tos;
    BYTE Flags;
    BYTE OptionsSize;
    BYTE* OptionsData;
};

struct ICMP_ECHO_REPLY {
    IPAddr Address;
    ULONG Status;
    ULONG RoundTripTime;
    WORD DataSize;
    WORD Reserved;
    void* Data;
    IP_OPTION_INFORMATION Options;
};
static_assert(sizeof(void*) != 4 || sizeof(ICMP_ECHO_REPLY) == 28);

using PFN_IcmpCreateFile = HANDLE(TSY_WINAPI*)();
using PFN_IcmpCloseHandle = BOOL(TSY_WINAPI*)(HANDLE);
using PFN_IcmpSendEcho = DWORD(TSY_WINAPI*)(HANDLE icmp, IPAddr destination, LPVOID requestData,
                                            WORD requestSize, IP_OPTION_INFORMATION* options,
                                            LPVOID replyBuffer, DWORD replySize, DWORD timeout);

}  // namespace win
