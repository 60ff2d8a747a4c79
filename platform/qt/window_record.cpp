#include "window_record.h"

#include <mutex>
#include <unordered_map>

namespace tsyqt {
namespace {

// Worker threads look handles up too, so the table has a lock; a record itself is touched only
// on the GUI thread.
struct WindowTable {
    std::mutex mutex;
    std::unordered_map<win::HWND, std::unique_ptr<win::HWND__>> windows;
};

WindowTable& Table() {
    static WindowTable* table = new WindowTable;  // outlives every static that may look up
    return *table;
}

}  // namespace

win::HWND__* FindRecord(win::HWND handle) {
    if (handle == nullptr) return nullptr;
    WindowTable& table = Table();
    std::lock_guard lock(table.mutex);
    const auto found = table.windows.find(handle);
    return found == table.windows.end() ? nullptr : found->second.get();
}

win::HWND RegisterWindow(std::unique_ptr<win::HWND__> record) {
    win::HWND handle = record.get();
    WindowTable& table = Table();
    std::lock_guard lock(table.mutex);
    table.windows.emplace(handle, std::move(record));
    return handle;
}

void UnregisterWindow(win::HWND handle) {
    std::unique_ptr<win::HWND__> record;
    WindowTable& table = Table();
    {
        std::lock_guard lock(table.mutex);
        const auto found = table.windows.find(handle);
        if (found == table.windows.end()) return;
        record = std::move(found->second);
        table.windows.erase(found);
    }
    // Freed outside the lock: the control object's destructor must not find the table locked.
}

win::HWND HandleOfWidget(const QWidget* widget) {
    if (widget == nullptr) return nullptr;
    WindowTable& table = Table();
    std::lock_guard lock(table.mutex);
    for (const auto& [handle, record] : table.windows) {
        if (record->widget == widget) return handle;
    }
    return nullptr;
}

QString ToQt(const char* text) {
    return QString::fromUtf8(text ? text : "");
}
QString ToQt(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
std::string FromQt(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace tsyqt
