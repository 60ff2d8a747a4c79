// The fake back end as tests see it: scripted services, virtual time and one ordered log of
// everything the code under test asked of its platform.
//
// Single-threaded and deterministic. A test resets the platform, scripts what the services will
// answer, runs the code (the worker runs on the test's own thread), then reads the log, filtered
// to the kinds it cares about, as a table.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "afxwin.h"
#include "fake_store.h"
#include "fake_window.h"

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

class ModalSession;
using ModalScript = std::function<void(ModalSession&)>;

// The dotted text as a network-order address, for scripting and reading tables.
win::IPAddr Addr(const char* dotted);
std::string Dotted(win::IPAddr address);

class Platform {
  public:
    // A fresh platform: clock at 0, nothing scripted, nothing recorded, store empty.
    static Platform& Reset();
    static Platform& Current();

    // ---- Virtual time and stopping ----------------------------------------------------------
    Millis Now() const { return m_now; }
    // Raises the stop request as a Sleep for which `matches` says yes begins; that Sleep and
    // every later wait return at once.
    void StopAtWait(std::function<bool(win::DWORD milliseconds)> matches);
    // Runs `hook` after every event is recorded, for a test that acts at a given moment: an edit
    // during a pause, a look at the monitor state as a call is made.
    void OnEvent(std::function<void(const Event&)> hook) {
        m_eventHooks.push_back(std::move(hook));
    }
    // Raises the stop request when virtual time reaches `time`: the wait that crosses it ends
    // there.
    void StopAtTime(Millis time);

    // ---- Scripted services ------------------------------------------------------------------
    // WSAStartup results, one per call in order (the application's, then the worker's); later
    // calls give 0. The version the layer reports in its record.
    void ScriptWsaStartup(std::vector<int> results) {
        m_wsaResults.assign(results.begin(), results.end());
    }
    void SetWsaVersion(win::WORD version) { m_wsaVersion = version; }
    void SetEchoLibrary(EchoLibrary library) { m_echoLibrary = library; }
    void RemoveEntryPoint(const std::string& name) { m_missingEntryPoints.insert(name); }
    void FailIcmpCreateFile() { m_icmpCreateFails = true; }
    // Echo outcomes, one per request; when they run out, requests go unanswered.
    void QueueEcho(EchoOutcome outcome) { m_echoes.push_back(outcome); }
    void QueueEchoes(std::initializer_list<EchoOutcome> outcomes);
    // A reverse name for an address; addresses without one have no host record.
    void SetReverseName(win::IPAddr address, std::string name, Millis delay = 0);
    // A forward lookup: the addresses a name resolves to (none: a record with an empty list).
    void SetHost(const std::string& name, std::vector<win::IPAddr> addresses, Millis delay = 0);
    // A name whose lookup fails after `delay`; names never scripted fail at once.
    void FailHost(const std::string& name, Millis delay = 0);
    void FailInetNtoa(win::IPAddr address) { m_ntoaFailures.insert(address); }
    void FailIconLoad(int resourceId) { m_failingIcons.insert(resourceId); }
    // No notification area: every tray call fails.
    void SetTrayAvailable(bool available) { m_trayAvailable = available; }
    void QueueBoxAnswer(BoxAnswer answer) { m_boxAnswers.push_back(std::move(answer)); }
    // What the next DoModal of template `templateId` does once WM_INITDIALOG is through. Without a
    // script a dialog is ended at once with Escape.
    void PushModalScript(win::UINT templateId, ModalScript script);

    SettingsStore& Store() { return m_store; }

    // ---- Recorded ---------------------------------------------------------------------------
    const std::vector<Event>& Events() const { return m_events; }
    // Descriptions of the events of the given kinds, in order.
    std::vector<std::string> Log(std::initializer_list<Kind> kinds) const;
    template <typename T>
    std::vector<Timed<T>> Calls() const {
        std::vector<Timed<T>> calls;
        for (const Event& event : m_events) {
            if (const T* call = std::get_if<T>(&event.payload))
                calls.push_back({event.time, *call});
        }
        return calls;
    }
    // Caption changes of dialogs, as times and texts.
    std::vector<Timed<std::string>> Captions() const;
    std::vector<Millis> TimesOf(Kind kind) const;

    // Runs the start routine of the `index`-th thread the code created, on the caller's thread.
    win::DWORD RunCreatedThread(std::size_t index = 0);

    // ---- Windows ----------------------------------------------------------------------------
    Window* FindWindow(win::HWND handle);
    Window* FindControl(win::HWND dialog, int id);
    // Which icon resource and size a handle from LoadIconA or LoadImageA shows.
    std::optional<std::pair<int, int>> IconOf(win::HANDLE icon) const;
    // The icons the shell shows now, by owner and identifier.
    const std::map<std::pair<win::HWND, win::UINT>, win::NOTIFYICONDATAA>& TrayIcons() const {
        return m_trayIcons;
    }

