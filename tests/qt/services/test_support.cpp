#include "test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace servicetest {

int ThreadsOfThisProcess() {
    int threads = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        static_cast<void>(entry);
        ++threads;
    }
    return threads;
}

// A thread of an earlier test may still be running, perhaps holding a lock that the child would
// inherit locked, and the thread sanitizer refuses threads in the child of a multi-threaded
// fork; fork once this thread is alone again. Idle lookup helpers end after 20 s.
void WaitUntilSingleThreaded() {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (ThreadsOfThisProcess() > 1 && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::string RunInChild(const std::function<std::string()>& body, int limitSeconds) {
    WaitUntilSingleThreaded();
    return RunInChildBesideThreads(body, limitSeconds);
}

std::string RunInChildBesideThreads(const std::function<std::string()>& body, int limitSeconds) {
    int report[2];
    if (pipe(report) != 0) return "no pipe for the child's report";
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) return "fork failed";
    if (child == 0) {
        close(report[0]);
        std::string failures;
        try {
            failures = body();
        } catch (const std::exception& error) {
            failures = std::string("exception: ") + error.what();
        }
        if (write(report[1], failures.data(), failures.size()) < 0) _exit(3);
        _exit(failures.empty() ? 0 : 1);
    }
    close(report[1]);
    std::string failures;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    char buffer[4096];
    bool hung = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            giveUp - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            hung = true;
            break;
        }
        pollfd watched{report[0], POLLIN, 0};
        if (poll(&watched, 1, static_cast<int>(left.count())) <= 0) continue;
        const ssize_t got = read(report[0], buffer, sizeof(buffer));
        if (got <= 0) break;
        failures.append(buffer, static_cast<std::size_t>(got));
    }
    close(report[0]);
    if (hung) kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    if (hung) return failures + "child hung and was killed";
    if (WIFSIGNALED(status))
        return failures + "child died of signal " + std::to_string(WTERMSIG(status));
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0 && failures.empty()) {
        return "child exited with " + std::to_string(WEXITSTATUS(status));
    }
    return failures;
}

std::string EnterPrivateNetworkWithSilentHost() {
    if (unshare(CLONE_NEWNET) != 0) return "unshare(CLONE_NEWNET) failed";
    // The far end of the pair has no address: whatever is sent to 10.200.9.2 goes unanswered.
    const int result = std::system(
        "ip link set lo up && ip link add tsy0 type veth peer name tsy1 && "
        "ip addr add 10.200.9.1/24 dev tsy0 && ip link set tsy0 up && ip link set tsy1 up");
    return result == 0 ? "" : "could not set up the private network";
}

TempFolder::TempFolder() {
    char pattern[] = "/tmp/tessaly-services-XXXXXX";
    const char* made = mkdtemp(pattern);
    m_path = made != nullptr ? made : "";
}

TempFolder::~TempFolder() {
    if (m_path.empty()) return;
    std::error_code ignored;
    // A test may have left a folder without permissions behind.
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(m_path, ignored);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string CapturedStderr(const std::function<void()>& action) {
    TempFolder folder;
    const std::string path = folder.Path() + "/stderr";
    std::fflush(stderr);
    const int saved = dup(2);
    const int capture = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(capture, 2);
    close(capture);
    action();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    return ReadFile(path);
}

long long MillisecondsTaken(const std::function<void()>& action) {
    const auto start = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

}  // namespace servicetest

// The framework's message box belongs to the window layer; the services must never need one.
#include <gtest/gtest.h>

#include "afxwin.h"

int AfxMessageBox(const char* text, win::UINT, win::UINT) {
    ADD_FAILURE() << "the services showed a message box: " << (text ? text : "");
    return win::IDOK;
}
