#include "registry_profile.h"

#include <cstring>
#include <vector>

#include "afxwin.h"
#include "native_layout.h"

namespace win32 {
namespace {

constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;

HKEY CreateChild(HKEY parent, const char* name) {
    HKEY child = nullptr;
    const LONG result = ::RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                          kAccess, nullptr, &child, nullptr);
    ::RegCloseKey(parent);
    return result == ERROR_SUCCESS ? child : nullptr;
}

// Closes the key when the call is done with it.
class OpenedKey {
  public:
    explicit OpenedKey(HKEY key) : m_key(key) {}
    ~OpenedKey() {
        if (m_key != nullptr) ::RegCloseKey(m_key);
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;
    HKEY get() const { return m_key; }

  private:
    HKEY m_key;
};

}  // namespace

HKEY RegistryProfile::OpenSection(const char* section) const {
    if (m_registryKey.empty() || m_applicationName.empty() || section == nullptr) return nullptr;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, kAccess, &key) != ERROR_SUCCESS) {
        return nullptr;
    }
    for (const char* name : {m_registryKey.c_str(), m_applicationName.c_str(), section}) {
        key = CreateChild(key, name);
        if (key == nullptr) return nullptr;
    }
    return key;
}

bool RegistryProfile::ReadInteger(const char* section, const char* entry, int& value) const {
    const OpenedKey key(OpenSection(section));
    if (key.get() == nullptr) return false;
    DWORD type = 0;
    DWORD stored = 0;
    DWORD size = sizeof(stored);
    if (::RegQueryValueExA(key.get(), entry, nullptr, &type, reinterpret_cast<BYTE*>(&stored),
                           &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(stored)) {
        return false;
    }
    value = static_cast<int>(stored);
    return true;
}

bool RegistryProfile::ReadText(const char* section, const char* entry, std::string& value) const {
    const OpenedKey key(OpenSection(section));
    if (key.get() == nullptr) return false;
    DWORD type = 0;
    DWORD size = 0;
    LONG result = ::RegQueryValueExA(key.get(), entry, nullptr, &type, nullptr, &size);
    std::vector<char> buffer;
    // Another writer may grow the value between the two calls: ask again with its new size.
    while (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
        if (type != REG_SZ) return false;
        buffer.assign(size + 1, '\0');
        result = ::RegQueryValueExA(key.get(), entry, nullptr, &type,
                                    reinterpret_cast<BYTE*>(buffer.data()), &size);
        if (result == ERROR_SUCCESS) {
            if (type != REG_SZ) return false;
            // Up to the first zero byte; a value stored without its zero ends at its size.
            value.assign(buffer.data(), ::strnlen(buffer.data(), size));
            return true;
        }
    }
    return false;
}

bool RegistryProfile::WriteInteger(const char* section, const char* entry, int value) const {
    const OpenedKey key(OpenSection(section));
    if (key.get() == nullptr) return false;
    const auto stored = static_cast<DWORD>(value);
    return ::RegSetValueExA(key.get(), entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored),
                            sizeof(stored)) == ERROR_SUCCESS;
}

bool RegistryProfile::WriteText(const char* section, const char* entry, const char* value) const {
    const OpenedKey key(OpenSection(section));
    if (key.get() == nullptr) return false;
    if (value == nullptr) return ::RegDeleteValueA(key.get(), entry) == ERROR_SUCCESS;
    return ::RegSetValueExA(key.get(), entry, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                            static_cast<DWORD>(std::strlen(value) + 1)) == ERROR_SUCCESS;
}

}  // namespace win32

namespace {
win32::RegistryProfile ProfileOf(const CWinApp& app) {
    return win32::RegistryProfile(std::string(app.m_strRegistryKey.View()),
                                  std::string(app.m_strAppName.View()));
}
}  // namespace

int CWinApp::GetProfileInt(const char* section, const char* entry, int defaultValue) {
    int value = defaultValue;
    return ProfileOf(*this).ReadInteger(section, entry, value) ? value : defaultValue;
}

CString CWinApp::GetProfileString(const char* section, const char* entry,
                                  const char* defaultValue) {
    std::string value;
    if (ProfileOf(*this).ReadText(section, entry, value)) return CString(std::string_view(value));
    return CString(defaultValue);
}

win::BOOL CWinApp::WriteProfileInt(const char* section, const char* entry, int value) {
    return ProfileOf(*this).WriteInteger(section, entry, value) ? win::TRUE : win::FALSE;
}

win::BOOL CWinApp::WriteProfileString(const char* section, const char* entry, const char* value) {
    return ProfileOf(*this).WriteText(section, entry, value) ? win::TRUE : win::FALSE;
}
