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
#include "fake_events.h"
#include "fake_modal_session.h"
#include "fake_store.h"
#include "fake_window.h"

namespace fake {

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

}  // namespace fake
