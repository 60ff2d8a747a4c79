#include "window_map.h"

#include "native_layout.h"
#include "stop_signal.h"

namespace win32 {

WindowMap& WindowMap::Instance() {
    static WindowMap map;
    return map;
}

WindowMap::OpenedEvent::OpenedEvent()
    : m_event(::CreateEventA(nullptr, win::TRUE, win::FALSE, nullptr)) {}

WindowMap::OpenedEvent::~OpenedEvent() {
    if (m_event != nullptr) ::CloseHandle(m_event);
}

void WindowMap::Attach(HWND window, CWnd* object, WNDPROC superProc, bool opening) {
    const std::lock_guard lock(m_mutex);
    m_temporary.erase(window);
    m_permanent[window] =
        Entry{object, superProc, opening ? std::make_shared<OpenedEvent>() : nullptr};
}

void WindowMap::Detach(HWND window) {
    const std::lock_guard lock(m_mutex);
    const auto found = m_permanent.find(window);
    if (found == m_permanent.end()) return;
    if (found->second.opened) ::SetEvent(found->second.opened->handle());
    m_permanent.erase(found);
}

void WindowMap::MarkOpened(HWND window) {
    const std::lock_guard lock(m_mutex);
    const auto found = m_permanent.find(window);
    if (found == m_permanent.end() || !found->second.opened) return;
    ::SetEvent(found->second.opened->handle());
    found->second.opened.reset();
}

void WindowMap::WaitUntilOpened(HWND window) {
    std::shared_ptr<OpenedEvent> opened;
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_permanent.find(window);
        if (found == m_permanent.end() || !found->second.opened) return;
        opened = found->second.opened;
    }
    StopSignal::WaitFor(opened->handle(), INFINITE);
}

CWnd* WindowMap::Permanent(HWND window) const {
    const std::lock_guard lock(m_mutex);
    const auto found = m_permanent.find(window);
    return found != m_permanent.end() ? found->second.object : nullptr;
}

WNDPROC WindowMap::SuperProc(HWND window) const {
    const std::lock_guard lock(m_mutex);
    const auto found = m_permanent.find(window);
    return found != m_permanent.end() ? found->second.superProc : nullptr;
}

CWnd* WindowMap::FromHandle(HWND window) {
    if (window == nullptr) return nullptr;
    const std::lock_guard lock(m_mutex);
    if (const auto found = m_permanent.find(window); found != m_permanent.end()) {
        return found->second.object;
    }
    if (const auto found = m_temporary.find(window); found != m_temporary.end()) {
        return found->second.get();
    }
    if (!::IsWindow(window)) return nullptr;
    auto object = std::make_unique<CWnd>();
    object->Attach(Framework(window));
    CWnd* result = object.get();
    m_temporary.emplace(window, std::move(object));
    return result;
}

CMenu* WindowMap::MenuFromHandle(HMENU menu) {
    if (menu == nullptr) return nullptr;
    const std::lock_guard lock(m_mutex);
    std::unique_ptr<CMenu>& object = m_menus[menu];
    if (!object) {
        object = std::make_unique<CMenu>();
        object->m_hMenu = Framework(menu);
    }
    return object.get();
}

void WindowMap::DropDeadTemporaries() {
    const std::lock_guard lock(m_mutex);
    std::erase_if(m_temporary, [](const auto& item) { return !::IsWindow(item.first); });
    std::erase_if(m_menus, [](const auto& item) { return !::IsMenu(item.first); });
}

}  // namespace win32
