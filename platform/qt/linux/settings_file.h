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
    ~SettingsFile();
    SettingsFile(SettingsFile&& other) noexcept;
    SettingsFile& operator=(SettingsFile&&) = delete;
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    struct Contents {
        bool exists = false;
        std::string bytes;
    };
    // The file's bytes, after making its folder where missing; an absent file reads as empty.
    // Nothing when the folder or the file cannot be reached, or the folder cannot be written: a
    // store that cannot take the writes must not hand out the values either, as a registry key
    // that cannot be opened for writing gives the defaults.
    // From here until this object goes, the folder is locked against the other instances, so
    // that a read followed by a replace never undoes another instance's replace in between.
    std::optional<Contents> Load();

    // Replaces the file at once, never leaving a torn one: a temporary file beside it is written
    // and flushed to disk, then renamed over it. The temporary is locked while it exists, so that
    // another instance can tell it from one that a killed writer left behind.
    bool Replace(std::string_view bytes) const;

    // Removes the temporaries of this file's own pattern that no live writer holds: what a writer
    // killed in the middle of a replace left behind. Nothing else in the folder is touched.
    void RemoveStaleTemporaries() const;

  private:
    bool MakeFolder() const;
    std::string Folder() const;
    std::string TemporaryPrefix() const;

    std::string m_path;
    int m_folderLock = -1;
};

}  // namespace linuxsvc
