// What the services tests share: a child process for anything that requests a stop or changes
// the network namespace, a private folder, and a look at what went to stderr.
#pragma once

#include <functional>
#include <string>

#include <unistd.h>

// Private network namespaces, other users and raw sockets need root, as CI runs the tests.
#define SKIP_UNLESS_ROOT()                                                                \
    do {                                                                                  \
        if (geteuid() != 0) GTEST_SKIP() << "needs root: namespaces, users, raw sockets"; \
    } while (false)

namespace servicetest {

// Runs `body` in a forked child and returns what it reported: empty when all went well, else
// the failures it described. A child that crashes or hangs past `limitSeconds` reports that.
// The stop request is once per process, so every test that makes one runs in a child.
std::string RunInChild(const std::function<std::string()>& body, int limitSeconds = 60);
// The same without first waiting for this process's other threads to end: for a test of what a
// child forked beside running threads finds.
std::string RunInChildBesideThreads(const std::function<std::string()>& body,
                                    int limitSeconds = 60);

// In a child only: a network namespace of its own with loopback up and the link
// 10.200.9.1/24 up, whose far end answers nothing. Empty on success, else what failed.
std::string EnterPrivateNetworkWithSilentHost();

// A fresh folder under /tmp, removed with everything in it when the object goes.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// Runs `action` and returns everything it wrote to stderr (file descriptor 2).
std::string CapturedStderr(const std::function<void()>& action);

// Milliseconds that `action` took.
long long MillisecondsTaken(const std::function<void()>& action);

}  // namespace servicetest
