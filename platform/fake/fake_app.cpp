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

std::string Describe(const char* call, const char* section, const char* entry,
                     const std::string& value) {
    return std::string(call) + " " + (section ? section : "") + " " + (entry ? entry : "") + " " +
           value;
}
}  // namespace

int CWinApp::GetProfileInt(const char* section, const char* entry, int defaultValue) {
    fake::Platform& platform = P();
    fake::SettingsStore::Key* key = platform.Store().OpenForAccess(StorePath(*this, section));
    const fake::SettingsStore::Value* value =
        key && entry ? fake::SettingsStore::FindValue(*key, entry) : nullptr;
    // A value of the other type reads as missing.
    const bool typed = value && value->type == fake::SettingsStore::Type::Integer;
    const int result = typed ? value->number : defaultValue;
    platform.Record(fake::Kind::StoreRead,
                    Describe("GetProfileInt", section, entry, std::to_string(defaultValue)),
                    fake::StoreCall{false,
                                    false,
                                    section ? section : "",
                                    entry ? entry : "",
                                    {},
                                    defaultValue,
                                    result,
                                    key != nullptr});
    return result;
}

CString CWinApp::GetProfileString(const char* section, const char* entry,
                                  const char* defaultValue) {
    fake::Platform& platform = P();
    fake::SettingsStore::Key* key = platform.Store().OpenForAccess(StorePath(*this, section));
    const fake::SettingsStore::Value* value =
        key && entry ? fake::SettingsStore::FindValue(*key, entry) : nullptr;
    const bool typed = value && value->type == fake::SettingsStore::Type::Text;
    const std::string fallback = defaultValue ? defaultValue : "";
    // The stored text ends at its first zero byte, as a registry text does.
    const std::string result = typed ? std::string(value->text.c_str()) : fallback;
    platform.Record(fake::Kind::StoreRead, Describe("GetProfileString", section, entry, fallback),
                    fake::StoreCall{false, true, section ? section : "", entry ? entry : "", result,
                                    0, 0, key != nullptr});
    return CString(result);
}

BOOL CWinApp::WriteProfileInt(const char* section, const char* entry, int value) {
    fake::Platform& platform = P();
    fake::SettingsStore::Key* key = platform.Store().OpenForAccess(StorePath(*this, section));
    if (key != nullptr && entry != nullptr) {
        fake::SettingsStore::Put(*key, entry, fake::SettingsStore::Type::Integer, value, {});
    }
    platform.Record(
        fake::Kind::StoreWrite, Describe("WriteProfileInt", section, entry, std::to_string(value)),
        fake::StoreCall{
            true, false, section ? section : "", entry ? entry : "", {}, value, 0, key != nullptr});
    return key != nullptr && entry != nullptr ? TRUE : FALSE;
}

BOOL CWinApp::WriteProfileString(const char* section, const char* entry, const char* value) {
    fake::Platform& platform = P();
    fake::SettingsStore::Key* key = platform.Store().OpenForAccess(StorePath(*this, section));
    const std::string text = value ? value : "";
    if (key != nullptr && entry != nullptr) {
        if (value != nullptr) {
            fake::SettingsStore::Put(*key, entry, fake::SettingsStore::Type::Text, 0, text);
        } else {
            fake::SettingsStore::Remove(*key, entry);
        }
    }
    platform.Record(fake::Kind::StoreWrite, Describe("WriteProfileString", section, entry, text),
                    fake::StoreCall{true, true, section ? section : "", entry ? entry : "", text, 0,
                                    0, key != nullptr});
    return key != nullptr && entry != nullptr ? TRUE : FALSE;
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
