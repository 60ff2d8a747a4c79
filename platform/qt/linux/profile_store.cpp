// The application's settings store: one INI file per application, one group per section.
//
// Every call reads the file afresh, as the registry functions open the key afresh, so that two
// instances or a hand edit between two calls are seen.
#include <mutex>
#include <string>

#include "afxwin.h"
#include "ini_document.h"
#include "ini_value.h"
#include "settings_file.h"

namespace {

using linuxsvc::IniDocument;
using linuxsvc::SettingsFile;

std::mutex g_storeMutex;

struct OpenedStore {
    SettingsFile file;
    IniDocument document;
    std::string onDisk;  // what the file held when it was read, to spare a replace by the same
};

// The store with the section present, as a registry key path is created by every access; nothing
// when the store cannot be reached.
std::optional<OpenedStore> OpenSection(const CWinApp& app, const char* section, const char* entry) {
    if (section == nullptr || entry == nullptr || !IniDocument::IsStorableGroupName(section) ||
        !IniDocument::IsStorableKeyName(entry)) {
        return std::nullopt;
    }
    const auto path =
        linuxsvc::SettingsFilePath(app.m_strRegistryKey.View(), app.m_strAppName.View());
    if (!path) return std::nullopt;
    SettingsFile file(*path);
    const auto contents = file.Load();
    if (!contents) return std::nullopt;
    IniDocument document = IniDocument::Parse(contents->bytes);
    std::string onDisk = contents->bytes;
    if (!contents->exists || !document.HasGroup(section)) {
        document.AddGroup(section);
        // Where the file cannot be written the values are missing anyway: read on regardless.
        if (std::string made = document.Serialize(); file.Replace(made)) onDisk = std::move(made);
    }
    return OpenedStore{std::move(file), std::move(document), std::move(onDisk)};
}

std::optional<std::string_view> StoredValue(const OpenedStore& store, const char* section,
                                            const char* entry) {
    return store.document.Find(section, entry);
}

win::BOOL WriteValue(const CWinApp& app, const char* section, const char* entry,
                     const std::string& value) {
    std::lock_guard lock(g_storeMutex);
    auto store = OpenSection(app, section, entry);
    if (!store) return win::FALSE;
    store->file.RemoveStaleTemporaries();
    store->document.Set(section, entry, value);
    // A close writes every value whether it changed or not; an unchanged file costs no replace
    // and no flush to disk.
    const std::string bytes = store->document.Serialize();
    if (bytes == store->onDisk) return win::TRUE;
    return store->file.Replace(bytes) ? win::TRUE : win::FALSE;
}

}  // namespace

int CWinApp::GetProfileInt(const char* section, const char* entry, int defaultValue) {
    std::lock_guard lock(g_storeMutex);
    const auto store = OpenSection(*this, section, entry);
    if (!store) return defaultValue;
    const auto stored = StoredValue(*store, section, entry);
    if (!stored) return defaultValue;
    return linuxsvc::ParseInteger(*stored).value_or(defaultValue);
}

CString CWinApp::GetProfileString(const char* section, const char* entry,
                                  const char* defaultValue) {
    std::lock_guard lock(g_storeMutex);
    const auto store = OpenSection(*this, section, entry);
    if (!store) return CString(defaultValue);
    const auto stored = StoredValue(*store, section, entry);
    const auto text = stored ? linuxsvc::UnquoteText(*stored) : std::nullopt;
    if (!text) return CString(defaultValue);
    // The text ends at its first zero byte, as a C string read back from the registry does.
    return CString(std::string_view(*text).substr(0, text->find('\0')));
}

win::BOOL CWinApp::WriteProfileInt(const char* section, const char* entry, int value) {
    return WriteValue(*this, section, entry, linuxsvc::FormatInteger(value));
}

win::BOOL CWinApp::WriteProfileString(const char* section, const char* entry, const char* value) {
    // The program never deletes a value, and a null text has nothing to store.
    if (value == nullptr) return win::FALSE;
    return WriteValue(*this, section, entry, linuxsvc::QuoteText(value));
}
