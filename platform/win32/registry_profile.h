// The settings store of the profile functions: the key path HKEY_CURRENT_USER, "Software", the
// registry key, the application name, the section.
#pragma once

#include <string>
#include <utility>

#include "native_windows.h"

namespace win32 {

class RegistryProfile {
  public:
    RegistryProfile(std::string registryKey, std::string applicationName)
        : m_registryKey(std::move(registryKey)), m_applicationName(std::move(applicationName)) {}

    // Every call opens the path afresh, creating any missing key below "Software" (which is only
    // opened); null when a key cannot be opened or created with read and write access. The
    // caller closes the key.
    HKEY OpenSection(const char* section) const;

    bool ReadInteger(const char* section, const char* entry, int& value) const;
    bool ReadText(const char* section, const char* entry, std::string& value) const;
    bool WriteInteger(const char* section, const char* entry, int value) const;
    bool WriteText(const char* section, const char* entry, const char* value) const;

  private:
    std::string m_registryKey;
    std::string m_applicationName;
};

}  // namespace win32
