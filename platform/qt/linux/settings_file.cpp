#include "settings_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace linuxsvc {
namespace {

constexpr mode_t kNewFolderMode = 0700;  // as the XDG base directories ask for
constexpr mode_t kNewFileMode = 0600;

bool IsAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

std::optional<std::string> ConfigurationFolder() {
    // A relative XDG_CONFIG_HOME is to be ignored, as the XDG base directory rules say.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); IsAbsolute(xdg)) return std::string(xdg);
    if (const char* home = std::getenv("HOME"); IsAbsolute(home)) {
        return std::string(home) + "/.config";
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && IsAbsolute(found->pw_dir)) {
        return std::string(found->pw_dir) + "/.config";
    }
    return std::nullopt;
}

bool IsFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

std::string FolderOf(const std::string& path) {
    return path.substr(0, path.find_last_of('/'));
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

std::optional<std::string> SettingsFilePath(std::string_view company,
                                            std::string_view application) {
    if (!IsFileName(application)) return std::nullopt;
    if (!company.empty() && !IsFileName(company)) return std::nullopt;
    auto folder = ConfigurationFolder();
    if (!folder) return std::nullopt;
    if (!company.empty()) *folder += "/" + std::string(company);
    return *folder + "/" + std::string(application) + ".conf";
}

bool SettingsFile::MakeFolder() const {
    const std::string folder = FolderOf(m_path);
    for (std::size_t slash = 1; slash != std::string::npos;) {
        slash = folder.find('/', slash + 1);
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), kNewFolderMode) != 0 && errno != EEXIST) return false;
    }
    struct stat status {};
    return stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::optional<SettingsFile::Contents> SettingsFile::Load() const {
    if (!MakeFolder()) return std::nullopt;
    // Not blocking: a FIFO in the file's place must not hang the program.
    const int fd = open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT) return Contents{};
        return std::nullopt;
    }
    Contents contents{true, {}};
    struct stat status {};
    bool readable = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    char buffer[65536];
    while (readable) {
        const ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) readable = false;
        if (got <= 0) break;
        contents.bytes.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    if (!readable) return std::nullopt;
    return contents;
}

bool SettingsFile::Replace(std::string_view bytes) const {
    const std::string folder = FolderOf(m_path);
    std::string temporary = folder + "/." + m_path.substr(folder.size() + 1) + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return false;
    // The replacement keeps the permissions that the user gave the file.
    struct stat status {};
    const mode_t mode = stat(m_path.c_str(), &status) == 0 ? status.st_mode & 07777 : kNewFileMode;
    const bool written = fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    if (!written || !closed || rename(temporary.c_str(), m_path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself lives in the folder: flush it too, or a crash could undo it.
    if (const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        folderFd >= 0) {
        fsync(folderFd);
        close(folderFd);
    }
    return true;
}

}  // namespace linuxsvc
