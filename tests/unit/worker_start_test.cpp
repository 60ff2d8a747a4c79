// The worker's start: the echo library, the echo handle and its own socket start-up, with the
// messages, their order and the exit codes of the paths that end the program.
#include "case_names.h"
#include "monitor_fixture.h"

using fake::Addr;
using fake::Kind;
using fake::Reply;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

struct FatalCase {
    const char* name;
    std::function<void(fake::Platform&)> script;
    std::vector<std::string> ending;  // from the worker's start on
    win::UINT exitCode;
};

class FatalStartTest : public MonitorTest, public ::testing::WithParamInterface<FatalCase> {};

TEST_P(FatalStartTest, ShowsItsMessageReleasesTheSocketsAndEndsTheProcess) {
    GetParam().script(*fk);
    RunWorker(3);

    ASSERT_EQ(exitCode, GetParam().exitCode);
    EXPECT_THAT(LogAfter("CreateThread", {Kind::MessageBox, Kind::WSACleanup, Kind::ExitProcess}),
                ElementsAreArray(GetParam().ending));
    const auto boxes = fk->Calls<fake::BoxCall>();
    const fake::BoxCall& fatal = boxes.back().call;
    EXPECT_EQ(fatal.type, win::MB_ICONHAND);
    EXPECT_TRUE(fatal.appBox);
    EXPECT_EQ(fatal.caption, "Tessaly");
    // Ending at once skips the destroy step: nothing is saved, nothing probed.
    EXPECT_THAT(fk->Log({Kind::StoreWrite, Kind::IcmpSendEcho}), IsEmpty());
    EXPECT_EQ(dlg->m_nSent, 0u);
}

const std::vector<std::string> kInternalError = {"MessageBox Internal Error - Restart Program",
                                                 "WSACleanup", "ExitProcess 4"};
const std::vector<std::string> kBadVersion = {
    "WSACleanup", "MessageBox Improper Socket Version- Unable to Run", "ExitProcess 0"};

INSTANTIATE_TEST_SUITE_P(
    Paths, FatalStartTest,
    ::testing::Values(
        FatalCase{"LibraryMissing",
                  [](fake::Platform& p) { p.SetEchoLibrary(fake::EchoLibrary::Missing); },
                  kInternalError, 4},
        FatalCase{"NoCreateFile", [](fake::Platform& p) { p.RemoveEntryPoint("IcmpCreateFile"); },
                  kInternalError, 4},
        FatalCase{"NoCloseHandle", [](fake::Platform& p) { p.RemoveEntryPoint("IcmpCloseHandle"); },
                  kInternalError, 4},
        FatalCase{"NoSendEcho", [](fake::Platform& p) { p.RemoveEntryPoint("IcmpSendEcho"); },
                  kInternalError, 4},
        // The worker's start-up is the only one here: the fixture starts no application.
        FatalCase{"InvalidArgument", [](fake::Platform& p) { p.ScriptWsaStartup({10022}); },
                  kBadVersion, 0},
        FatalCase{"VersionNotSupported", [](fake::Platform& p) { p.ScriptWsaStartup({10092}); },
                  kBadVersion, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MonitorTest, AMissingLibraryIsReportedTwiceBeforeTheEnd) {
    fk->SetEchoLibrary(fake::EchoLibrary::Missing);
    RunWorker(1);
    EXPECT_THAT(fk->Log({Kind::MessageBox, Kind::CreateThread, Kind::ExitProcess}),
                ElementsAre("MessageBox Load Library Failed - Aborting ", "CreateThread",
                            "MessageBox Internal Error - Restart Program", "ExitProcess 4"));
    // The entry points are looked up in order until one is known to be missing; a missing library
    // needs no lookup at all.
    EXPECT_THAT(fk->Log({Kind::GetProcAddress}), IsEmpty());
}

TEST_F(MonitorTest, LooksUpTheThreeEntryPointsInOrderThenMakesTheHandleThenStartsSockets) {
    RunWorker(0);
    EXPECT_THAT(
        LogAfter("CreateThread", {Kind::GetProcAddress, Kind::IcmpCreateFile, Kind::WSAStartup}),
        ElementsAre("GetProcAddress IcmpCreateFile", "GetProcAddress IcmpCloseHandle",
                    "GetProcAddress IcmpSendEcho", "IcmpCreateFile", "WSAStartup 0x0101 -> 0"));
}

TEST_F(MonitorTest, AFailedEchoHandleEndsOnlyTheWorker) {
    fk->FailIcmpCreateFile();
    fk->QueueEchoes({Reply(Addr("127.0.0.1"))});
    RunWorker(3);

    EXPECT_FALSE(exitCode.has_value());
    EXPECT_EQ(workerResult, 0u);
    const auto boxes = fk->Calls<fake::BoxCall>();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].call.text, "Invalid handle value");
    EXPECT_EQ(boxes[0].call.type, win::MB_OK);
    EXPECT_EQ(boxes[0].call.shownType, win::MB_ICONEXCLAMATION);
    EXPECT_TRUE(boxes[0].call.appBox);
    EXPECT_EQ(dlg->m_nSent, 0u);
    EXPECT_EQ(dlg->m_nReceived, 0u);
    EXPECT_THAT(fk->Captions(), IsEmpty());
    EXPECT_THAT(fk->Log({Kind::Tray, Kind::WSAStartup, Kind::IcmpSendEcho}),
                ElementsAre("Shell_NotifyIcon NIM_ADD Tessaly - Net Down",
                            "Shell_NotifyIcon NIM_DELETE Tessaly - Net Down"));
}

struct SocketStartCase {
    int result;
    std::vector<std::string> firstCaptions;
};

class SocketStartTest : public MonitorTest,
                        public ::testing::WithParamInterface<SocketStartCase> {};

TEST_P(SocketStartTest, OtherResultsGoOnProbing) {
    fk->ScriptWsaStartup({GetParam().result});
    fk->SetReverseName(Addr("127.0.0.1"), "localhost");
    fk->QueueEchoes({Reply(Addr("127.0.0.1"))});
    RunWorker(1);

    EXPECT_FALSE(exitCode.has_value());
    EXPECT_EQ(dlg->m_nReceived, 1u);
    std::vector<std::string> captions;
    for (const auto& caption : fk->Captions()) captions.push_back(caption.call);
    EXPECT_THAT(captions, ElementsAreArray(GetParam().firstCaptions));
    // The worker keeps its own start-up: the one release is the destroy step's.
    EXPECT_THAT(LogAfter("CreateThread", {Kind::WSACleanup, Kind::StopRequest}),
                ElementsAre("stop at the scripted wait", "AfxRequestStop", "WSACleanup"));
}

INSTANTIATE_TEST_SUITE_P(Results, SocketStartTest,
                         ::testing::Values(SocketStartCase{10091,
                                                           {"DovRel's Tessaly:Network Not Ready",
                                                            "DovRel Tessaly -127.0.0.1"}},
                                           SocketStartCase{0, {"DovRel Tessaly -127.0.0.1"}},
                                           SocketStartCase{10093, {"DovRel Tessaly -127.0.0.1"}},
                                           SocketStartCase{-1, {"DovRel Tessaly -127.0.0.1"}}),
                         case_names::ByField<&SocketStartCase::result>{"Result"});

}  // namespace
