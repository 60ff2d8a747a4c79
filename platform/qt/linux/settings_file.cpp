#include "settings_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace linuxsvc {
namespace {

constexpr mode_t kNewFolderMode = 0700;  // as the XDG base directories ask for
constexpr mode_t kNewFileMode = 0600;
// mkostemp's six letters and digits after the prefix.
constexpr std::size_t kTemporarySuffixLength = 6;
// A writer whose temporary a cleaner took (in the instant before the writer locked it) starts
// again with a new one; a few rounds are more than two instances can ever need.
constexpr int kReplaceAttempts = 4;
// Another instance holds a lock for the few milliseconds of one read and replace. One that was
// stopped in between (a debugger, Ctrl+Z) must not hang this one: after a while it goes on
// without the lock, as a single instance would.
constexpr int kLockTries = 200;
constexpr useconds_t kLockRetryMicroseconds = 10'000;

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

bool LockSoon(int fd) {
    for (int attempt = 0; attempt < kLockTries; ++attempt) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        usleep(kLockRetryMicroseconds);
    }
    return false;
}

bool IsTemporarySuffix(std::string_view suffix) {
    if (suffix.size() != kTemporarySuffixLength) return false;
    for (const char letter : suffix) {
        if (std::isalnum(static_cast<unsigned char>(letter)) == 0) return false;
    }
    return true;
}

bool NameStillHolds(const std::string& path, int fd) {
    struct stat named {};
    struct stat opened {};
    return lstat(path.c_str(), &named) == 0 && fstat(fd, &opened) == 0 &&
           named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

// Removes `path` when it is our own regular file that no writer holds locked.
void RemoveWhenStale(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return;
    struct stat status {};
    const bool ours =
        fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == geteuid();
    // While we hold the lock its writer, if any, waits for it and then finds its name gone; and
    // the name must still be this file, not a newer temporary that took it meanwhile.
    if (ours && flock(fd, LOCK_EX | LOCK_NB) == 0 && NameStillHolds(path, fd)) {
        unlink(path.c_str());
    }
    close(fd);
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

std::string SettingsFile::Folder() const {
    return FolderOf(m_path);
}

std::string SettingsFile::TemporaryPrefix() const {
    return "." + m_path.substr(m_path.find_last_of('/') + 1) + ".";
}

SettingsFile::~SettingsFile() {
    if (m_folderLock >= 0) close(m_folderLock);
}

SettingsFile::SettingsFile(SettingsFile&& other) noexcept
    : m_path(std::move(other.m_path)), m_folderLock(other.m_folderLock) {
    other.m_folderLock = -1;
}

std::optional<SettingsFile::Contents> SettingsFile::Load() {
    if (!MakeFolder()) return std::nullopt;
    // Checked as the running user, not as the real one, since that is who writes.
    if (faccessat(AT_FDCWD, Folder().c_str(), W_OK | X_OK, AT_EACCESS) != 0) return std::nullopt;
    if (m_folderLock < 0) {
        m_folderLock = open(Folder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        // Without the lock (a file system that has none) the store still works, one instance
        // at a time.
        if (m_folderLock >= 0) LockSoon(m_folderLock);
    }
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
    const std::string folder = Folder();
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < kReplaceAttempts && fd < 0; ++attempt) {
        temporary = folder + "/" + TemporaryPrefix() + std::string(kTemporarySuffixLength, 'X');
        fd = mkostemp(temporary.data(), O_CLOEXEC);
        if (fd < 0) return false;
        // Held until the rename is done, so that no other instance takes this file for stale.
        if (LockSoon(fd) && NameStillHolds(temporary, fd)) break;
        if (NameStillHolds(temporary, fd)) unlink(temporary.c_str());
        close(fd);
        fd = -1;
    }
    if (fd < 0) return false;
    // The replacement keeps the permissions that the user gave the file.
    struct stat status {};
    const mode_t mode = stat(m_path.c_str(), &status) == 0 ? status.st_mode & 07777 : kNewFileMode;
    const bool written = fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
    if (!written || rename(temporary.c_str(), m_path.c_str()) != 0) {
        unlink(temporary.c_str());
        close(fd);
        return false;
    }
    close(fd);
    // The rename itself lives in the folder: flush it too, or a crash could undo it.
    if (const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        folderFd >= 0) {
        fsync(folderFd);
        close(folderFd);
    }
    return true;
}

void SettingsFile::RemoveStaleTemporaries() const {
    const std::string folder = Folder();
    const std::string prefix = TemporaryPrefix();
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) return;
    std::vector<std::string> candidates;
    while (const dirent* entry = readdir(listing)) {
        const std::string_view name(entry->d_name);
        if (name.starts_with(prefix) && IsTemporarySuffix(name.substr(prefix.size()))) {
            candidates.emplace_back(name);
        }
    }
    closedir(listing);
    for (const std::string& name : candidates) RemoveWhenStale(folder + "/" + name);
}

}  // namespace linuxsvc
