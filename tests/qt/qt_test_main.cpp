// The Qt tests' entry: one QApplication on the offscreen platform, and one process per test.
//
// A program run ends with a stop request, and the stop request is for the whole life of a
// process; so when several tests are selected, each runs in a child process of its own, as
// ctest runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr const char* kChildMarker = "TESSALY_QT_TEST_CHILD";

std::vector<std::string> SelectedTests(const char* program) {
    const std::string command = std::string("'") + program +
                                "' --gtest_list_tests --gtest_filter='" + GTEST_FLAG_GET(filter) +
                                "'";
    std::vector<std::string> tests;
    FILE* listing = popen(command.c_str(), "r");
    if (listing == nullptr) return tests;
    std::array<char, 512> line{};
    std::string suite;
    while (std::fgets(line.data(), line.size(), listing) != nullptr) {
        std::string text(line.data());
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        const std::size_t comment = text.find("  #");
        if (comment != std::string::npos) text.erase(comment);
        if (text.empty()) continue;
        if (text[0] != ' ') {
            suite = text;
        } else {
            tests.push_back(suite + text.substr(text.find_first_not_of(' ')));
        }
    }
    pclose(listing);
    return tests;
}

bool RunInChild(const char* program, const std::string& test) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        setenv(kChildMarker, "1", 1);
        const std::string filter = "--gtest_filter=" + test;
        execl(program, program, filter.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int RunEachTestInItsOwnProcess(const char* program, const std::vector<std::string>& tests) {
    int passed = 0;
    std::vector<std::string> failures;
    for (const std::string& test : tests) {
        if (RunInChild(program, test)) {
            ++passed;
        } else {
            failures.push_back(test);
        }
    }
    for (const std::string& test : failures) std::printf("FAILED: %s\n", test.c_str());
    std::printf("%d passed, %zu failed\n", passed, failures.size());
    return failures.empty() ? 0 : 1;
}

}  // namespace

// Sanitizer builds: Qt is not built with ThreadSanitizer, so the locks inside it that order its
// event posting are invisible, and what they order looks like races. And the worker's echo
// handle is never released, by design, so its memory is still held when the process ends.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n"
           "race:libQt6Core.so.6\n"
           "race:libQt6Gui.so.6\n"
           "race:libQt6Widgets.so.6\n";
}

extern "C" const char* __lsan_default_suppressions() {
    return "leak:linuxsvc::IcmpCreateFile\n";
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    if (!GTEST_FLAG_GET(list_tests) && std::getenv(kChildMarker) == nullptr) {
        const std::vector<std::string> tests = SelectedTests(argv[0]);
        if (tests.size() > 1) return RunEachTestInItsOwnProcess(argv[0], tests);
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