    // ---- Used by the back end ---------------------------------------------------------------
    void Record(Kind kind, std::string what, Payload payload = {});
    // An event already recorded, to complete it once its call has returned.
    Event& EventAt(std::size_t index) { return m_events.at(index); }
    // Lets `milliseconds` of virtual time pass; false when a stop ended the wait early.
    bool Advance(Millis milliseconds);
    bool StopRequested() const { return m_stopRequested; }
    // Raises the stop request and records `what`, unless it was raised already and the call
    // is not one the code made itself.
    void RequestStop(const std::string& what, bool madeByTheCode = false);
    // Shows a message box: records it, takes the next scripted answer and lets its time pass.
    int ShowBox(BoxCall call);
    void BeginSleep(win::DWORD milliseconds);
    int NextWsaResult();
    win::WORD WsaVersion() const { return m_wsaVersion; }
    bool EchoLibraryPresent() const { return m_echoLibrary == EchoLibrary::Present; }
    bool EntryPointPresent(const std::string& name) const {
        return !m_missingEntryPoints.count(name);
    }
    bool IcmpCreateFails() const { return m_icmpCreateFails; }
    EchoOutcome NextEcho();
    struct Lookup {
        bool found;
        std::string name;
        std::vector<win::IPAddr> addresses;
        Millis delay;
    };
    Lookup ReverseLookup(win::IPAddr address) const;
    Lookup ForwardLookup(const std::string& name) const;
    bool InetNtoaFails(win::IPAddr address) const { return m_ntoaFailures.count(address) != 0; }
    bool IconLoadFails(int resourceId) const { return m_failingIcons.count(resourceId) != 0; }
    win::HANDLE NewIcon(int resourceId, int size);
    win::HANDLE NewHandle();
    BoxAnswer NextBoxAnswer();
    std::optional<ModalScript> NextModalScript(win::UINT templateId);
    win::BOOL NotifyIcon(win::DWORD message, const win::NOTIFYICONDATAA& record);
    Window& NewWindow();
    Window* WindowOfMenu(win::HMENU menu);

    // Handles the back end has handed out, for checks of what comes back to it.
    win::HMODULE icmpModule = nullptr;
    win::HANDLE echoHandle = nullptr;

  private:
    Platform() = default;

    Millis m_now = 0;
    std::optional<Millis> m_stopTime;
    std::function<bool(win::DWORD)> m_stopAtWait;
    std::vector<std::function<void(const Event&)>> m_eventHooks;
    bool m_stopRequested = false;
    std::size_t m_waits = 0;

    std::deque<int> m_wsaResults;
    win::WORD m_wsaVersion = 0x0101;
    EchoLibrary m_echoLibrary = EchoLibrary::Present;
    std::set<std::string> m_missingEntryPoints;
    bool m_icmpCreateFails = false;
    std::deque<EchoOutcome> m_echoes;
    std::map<win::IPAddr, Lookup> m_reverse;
    std::map<std::string, Lookup> m_forward;
    std::set<win::IPAddr> m_ntoaFailures;
    std::set<int> m_failingIcons;
    std::map<win::HANDLE, std::pair<int, int>> m_icons;
    bool m_trayAvailable = true;
    std::map<std::pair<win::HWND, win::UINT>, win::NOTIFYICONDATAA> m_trayIcons;
    std::deque<BoxAnswer> m_boxAnswers;
    std::map<win::UINT, std::deque<ModalScript>> m_modalScripts;

    SettingsStore m_store;
    std::vector<Event> m_events;
    std::uintptr_t m_nextHandle = 0x1000;
    std::map<win::HWND, std::unique_ptr<Window>> m_windows;
};

// What a modal script can do to the dialog it runs in.
class ModalSession {
  public:
    ModalSession(Platform& platform, CDialog& dialog) : m_platform(platform), m_dialog(dialog) {}

    CDialog& Dialog() { return m_dialog; }
    win::HWND Handle() const { return m_dialog.m_hWnd; }
    Window& Control(int id);
    bool Ended();

    // A mouse click on a button: an automatic radio button takes the check from the others of
    // its group, a check box toggles; then the button's BN_CLICKED reaches the dialog.
    void Click(int id);
    // Replaces an edit box's text, then its EN_CHANGE reaches the dialog.
    void Type(int id, const std::string& text);
    // The arrow keys on an up-down control's buddy.
    void Step(int spinId, int delta);
    void PressEscape();
    void PressEnter();
    void SysCommand(win::UINT id);
    win::LRESULT Send(win::UINT message, win::WPARAM wParam = 0, win::LPARAM lParam = 0);

  private:
    void Command(int id, win::UINT code, win::HWND control);

    Platform& m_platform;
    CDialog& m_dialog;
};

}  // namespace fake
