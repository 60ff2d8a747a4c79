// The application object's back-end half: the settings store, help, message boxes, stopping.
#include <string>

#include "fake_platform.h"

using namespace win;

namespace {
fake::Platform& P() {
    return fake::Platform::Current();
}

// Without a registry key the framework would use an INI file, which the fake does not have:
// such a path opens nothing, so reads give defaults and writes are lost.
std::string StorePath(const CWinApp& app, const char* section) {
    const std::string sectionName = section ? section : "";
    if (app.m_strRegistryKey.IsEmpty())
        return std::string(app.m_strAppName) + ".INI\\" + sectionName;
    return std::string("Software\\") + app.m_strRegistryKey.GetString() + "\\" +
           app.m_strAppName.GetString() + "\\" + sectionName;
}

using Store = fake::SettingsStore;

// One call of a profile function: the section key it opened, null when the store cannot be
// reached, and the names it was given.
struct ProfileAccess {
    Store::Key* key;
    std::string section;
    std::string entry;
    bool hasEntry;

    ProfileAccess(const CWinApp& app, const char* sectionName, const char* entryName)
        : key(P().Store().OpenForAccess(StorePath(app, sectionName))),
          section(sectionName ? sectionName : ""),
          entry(entryName ? entryName : ""),
          hasEntry(entryName != nullptr) {}

    bool Writable() const { return key != nullptr && hasEntry; }

    // A value of the other type reads as missing.
    const Store::Value* Find(Store::Type type) const {
        const Store::Value* value = Writable() ? Store::FindValue(*key, entry) : nullptr;
        return value && value->type == type ? value : nullptr;
    }

    void Record(fake::Kind kind, const char* call, const std::string& shown, bool text,
                std::string textValue, int intValue, int intResult) const {
        P().Record(kind, std::string(call) + " " + section + " " + entry + " " + shown,
                   fake::StoreCall{kind == fake::Kind::StoreWrite, text, section, entry,
                                   std::move(textValue), intValue, intResult, key != nullptr});
    }
};
}  // namespace

int CWinApp::GetProfileInt(const char* section, const char* entry, int defaultValue) {
    const ProfileAccess access(*this, section, entry);
    const Store::Value* value = access.Find(Store::Type::Integer);
    const int result = value ? value->number : defaultValue;
    access.Record(fake::Kind::StoreRead, "GetProfileInt", std::to_string(defaultValue), false, {},
                  defaultValue, result);
    return result;
}

CString CWinApp::GetProfileString(const char* section, const char* entry,
                                  const char* defaultValue) {
    const ProfileAccess access(*this, section, entry);
    const Store::Value* value = access.Find(Store::Type::Text);
    const std::string fallback = defaultValue ? defaultValue : "";
    // The stored text ends at its first zero byte, as a registry text does.
    const std::string result = value ? std::string(value->text.c_str()) : fallback;
    access.Record(fake::Kind::StoreRead, "GetProfileString", fallback, true, result, 0, 0);
    return CString(result);
}

BOOL CWinApp::WriteProfileInt(const char* section, const char* entry, int value) {
    const ProfileAccess access(*this, section, entry);
    if (access.Writable()) Store::Put(*access.key, access.entry, Store::Type::Integer, value, {});
    access.Record(fake::Kind::StoreWrite, "WriteProfileInt", std::to_string(value), false, {},
                  value, 0);
    return access.Writable() ? TRUE : FALSE;
}

BOOL CWinApp::WriteProfileString(const char* section, const char* entry, const char* value) {
    const ProfileAccess access(*this, section, entry);
    const std::string text = value ? value : "";
    // A null text deletes the value, as the framework's function does.
    if (access.Writable() && value != nullptr) {
        Store::Put(*access.key, access.entry, Store::Type::Text, 0, text);
    } else if (access.Writable()) {
        Store::Remove(*access.key, access.entry);
    }
    access.Record(fake::Kind::StoreWrite, "WriteProfileString", text, true, text, 0, 0);
    return access.Writable() ? TRUE : FALSE;
}

void CWinApp::OnHelp() {
    P().Record(fake::Kind::Help, "OnHelp");
}

HINSTANCE AfxGetInstanceHandle() {
    static char module;
    return reinterpret_cast<HINSTANCE>(&module);
}

int AfxMessageBox(const char* text, UINT type, UINT) {
    CWinApp* app = AfxGetApp();
    // The framework's box: the application's name as caption, an exclamation icon by default.
    const UINT shown = (type & MB_ICONMASK) != 0 ? type : type | MB_ICONEXCLAMATION;
    return P().ShowBox({text ? text : "", app ? app->m_strAppName.GetString() : "", type, shown,
                        nullptr, true, 0});
}

void AfxRequestStop() {
    P().RequestStop("AfxRequestStop", true);
}

bool AfxStopRequested() {
    return P().StopRequested();
}

void AfxWaitForThread(HANDLE) {
    // The fake runs no threads: a test ran the worker to its end on its own thread already.
    P().Record(fake::Kind::WaitForThread, "AfxWaitForThread");
}
