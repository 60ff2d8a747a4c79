// What the fake records of each call, and how tests script the answers of echoes and boxes.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <variant>

#include "afxwin.h"

namespace fake {

using Millis = std::uint64_t;

// ExitProcess throws this: the process would end here with `code`.
struct ProcessExit {
    win::UINT code;
};

// The run went on far longer than any test means it to: a stop was never raised.
struct RunawayRun : std::logic_error {
    using std::logic_error::logic_error;
};

enum class Kind {
    Sleep,
    Beep,
    CreateThread,
    ExitProcess,
    LoadLibrary,
    GetProcAddress,
    FreeLibrary,
    IcmpCreateFile,
    IcmpSendEcho,
    WSAStartup,
    WSACleanup,
    InetAddr,
    HostByName,
    HostByAddr,
    InetNtoa,
    LoadIcon,
    LoadImage,
    MessageBox,
    SetWindowText,
    ShowWindow,
    SetForegroundWindow,
    Tray,
    SendMessage,
    AppendMenu,
    Paint,
    DrawIcon,
    StoreRead,
    StoreWrite,
    DoModal,
    EndDialog,
    DestroyWindow,
    StopRequest,
    WaitForThread,
    Help,
    Input,  // what a modal script did: click, typing, keys
};

struct SleepCall {
    win::DWORD milliseconds;
};
struct BeepCall {
    win::DWORD frequency;
    win::DWORD duration;
};
struct ThreadCall {
    win::LPTHREAD_START_ROUTINE start;
    win::LPVOID parameter;
    std::size_t stackSize;
    win::DWORD flags;
    bool security;  // a security record was given
    win::HANDLE handle;
};
struct EchoCall {
    win::HANDLE handle;
    win::IPAddr destination;
    const void* requestData;
    win::WORD requestSize;
    bool hasOptions;
    win::IP_OPTION_INFORMATION options;
    const void* replyBuffer;
    win::DWORD replySize;
    win::DWORD timeout;
    win::DWORD result;
};
struct TrayCall {
    win::DWORD message;
    win::NOTIFYICONDATAA record;
    win::BOOL result;
};
struct BoxCall {
    std::string text;
    std::string caption;
    win::UINT type;       // as the caller gave it
    win::UINT shownType;  // as shown: the framework's box adds its exclamation icon
    win::HWND owner;
    bool appBox;  // the framework's application message box
    int answer;
};
struct ShowCall {
    win::HWND window;
    int command;
};
struct TextCall {
    win::HWND window;
    int controlId;  // 0 for a dialog's caption
    std::string text;
};
struct MessageCall {
    win::HWND window;
    int controlId;  // 0 for a dialog
    win::UINT message;
    win::WPARAM wParam;
    win::LPARAM lParam;
};
struct MenuCall {
    win::HMENU menu;
    win::UINT flags;
    std::uintptr_t id;
    std::string text;
};
struct IconCall {
    int resourceId;
    win::UINT type;
    int cx, cy;
    win::UINT flags;
    win::HANDLE result;
};
struct LookupCall {
    std::string name;     // gethostbyname: the text exactly as given
    win::IPAddr address;  // gethostbyaddr, inet_ntoa; the parse's result for inet_addr
    int length = 0;
    int type = 0;
    bool found = false;
};
struct StoreCall {
    bool write;
    bool text;  // a text value rather than an integer
    std::string section;
    std::string entry;
    std::string textValue;  // default for reads, value for writes, result of text reads
    int intValue;           // likewise for integers
    int intResult;          // result of integer reads
    bool reached;           // the key path could be opened
};
struct DrawCall {
    int x, y;
    win::HICON icon;
};

using Payload = std::variant<std::monostate, SleepCall, BeepCall, ThreadCall, EchoCall, TrayCall,
                             BoxCall, ShowCall, TextCall, MessageCall, MenuCall, IconCall,
                             LookupCall, StoreCall, DrawCall>;

struct Event {
    Millis time;
    Kind kind;
    std::string what;  // a short canonical description, for tables of order
    Payload payload;
};

template <typename T>
struct Timed {
    Millis time;
    T call;
};

// What one echo request meets.
struct EchoOutcome {
    bool replied = false;
    win::IPAddr from = 0;
    Millis after = 0;  // until the reply; a missing reply waits the whole timeout
};
inline EchoOutcome Reply(win::IPAddr from, Millis after = 0) {
    return {true, from, after};
}
inline EchoOutcome NoReply() {
    return {};
}

// How the user answers one message box.
struct BoxAnswer {
    int result = win::IDOK;
    Millis readTime = 0;           // virtual time the box stays open
    std::function<void()> during;  // runs while the box is open
};

enum class EchoLibrary { Present, Missing };

}  // namespace fake
