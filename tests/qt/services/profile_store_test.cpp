// The settings store over its INI file, driven through the application object's profile calls.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <variant>
#include <vector>

#include "afxwin.h"
#include "test_support.h"

namespace {

using servicetest::ReadFile;
using servicetest::TempFolder;
using servicetest::WriteFile;

class TestApp : public CWinApp {
  public:
    TestApp() : CWinApp("tessaly-test") { SetRegistryKey("Dovrel"); }
};

struct ReadInt {
    const char* section;
    const char* entry;
    int defaultValue;
    int expected;
};
struct ReadText {
    const char* section;
    const char* entry;
    const char* defaultValue;
    std::string expected;
};
struct WriteInt {
    const char* section;
    const char* entry;
    int value;
};
struct WriteText {
    const char* section;
    const char* entry;
    std::string value;
};
using Step = std::variant<ReadInt, ReadText, WriteInt, WriteText>;

struct StoreCase {
    const char* name;
    std::optional<std::string> fileBefore;  // nothing: no file, no folder
    std::vector<Step> steps;
    std::string fileAfter;
};

class ProfileStore : public ::testing::Test {
  protected:
    void SetUp() override { setenv("XDG_CONFIG_HOME", ConfigHome().c_str(), 1); }
    void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }

    std::string ConfigHome() const { return m_folder.Path() + "/config"; }
    std::string StoreFolder() const { return ConfigHome() + "/Dovrel"; }
    std::string StoreFile() const { return StoreFolder() + "/tessaly-test.conf"; }

    void PlaceFile(const std::string& bytes) {
        std::filesystem::create_directories(StoreFolder());
        WriteFile(StoreFile(), bytes);
    }

    void Run(TestApp& app, const Step& step) {
        if (const auto* read = std::get_if<ReadInt>(&step)) {
            EXPECT_EQ(app.GetProfileInt(read->section, read->entry, read->defaultValue),
                      read->expected)
                << read->section << "/" << read->entry;
        } else if (const auto* text = std::get_if<ReadText>(&step)) {
            const CString got =
                app.GetProfileString(text->section, text->entry, text->defaultValue);
            EXPECT_EQ(std::string(got.View()), text->expected)
                << text->section << "/" << text->entry;
        } else if (const auto* write = std::get_if<WriteInt>(&step)) {
            EXPECT_TRUE(app.WriteProfileInt(write->section, write->entry, write->value));
        } else if (const auto* writeText = std::get_if<WriteText>(&step)) {
            EXPECT_TRUE(app.WriteProfileString(writeText->section, writeText->entry,
                                               writeText->value.c_str()));
        }
    }

    TempFolder m_folder;
};

