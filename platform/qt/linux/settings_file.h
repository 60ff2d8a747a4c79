// The settings file on disk: read whole, replaced whole.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace linuxsvc {

// ${XDG_CONFIG_HOME:-$HOME/.config}/<company>/<application>.conf, or <application>.conf right in
// the configuration folder without a company. Nothing when a name cannot be a file name.
std::optional<std::string> SettingsFilePath(std::string_view company, std::string_view application);

class SettingsFile {
  public:
    explicit SettingsFile(std::string path) : m_path(std::move(path)) {}

    struct Contents {
        bool exists = false;
        std::string bytes;
    };
    // The file's bytes, after making its folder where missing; an absent file reads as empty.
    // Nothing when the folder or the file cannot be reached: then it must not be replaced either,
    // or its contents would be lost.
    std::optional<Contents> Load() const;

    // Replaces the file at once, never leaving a torn one: a temporary file beside it is written
    // and flushed to disk, then renamed over it.
    bool Replace(std::string_view bytes) const;

  private:
    bool MakeFolder() const;

    std::string m_path;
};

}  // namespace linuxsvc
