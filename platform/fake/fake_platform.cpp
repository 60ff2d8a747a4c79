#include "fake_platform.h"

#include <cstdio>
#include <cstring>

namespace fake {

namespace {
// Far beyond any test's run; reaching it means the stop was never raised.
constexpr std::size_t kMaxWaits = 1'000'000;

std::unique_ptr<Platform>& Instance() {
    static std::unique_ptr<Platform> platform;
    return platform;
}
}  // namespace

win::IPAddr Addr(const char* dotted) {
    unsigned parts[4] = {};
    if (std::sscanf(dotted, "%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]) != 4) {
        throw std::invalid_argument(std::string("not a dotted address: ") + dotted);
    }
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(parts[0]), static_cast<unsigned char>(parts[1]),
        static_cast<unsigned char>(parts[2]), static_cast<unsigned char>(parts[3])};
    win::IPAddr address = 0;
    std::memcpy(&address, bytes, sizeof(address));
    return address;
}

std::string Dotted(win::IPAddr address) {
    unsigned char bytes[4];
    std::memcpy(bytes, &address, sizeof(bytes));
    char text[16];
    std::snprintf(text, sizeof(text), "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

Platform& Platform::Reset() {
    Instance().reset(new Platform());
    return *Instance();
}

Platform& Platform::Current() {
    if (!Instance()) Reset();
    return *Instance();
}

void Platform::StopAtWait(std::function<bool(win::DWORD)> matches) {
    m_stopAtWait = std::move(matches);
}

void Platform::StopAtTime(Millis time) {
    m_stopTime = time;
}

void Platform::QueueEchoes(std::initializer_list<EchoOutcome> outcomes) {
    m_echoes.insert(m_echoes.end(), outcomes.begin(), outcomes.end());
}

void Platform::SetReverseName(win::IPAddr address, std::string name, Millis delay) {
    m_reverse[address] = {true, std::move(name), {address}, delay};
}

void Platform::SetHost(const std::string& name, std::vector<win::IPAddr> addresses, Millis delay) {
    m_forward[name] = {true, name, std::move(addresses), delay};
}

void Platform::FailHost(const std::string& name, Millis delay) {
    m_forward[name] = {false, name, {}, delay};
}

void Platform::PushModalScript(win::UINT templateId, ModalScript script) {
    m_modalScripts[templateId].push_back(std::move(script));
}

std::vector<std::string> Platform::Log(std::initializer_list<Kind> kinds) const {
    std::vector<std::string> lines;
    for (const Event& event : m_events) {
        for (Kind kind : kinds) {
            if (event.kind == kind) lines.push_back(event.what);
        }
    }
    return lines;
}

std::vector<Timed<std::string>> Platform::Captions() const {
    std::vector<Timed<std::string>> captions;
    for (const auto& [time, call] : Calls<TextCall>()) {
        if (call.controlId == 0) captions.push_back({time, call.text});
    }
    return captions;
}

std::vector<Millis> Platform::TimesOf(Kind kind) const {
    std::vector<Millis> times;
    for (const Event& event : m_events) {
        if (event.kind == kind) times.push_back(event.time);
    }
    return times;
}

win::DWORD Platform::RunCreatedThread(std::size_t index) {
    const auto threads = Calls<ThreadCall>();
    if (index >= threads.size()) throw std::logic_error("fake: no such thread was created");
    return threads[index].call.start(threads[index].call.parameter);
}

void Platform::Record(Kind kind, std::string what, Payload payload) {
    m_events.push_back({m_now, kind, std::move(what), std::move(payload)});
    if (m_eventHooks.empty()) return;
    // A copy: a hook may record events of its own, which moves the log.
    const Event event = m_events.back();
    for (std::size_t i = 0; i < m_eventHooks.size(); ++i) m_eventHooks[i](event);
}

bool Platform::Advance(Millis milliseconds) {
    if (++m_waits > kMaxWaits) throw RunawayRun("fake: the run never stopped; script a stop");
    if (m_stopRequested) return false;
    if (m_stopTime && m_now + milliseconds >= *m_stopTime) {
        if (m_now < *m_stopTime) m_now = *m_stopTime;
        RequestStop("stop at the scripted time");
        return false;
    }
    m_now += milliseconds;
    return true;
}

void Platform::RequestStop(const std::string& what, bool madeByTheCode) {
    if (m_stopRequested && !madeByTheCode) return;
    m_stopRequested = true;
    Record(Kind::StopRequest, what);
}

void Platform::BeginSleep(win::DWORD milliseconds) {
    Record(Kind::Sleep, "Sleep " + std::to_string(milliseconds), SleepCall{milliseconds});
    if (!m_stopRequested && m_stopAtWait && m_stopAtWait(milliseconds)) {
        RequestStop("stop at the scripted wait");
    }
    Advance(milliseconds);
}

int Platform::NextWsaResult() {
    if (m_wsaResults.empty()) return 0;
    const int result = m_wsaResults.front();
    m_wsaResults.pop_front();
    return result;
}

EchoOutcome Platform::NextEcho() {
    if (m_echoes.empty()) return NoReply();
    const EchoOutcome outcome = m_echoes.front();
    m_echoes.pop_front();
    return outcome;
}

Platform::Lookup Platform::ReverseLookup(win::IPAddr address) const {
    const auto found = m_reverse.find(address);
    return found != m_reverse.end() ? found->second : Lookup{false, {}, {}, 0};
}

Platform::Lookup Platform::ForwardLookup(const std::string& name) const {
    const auto found = m_forward.find(name);
    return found != m_forward.end() ? found->second : Lookup{false, name, {}, 0};
}

win::HANDLE Platform::NewHandle() {
    m_nextHandle += 0x10;
    return reinterpret_cast<win::HANDLE>(m_nextHandle);
}

win::HANDLE Platform::NewIcon(int resourceId, int size) {
    win::HANDLE icon = NewHandle();
    m_icons[icon] = {resourceId, size};
    return icon;
}

std::optional<std::pair<int, int>> Platform::IconOf(win::HANDLE icon) const {
    const auto found = m_icons.find(icon);
    if (found == m_icons.end()) return std::nullopt;
    return found->second;
}

int Platform::ShowBox(BoxCall call) {
    // A box asked for after the stop request is over at once, as every wait is.
    const bool stopped = m_stopRequested;
    BoxAnswer answer = stopped ? BoxAnswer{win::IDCANCEL, 0, {}} : NextBoxAnswer();
    call.answer = answer.result;
    Record(Kind::MessageBox, "MessageBox " + call.text, call);
    if (stopped) return answer.result;
    if (answer.during) answer.during();
    Advance(answer.readTime);
    return answer.result;
}

BoxAnswer Platform::NextBoxAnswer() {
    if (m_boxAnswers.empty()) return {};
    BoxAnswer answer = std::move(m_boxAnswers.front());
    m_boxAnswers.pop_front();
    return answer;
}

std::optional<ModalScript> Platform::NextModalScript(win::UINT templateId) {
    auto& scripts = m_modalScripts[templateId];
    if (scripts.empty()) return std::nullopt;
    ModalScript script = std::move(scripts.front());
    scripts.pop_front();
    return script;
}

win::BOOL Platform::NotifyIcon(win::DWORD message, const win::NOTIFYICONDATAA& record) {
    if (!m_trayAvailable) return win::FALSE;
    const auto key = std::make_pair(record.hWnd, record.uID);
    const bool shown = m_trayIcons.count(key) != 0;
    switch (message) {
        case win::NIM_ADD:
            if (shown) return win::FALSE;
            m_trayIcons[key] = record;
            return win::TRUE;
        case win::NIM_MODIFY:
            if (!shown) return win::FALSE;
            m_trayIcons[key] = record;
            return win::TRUE;
        case win::NIM_DELETE:
            return m_trayIcons.erase(key) != 0 ? win::TRUE : win::FALSE;
        default:
            return win::FALSE;
    }
}

Window& Platform::NewWindow() {
    auto window = std::make_unique<Window>();
    window->handle = static_cast<win::HWND>(NewHandle());
    Window& made = *window;
    m_windows[made.handle] = std::move(window);
    return made;
}

Window* Platform::FindWindow(win::HWND handle) {
    const auto found = m_windows.find(handle);
    return found != m_windows.end() ? found->second.get() : nullptr;
}

Window* Platform::FindControl(win::HWND dialog, int id) {
    Window* window = FindWindow(dialog);
    if (window == nullptr) return nullptr;
    for (win::HWND child : window->children) {
        Window* control = FindWindow(child);
        if (control != nullptr && control->id == id) return control;
    }
    return nullptr;
}

Window* Platform::WindowOfMenu(win::HMENU menu) {
    for (auto& [handle, window] : m_windows) {
        if (menu != nullptr && window->systemMenuHandle == menu) return window.get();
    }
    return nullptr;
}

}  // namespace fake