const StoreCase kStoreCases[] = {
    {"fresh store: the first read makes folder, file and an empty group, never a value",
     std::nullopt,
     {ReadInt{"dovrel", "alert", 1011, 1011},
      ReadText{"dovrel", "IPAddress", "127.0.0.1", "127.0.0.1"},
      ReadInt{"dovrel", "StartTray", 0, 0}},
     "[dovrel]\n"},
    {"fresh store: the group keeps the case of the read that made it, values that of their write",
     std::nullopt,
     {ReadInt{"dovrel", "alert", 1011, 1011}, WriteText{"dovrel", "IPAddress", "10.200.0.1"},
      WriteInt{"Dovrel", "Alert", 1008}, WriteInt{"Dovrel", "StartTray", 0},
      WriteInt{"Dovrel", "Packets", 3}, ReadInt{"dovrel", "alert", 1011, 1008},
      ReadText{"DOVREL", "ipaddress", "x", "10.200.0.1"}},
     "[dovrel]\nIPAddress=\"10.200.0.1\"\nAlert=1008\nStartTray=0\nPackets=3\n"},
    {"names differing in case reach the same group and value, and keep their first spelling",
     "[DOVREL]\nALERT=1009\nipaddress=\"host.test\"\n",
     {ReadInt{"dovrel", "alert", 1011, 1009}, ReadText{"Dovrel", "IPAddress", "x", "host.test"},
      WriteInt{"Dovrel", "Alert", 1008}, WriteText{"dovrel", "IPAddress", "other.test"}},
     "[DOVREL]\nALERT=1008\nipaddress=\"other.test\"\n"},
    {"a stored empty text is empty; a missing one gives the default",
     "[dovrel]\nIPAddress=\"\"\n",
     {ReadText{"dovrel", "IPAddress", "127.0.0.1", ""},
      ReadText{"dovrel", "Absent", "127.0.0.1", "127.0.0.1"}},
     "[dovrel]\nIPAddress=\"\"\n"},
    {"integers outside the program's ranges are kept as stored",
     "[dovrel]\n",
     {WriteInt{"Dovrel", "Packets", -5}, ReadInt{"dovrel", "Packets", 3, -5},
      WriteInt{"Dovrel", "StartTray", 2}, ReadInt{"dovrel", "StartTray", 0, 2},
      WriteInt{"Dovrel", "Alert", -2147483647 - 1},
      ReadInt{"dovrel", "alert", 1011, -2147483647 - 1}, WriteInt{"Dovrel", "Big", 2147483647},
      ReadInt{"dovrel", "Big", 0, 2147483647}},
     "[dovrel]\nPackets=-5\nStartTray=2\nAlert=-2147483648\nBig=2147483647\n"},
    {"a value of the wrong type, or not well formed, reads as missing",
     "[dovrel]\nPackets=\"7\"\nIPAddress=12\nAlert=99999999999\nStartTray=1x\nA=\nB=\"open\nC="
     "\"bad\\q\"\n"
     "D=\"in\"side\"\nE=0x10\n",
     {ReadInt{"dovrel", "Packets", 3, 3}, ReadText{"dovrel", "IPAddress", "127.0.0.1", "127.0.0.1"},
      ReadInt{"dovrel", "alert", 1011, 1011}, ReadInt{"dovrel", "StartTray", 0, 0},
      ReadInt{"dovrel", "A", 4, 4}, ReadText{"dovrel", "A", "d", "d"},
      ReadText{"dovrel", "B", "d", "d"}, ReadText{"dovrel", "C", "d", "d"},
      ReadText{"dovrel", "D", "d", "d"}, ReadInt{"dovrel", "E", 4, 4}},
     "[dovrel]\nPackets=\"7\"\nIPAddress=12\nAlert=99999999999\nStartTray=1x\nA=\nB=\"open\nC="
     "\"bad\\q\"\n"
     "D=\"in\"side\"\nE=0x10\n"},
    {"a value of the wrong type is replaced by a write of the right one",
     "[dovrel]\nPackets=\"7\"\n",
     {WriteInt{"Dovrel", "Packets", 9}, ReadInt{"dovrel", "Packets", 3, 9}},
     "[dovrel]\nPackets=9\n"},
    {"a hand-edited file: comments, other groups, blanks around '=', CRLF lines and garbage "
     "survive",
     "; written by hand\n"
     "junk before any group\n"
     "[other]\nAlert=1\nIPAddress=\"not ours\"\n\n"
     "# the monitor's own\n"
     "[ dovrel ]\r\n"
     "  Alert = 1008  \r\n"
     "this line is no INI = at all? it is a key, but not ours\n"
     "[[broken\n"
     "=no name\n"
     "\n"
     "; the next group's comment\n"
     "[later]\nkey=\"v\"",
     {ReadInt{"dovrel", "alert", 1011, 1008},
      ReadText{"dovrel", "IPAddress", "127.0.0.1", "127.0.0.1"}, WriteInt{"Dovrel", "Alert", 1009},
      WriteText{"dovrel", "IPAddress", "10.200.0.7"},
      ReadText{"other", "IPAddress", "", "not ours"}, ReadText{"later", "key", "", "v"}},
     "; written by hand\n"
     "junk before any group\n"
     "[other]\nAlert=1\nIPAddress=\"not ours\"\n\n"
     "# the monitor's own\n"
     "[ dovrel ]\r\n"
     "Alert=1009\r\n"
     "this line is no INI = at all? it is a key, but not ours\n"
     "IPAddress=\"10.200.0.7\"\n"
     "[[broken\n"
     "=no name\n"
     "\n"
     "; the next group's comment\n"
     "[later]\nkey=\"v\""},
    {"a file without our group gets it appended, nothing else changes",
     "[other]\nx=1",
     {ReadInt{"dovrel", "alert", 1011, 1011}, WriteInt{"Dovrel", "Alert", 1008}},
     "[other]\nx=1\n\n[dovrel]\nAlert=1008\n"},
    {"a stored text ends at its first zero byte",
     std::string("[dovrel]\nIPAddress=\"ab\\x00cd\"\nRaw=\"ef") + std::string(1, '\0') + "gh\"\n",
     {ReadText{"dovrel", "IPAddress", "", "ab"}, ReadText{"dovrel", "Raw", "", "ef"}},
     std::string("[dovrel]\nIPAddress=\"ab\\x00cd\"\nRaw=\"ef") + std::string(1, '\0') + "gh\"\n"},
    {"the first of two groups or keys of one name wins, for reads and writes alike",
     "[dovrel]\nAlert=1\nAlert=2\n[Dovrel]\nAlert=3\nPackets=5\n",
     {ReadInt{"dovrel", "alert", 0, 1}, ReadInt{"dovrel", "Packets", 0, 5},
      WriteInt{"Dovrel", "Alert", 7}, WriteInt{"Dovrel", "Packets", 6}},
     "[dovrel]\nAlert=7\nAlert=2\n[Dovrel]\nAlert=3\nPackets=6\n"},
};

TEST_F(ProfileStore, Table) {
    for (const StoreCase& storeCase : kStoreCases) {
        SCOPED_TRACE(storeCase.name);
        std::filesystem::remove_all(ConfigHome());
        if (storeCase.fileBefore) PlaceFile(*storeCase.fileBefore);
        TestApp app;
        for (const Step& step : storeCase.steps) Run(app, step);
        EXPECT_EQ(ReadFile(StoreFile()), storeCase.fileAfter);
    }
}

TEST_F(ProfileStore, EveryCallReadsTheFileAfresh) {
    TestApp app;
    EXPECT_TRUE(app.WriteProfileInt("Dovrel", "Alert", 1008));
    PlaceFile("[dovrel]\nAlert=1009\n");
    EXPECT_EQ(app.GetProfileInt("dovrel", "alert", 1011), 1009);
    // Another instance that closed in between leaves its value; ours replaces only our own.
    PlaceFile("[dovrel]\nAlert=1009\nPackets=12\n");
    EXPECT_TRUE(app.WriteProfileInt("Dovrel", "Alert", 1011));
    EXPECT_EQ(ReadFile(StoreFile()), "[dovrel]\nAlert=1011\nPackets=12\n");
}

TEST_F(ProfileStore, AWriteReplacesTheFileWholeAndKeepsItsPermissions) {
    PlaceFile("[dovrel]\nAlert=1008\n");
    chmod(StoreFile().c_str(), 0640);
    struct stat before {};
    ASSERT_EQ(stat(StoreFile().c_str(), &before), 0);
    TestApp app;
    EXPECT_TRUE(app.WriteProfileInt("Dovrel", "Alert", 1009));
    struct stat after {};
    ASSERT_EQ(stat(StoreFile().c_str(), &after), 0);
    // A new file renamed into place, never the old one rewritten where a crash could tear it.
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(StoreFolder())) {
        left.push_back(entry.path().filename());
    }
    EXPECT_EQ(left, std::vector<std::string>{"tessaly-test.conf"});
}

TEST_F(ProfileStore, AwkwardTextsSurviveTheRoundTripOnOneLine) {
    std::string everyByte;
    for (int byte = 1; byte < 256; ++byte) everyByte += static_cast<char>(byte);
    const std::string texts[] = {"\"quoted\"",
                                 "back\\slash\\",
                                 "\\\"",
                                 "two\nlines\r\n",
                                 "\ttab and \x01\x1f\x7f",
                                 "  blanks at both ends  ",
                                 "; not a comment",
                                 "[not a group]",
                                 "key=value",
                                 "\xc3\xa9t\xc3\xa9",
                                 everyByte,
                                 std::string(100 * 1024, 'x') + "\"\\\n"};
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.substr(0, 40));
        std::filesystem::remove_all(ConfigHome());
        TestApp app;
        ASSERT_TRUE(app.WriteProfileString("dovrel", "IPAddress", text.c_str()));
        EXPECT_EQ(std::string(app.GetProfileString("dovrel", "IPAddress", "").View()), text);
        const std::string file = ReadFile(StoreFile());
        EXPECT_EQ(file.find('\n'), file.find("]\n") + 1);
        EXPECT_EQ(file.find('\n', file.find('\n') + 1), file.size() - 1);
    }
}

TEST_F(ProfileStore, AFileOfRandomBytesReadsAsDefaultsAndKeepsItsBytes) {
    std::mt19937 random(20240611);
    std::string bytes(8192, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    PlaceFile(bytes);
    TestApp app;
    EXPECT_EQ(app.GetProfileInt("dovrel", "alert", 1011), 1011);
    EXPECT_EQ(std::string(app.GetProfileString("dovrel", "IPAddress", "127.0.0.1").View()),
              "127.0.0.1");
    EXPECT_TRUE(app.WriteProfileString("dovrel", "IPAddress", "10.200.0.3"));
    EXPECT_EQ(std::string(app.GetProfileString("dovrel", "IPAddress", "").View()), "10.200.0.3");
    const std::string after = ReadFile(StoreFile());
    EXPECT_EQ(after.substr(0, bytes.size()), bytes);
}

TEST_F(ProfileStore, NamesThatCannotStandInTheFileAreRefused) {
    PlaceFile("[dovrel]\nAlert=1008\n");
    TestApp app;
    const char* entries[] = {"a=b", "", "new\nline", "[x]", "; comment", " padded"};
    for (const char* entry : entries) {
        SCOPED_TRACE(entry);
        EXPECT_FALSE(app.WriteProfileInt("dovrel", entry, 5));
        EXPECT_EQ(app.GetProfileInt("dovrel", entry, 4), 4);
    }
    EXPECT_FALSE(app.WriteProfileInt("dov]rel", "Alert", 5));
    EXPECT_FALSE(app.WriteProfileString("dovrel", "Alert", nullptr));
    EXPECT_EQ(ReadFile(StoreFile()), "[dovrel]\nAlert=1008\n");
}

TEST_F(ProfileStore, WithoutACompanyTheFileSitsInTheConfigurationFolder) {
    TestApp app;
    app.m_strRegistryKey = "";
    EXPECT_TRUE(app.WriteProfileInt("Dovrel", "Alert", 1009));
    EXPECT_EQ(ReadFile(ConfigHome() + "/tessaly-test.conf"), "[Dovrel]\nAlert=1009\n");
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct stat StatusOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
    return status;
}

TEST_F(ProfileStore, AWriteRemovesOnlyTheTemporariesThatAKilledWriterLeft) {
    PlaceFile("[dovrel]\nAlert=1008\n");
    const std::string folder = StoreFolder();
    const char* stale[] = {".tessaly-test.conf.AbC123", ".tessaly-test.conf.zzzzzz"};
    for (const char* name : stale) WriteFile(folder + "/" + name, "[dovrel]\nAlert=10");
    // Near misses of the pattern, another program's temporary, a folder and a link of our
    // pattern, and the temporary of a writer still at work: all stay.
    const char* kept[] = {".tessaly-test.conf.AbC12",  ".tessaly-test.conf.AbC1234",
                          "tessaly-test.conf.AbC123",  ".tessaly-test.conf.Ab-123",
                          ".tessaly-test.conf.XXXXX.", ".other.conf.AbC123",
                          ".tessaly-test.conf",        "notes.txt"};
    for (const char* name : kept) WriteFile(folder + "/" + name, "not ours to remove");
    std::filesystem::create_directory(folder + "/.tessaly-test.conf.Dir123");
    const std::string outside = m_folder.Path() + "/outside";
    WriteFile(outside, "the target of a link");
    std::filesystem::create_symlink(outside, folder + "/.tessaly-test.conf.Lnk123");
    const std::string busy = folder + "/.tessaly-test.conf.Busy12";
    WriteFile(busy, "half written");
    const int busyFd = open(busy.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(busyFd, 0);
    ASSERT_EQ(flock(busyFd, LOCK_EX), 0);

    TestApp app;
    EXPECT_EQ(app.GetProfileInt("dovrel", "alert", 1011), 1008);
    EXPECT_TRUE(app.WriteProfileInt("Dovrel", "Alert", 1009));
    close(busyFd);

    std::vector<std::string> expected(std::begin(kept), std::end(kept));
    expected.insert(expected.end(), {".tessaly-test.conf.Busy12", ".tessaly-test.conf.Dir123",
                                     ".tessaly-test.conf.Lnk123", "tessaly-test.conf"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(NamesIn(folder), expected);
    EXPECT_EQ(ReadFile(StoreFile()), "[dovrel]\nAlert=1009\n");
    EXPECT_EQ(ReadFile(outside), "the target of a link");
    for (const char* name : kept) EXPECT_EQ(ReadFile(folder + "/" + name), "not ours to remove");
}

TEST_F(ProfileStore, AnUnchangedValueLeavesTheFileAloneAndAChangedOneLandsWhole) {
    const std::string closed =
        "[dovrel]\nIPAddress=\"10.200.0.1\"\nAlert=1008\nStartTray=0\nPackets=3\n";
    PlaceFile(closed);
    const struct stat before = StatusOf(StoreFile());
    TestApp app;
    // The four writes of a close that changed nothing.
    EXPECT_TRUE(app.WriteProfileString("dovrel", "IPAddress", "10.200.0.1"));
    EXPECT_TRUE(app.WriteProfileInt("Dovrel", "Alert", 1008));
    EXPECT_TRUE(app.WriteProfileInt("Dovrel", "StartTray", 0));
    EXPECT_TRUE(app.WriteProfileInt("Dovrel", "Packets", 3));
    const struct stat unchanged = StatusOf(StoreFile());
    EXPECT_EQ(unchanged.st_ino, before.st_ino);
    EXPECT_EQ(unchanged.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(unchanged.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(ReadFile(StoreFile()), closed);

    EXPECT_TRUE(app.WriteProfileInt("Dovrel", "Packets", 12));
    EXPECT_NE(StatusOf(StoreFile()).st_ino, before.st_ino);
    EXPECT_EQ(ReadFile(StoreFile()),
              "[dovrel]\nIPAddress=\"10.200.0.1\"\nAlert=1008\nStartTray=0\nPackets=12\n");
    // The same text in another spelling of the same value is a change of the file.
    EXPECT_TRUE(app.WriteProfileInt("Dovrel", "packets", 12));
    EXPECT_EQ(ReadFile(StoreFile()),
              "[dovrel]\nIPAddress=\"10.200.0.1\"\nAlert=1008\nStartTray=0\nPackets=12\n");
}

// Two instances closing at once: each cleans up before it writes, and neither may take the
// other's temporary for one that a killed writer left.
TEST_F(ProfileStore, TwoWritersAtOnceLoseNoWriteAndLeaveNoTemporary) {
    PlaceFile("[dovrel]\n");
    constexpr int kRounds = 400;
    const auto writer = [](const char* entry) {
        TestApp app;
        int refused = 0;
        for (int round = 0; round < kRounds; ++round) {
            if (!app.WriteProfileInt("Dovrel", entry, round + 1)) ++refused;
        }
        _exit(refused == 0 ? 0 : 1);
    };
    std::fflush(nullptr);
    const pid_t first = fork();
    if (first == 0) writer("Alert");
    const pid_t second = fork();
    if (second == 0) writer("Packets");
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    for (const pid_t child : {first, second}) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "a writer had a write refused, or died";
    }
    TestApp app;
    EXPECT_EQ(app.GetProfileInt("dovrel", "Alert", 0), kRounds);
    EXPECT_EQ(app.GetProfileInt("dovrel", "Packets", 0), kRounds);
    EXPECT_EQ(NamesIn(StoreFolder()), std::vector<std::string>{"tessaly-test.conf"});
}

// An instance stopped in the middle of its writes (a debugger, Ctrl+Z) holds the folder: the
// others still read and write, after a short wait, instead of hanging.
TEST_F(ProfileStore, AFolderHeldByAStoppedInstanceDelaysButNeverHangsTheOthers) {
    PlaceFile("[dovrel]\nAlert=1008\n");
    const int held = open(StoreFolder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    // A second open of the folder is another lock holder, even in this process.
    const std::string failures = servicetest::RunInChild(
        [] {
            TestApp app;
            std::string found;
            if (app.GetProfileInt("dovrel", "alert", 1011) != 1008) found += "read failed; ";
            if (!app.WriteProfileInt("Dovrel", "Alert", 1009)) found += "write refused; ";
            return found;
        },
        60);
    close(held);
    EXPECT_EQ(failures, "");
    EXPECT_EQ(ReadFile(StoreFile()), "[dovrel]\nAlert=1009\n");
}

// What an unreachable store must do: defaults for reads, writes lost, no message, and whatever
// stands in the file's place left exactly as it was.
struct UnreachableCase {
    const char* name;
    std::function<void(const std::string& configHome)> prepare;
    bool asUnprivilegedUser;
};

std::string ExerciseUnreachableStore() {
    std::string failures;
    TestApp app;
    if (app.GetProfileInt("dovrel", "alert", 1011) != 1011) failures += "int read not default; ";
    if (!(app.GetProfileString("dovrel", "IPAddress", "127.0.0.1") == "127.0.0.1")) {
        failures += "text read not default; ";
    }
    if (app.WriteProfileInt("Dovrel", "Alert", 1008)) failures += "int write reported success; ";
    if (app.WriteProfileString("dovrel", "IPAddress", "x"))
        failures += "text write reported success; ";
    if (app.GetProfileInt("dovrel", "alert", 1011) != 1011) failures += "write was not lost; ";
    return failures;
}

std::string Snapshot(const std::string& root) {
    std::string listing;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(
             root, std::filesystem::directory_options::skip_permission_denied, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        listing += it->path().string() + "\n";
        if (it->is_regular_file(error)) listing += ReadFile(it->path()) + "\n";
    }
    return listing;
}

TEST_F(ProfileStore, AnUnreachableStoreGivesDefaultsLosesWritesAndSaysNothing) {
    const std::string kept = "[dovrel]\nAlert=1009\n";
    const UnreachableCase cases[] = {
        {"the configuration folder is a file",
         [](const std::string& home) { WriteFile(home, "a file, not a folder"); }, false},
        {"the company folder is a file",
         [](const std::string& home) {
             std::filesystem::create_directories(home);
             WriteFile(home + "/Dovrel", "a file, not a folder");
         },
         false},
        {"the settings file is a folder",
         [](const std::string& home) {
             std::filesystem::create_directories(home + "/Dovrel/tessaly-test.conf");
         },
         false},
        {"the settings file is a FIFO, which must not hang the program",
         [](const std::string& home) {
             std::filesystem::create_directories(home + "/Dovrel");
             mkfifo((home + "/Dovrel/tessaly-test.conf").c_str(), 0600);
         },
         false},
        {"the folder is not writable",
         [](const std::string& home) {
             std::filesystem::create_directories(home);
             chmod(home.c_str(), 0555);
         },
         true},
        {"the folder is not writable but holds a settings file",
         [&kept](const std::string& home) {
             std::filesystem::create_directories(home + "/Dovrel");
             chmod(home.c_str(), 0777);
             WriteFile(home + "/Dovrel/tessaly-test.conf", kept);
             chmod((home + "/Dovrel/tessaly-test.conf").c_str(), 0666);
             chmod((home + "/Dovrel").c_str(), 0555);
         },
         true},
        {"the file is not readable",
         [&kept](const std::string& home) {
             std::filesystem::create_directories(home + "/Dovrel");
             chmod(home.c_str(), 0777);
             chmod((home + "/Dovrel").c_str(), 0777);
             WriteFile(home + "/Dovrel/tessaly-test.conf", kept);
             chmod((home + "/Dovrel/tessaly-test.conf").c_str(), 0);
         },
         true},
    };
    for (const UnreachableCase& unreachable : cases) {
        SCOPED_TRACE(unreachable.name);
        std::filesystem::remove_all(ConfigHome());
        unreachable.prepare(ConfigHome());
        chmod(m_folder.Path().c_str(), 0755);
        const std::string before = Snapshot(m_folder.Path());
        std::string failures;
        const std::string printed = servicetest::CapturedStderr([&] {
            if (!unreachable.asUnprivilegedUser || geteuid() != 0) {
                failures = ExerciseUnreachableStore();
                return;
            }
            // Root passes every permission check: see the store as an ordinary user would.
            failures = servicetest::RunInChild([] {
                if (setgid(65534) != 0 || setuid(65534) != 0)
                    return std::string("cannot drop root");
                return ExerciseUnreachableStore();
            });
        });
        EXPECT_EQ(failures, "");
        EXPECT_EQ(printed, "");
        EXPECT_EQ(Snapshot(m_folder.Path()), before);
    }
}

}  // namespace

namespace {

TEST(ProfileStoreLocation, WithoutAnAbsoluteXdgConfigHomeTheFileIsUnderHomeDotConfig) {
    const char* savedHome = std::getenv("HOME");
    const std::string home = savedHome != nullptr ? savedHome : "";
    const char* configHomes[] = {nullptr, "", "relative/config"};
    for (const char* configHome : configHomes) {
        SCOPED_TRACE(configHome != nullptr ? configHome : "(unset)");
        TempFolder folder;
        setenv("HOME", folder.Path().c_str(), 1);
        if (configHome != nullptr) {
            setenv("XDG_CONFIG_HOME", configHome, 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
        TestApp app;
        EXPECT_TRUE(app.WriteProfileInt("Dovrel", "Alert", 1009));
        EXPECT_EQ(ReadFile(folder.Path() + "/.config/Dovrel/tessaly-test.conf"),
                  "[Dovrel]\nAlert=1009\n");
    }
    unsetenv("XDG_CONFIG_HOME");
    if (savedHome != nullptr) setenv("HOME", home.c_str(), 1);
}

}  // namespace
