// The probe worker in virtual time: its rhythm, its counts, what it sends and when it hides.
#include "../../monitor/probe_worker.h"
#include "case_names.h"
#include "monitor_fixture.h"

using fake::Addr;
using fake::Kind;
using fake::NoReply;
using fake::Reply;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

class ProbeWorkerTest : public MonitorTest {
  protected:
    void SetUp() override {
        MonitorTest::SetUp();
        fk->SetReverseName(Addr("127.0.0.1"), "localhost");
    }
};

TEST_F(ProbeWorkerTest, PacesPassesByTheirOutcomeAndCountsEachPassAndSuccess) {
    // A success, a silent target, a reply from a node without a reverse name, a success.
    fk->QueueEchoes({Reply(Addr("127.0.0.1"), 2), NoReply(), Reply(Addr("10.200.0.9"), 4),
                     Reply(Addr("127.0.0.1"), 1)});
    std::vector<win::DWORD> sentAtEcho;
    std::vector<win::DWORD> receivedAtPause;
    fk->OnEvent([&](const fake::Event& event) {
        if (event.kind == Kind::IcmpSendEcho) sentAtEcho.push_back(dlg->m_nSent);
        if (event.kind == Kind::Sleep) receivedAtPause.push_back(dlg->m_nReceived);
    });
    RunWorker(4);

    // The first pass has no pause; 10 s follow a success, 50 ms the end of a failed wait.
    EXPECT_THAT(fk->TimesOf(Kind::IcmpSendEcho), ElementsAre(100, 10102, 15152, 15206));
    EXPECT_THAT(fk->Log({Kind::Sleep}), ElementsAre("Sleep 100", "Sleep 0", "Sleep 10000",
                                                    "Sleep 50", "Sleep 50", "Sleep 10000"));
    EXPECT_THAT(sentAtEcho, ElementsAre(1, 2, 3, 4));
    EXPECT_THAT(receivedAtPause, ElementsAre(0, 0, 1, 1, 1, 2));
    EXPECT_EQ(dlg->m_nSent, 4u);
    EXPECT_EQ(dlg->m_nReceived, 2u);
    // Only replies are looked up, each by its own source address.
    EXPECT_THAT(fk->Log({Kind::HostByAddr}),
                ElementsAre("gethostbyaddr 127.0.0.1", "gethostbyaddr 10.200.0.9",
                            "gethostbyaddr 127.0.0.1"));
    for (const auto& [time, lookup] : fk->Calls<fake::LookupCall>()) {
        if (lookup.length == 0) continue;  // the parse of the target
        EXPECT_EQ(lookup.length, 4);
        EXPECT_EQ(lookup.type, win::AF_INET);
    }
}

TEST_F(ProbeWorkerTest, ASlowReverseLookupDelaysTheNextPass) {
    fk->SetReverseName(Addr("127.0.0.1"), "localhost", 700);
    fk->QueueEchoes({Reply(Addr("127.0.0.1"), 3), Reply(Addr("127.0.0.1"), 3)});
    RunWorker(2);
    EXPECT_THAT(fk->TimesOf(Kind::IcmpSendEcho), ElementsAre(100, 100 + 3 + 700 + 10000));
}

TEST_F(ProbeWorkerTest, SendsAnEchoWithoutPayloadWithTimeToLiveSixForOneReply) {
    fk->QueueEchoes({Reply(Addr("127.0.0.1"), 1)});
    RunWorker(1);

    const auto echoes = fk->Calls<fake::EchoCall>();
    ASSERT_EQ(echoes.size(), 1u);
    const fake::EchoCall& echo = echoes[0].call;
    EXPECT_EQ(echo.handle, fk->echoHandle);
    EXPECT_EQ(echo.destination, Addr("127.0.0.1"));
    EXPECT_EQ(echo.requestData, nullptr);
    EXPECT_EQ(echo.requestSize, 0);
    ASSERT_TRUE(echo.hasOptions);
    EXPECT_EQ(echo.options.Ttl, 6);
    EXPECT_EQ(echo.options.Tos, 0);
    EXPECT_EQ(echo.options.Flags, 0);
    EXPECT_EQ(echo.options.OptionsSize, 0);
    EXPECT_EQ(echo.options.OptionsData, nullptr);
    EXPECT_NE(echo.replyBuffer, nullptr);
    EXPECT_EQ(echo.replySize, sizeof(win::ICMP_ECHO_REPLY));
    EXPECT_EQ(echo.timeout, 5000u);
}

TEST_F(ProbeWorkerTest, TheDownCheckComesAfterTheCountingAndBeforeTheResolve) {
    // Four failures over a threshold of 3, and a new address typed before pass 6: that pass
    // counts, turns the icon red, then resolves and probes.
    fk->QueueEchoes({Reply(Addr("127.0.0.1")), NoReply(), NoReply(), NoReply(), NoReply()});
    AtPauseBefore(6, [this] { session->Type(IDC_ADDRESS, "10.200.0.5"); });
    win::DWORD sentAtDown = 0;
    fk->OnEvent([&](const fake::Event& event) {
        if (event.what == "Shell_NotifyIcon NIM_MODIFY Tessaly - Net Down")
            sentAtDown = dlg->m_nSent;
    });
    RunWorker(6);

    EXPECT_EQ(sentAtDown, 6u);
    std::vector<std::string> lastPass;
    int pauses = 0;
    for (const fake::Event& event : fk->Events()) {
        const auto* sleep = std::get_if<fake::SleepCall>(&event.payload);
        if (sleep != nullptr && IsPassPause(sleep->milliseconds)) ++pauses;
        if (pauses == 6 && event.kind != Kind::Input) lastPass.push_back(event.what);
    }
    EXPECT_THAT(lastPass, ElementsAre("Sleep 50", "Shell_NotifyIcon NIM_MODIFY Tessaly - Net Down",
                                      "SetWindowText DovRel Tessaly -10.200.0.5",
                                      "inet_addr 10.200.0.5", "IcmpSendEcho 10.200.0.5"));
}

struct StartTrayCase {
    int startTray;
    std::vector<std::string> start;
};

class StartTrayTest : public ProbeWorkerTest,
                      public ::testing::WithParamInterface<StartTrayCase> {};

TEST_P(StartTrayTest, OnlyAFlagOfOneHidesTheWindowAfterTheStartPause) {
    fk->Store().PutInt(kSectionPath, "StartTray", GetParam().startTray);
    bool visibleAtStart = false;
    fk->OnEvent([&](const fake::Event& event) {
        if (event.what == "Sleep 100") visibleAtStart = dlg->IsWindowVisible();
    });
    RunWorker(0);
    EXPECT_TRUE(visibleAtStart);
    EXPECT_THAT(fk->Log({Kind::Sleep, Kind::ShowWindow}), ElementsAreArray(GetParam().start));
}

INSTANTIATE_TEST_SUITE_P(Flags, StartTrayTest,
                         ::testing::Values(StartTrayCase{1,
                                                         {"Sleep 100", "ShowWindow 0", "Sleep 0"}},
                                           StartTrayCase{2, {"Sleep 100", "Sleep 0"}},
                                           StartTrayCase{0, {"Sleep 100", "Sleep 0"}}),
                         case_names::ByField<&StartTrayCase::startTray>{"Flag"});

TEST_F(ProbeWorkerTest, TheThresholdIsReadAtEveryPass) {
    // Threshold 25 holds the icon green through five failures; lowered to 3 during the pause
    // before pass 7, it turns the icon red at the top of that pass.
    fk->Store().PutInt(kSectionPath, "Packets", 25);
    fk->QueueEchoes({Reply(Addr("127.0.0.1"))});
    AtPauseBefore(7, [&] { dlg->m_nRetries = 3; });
    RunWorker(7);
    EXPECT_THAT(TrayChanges(),
                ElementsAre("pass 1: Tessaly - Net Up", "pass 7: Tessaly - Net Down"));
}

}  // namespace

namespace {

struct StopCase {
    const char* name;
    fake::Millis stopAt;
    std::function<void(fake::Platform&)> script;
};

class StopTest : public ProbeWorkerTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopTest, EndsTheWaitAtOnceAndTouchesNothingAfterIt) {
    GetParam().script(*fk);
    fk->StopAtTime(GetParam().stopAt);
    fake::Millis returnedAt = 0;
    RunWindow([&](fake::ModalSession& s) {
        workerResult = fk->RunCreatedThread();
        returnedAt = fk->Now();
        s.PressEscape();
    });
    EXPECT_EQ(workerResult, 0u);
    EXPECT_EQ(returnedAt, GetParam().stopAt);
    std::vector<std::string> between;
    bool stopped = false;
    for (const fake::Event& event : fk->Events()) {
        if (event.what == "escape") break;
        if (stopped) between.push_back(event.what);
        stopped = stopped || event.what == "stop at the scripted time";
    }
    EXPECT_TRUE(stopped);
    EXPECT_THAT(between, ::testing::IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Waits, StopTest,
    ::testing::Values(StopCase{"StartPause", 40, [](fake::Platform&) {}},
                      StopCase{"EchoWait", 2000, [](fake::Platform& p) { p.QueueEcho(NoReply()); }},
                      StopCase{"ReverseLookup", 300,
                               [](fake::Platform& p) {
                                   p.SetReverseName(Addr("127.0.0.1"), "localhost", 5000);
                                   p.QueueEcho(Reply(Addr("127.0.0.1")));
                               }},
                      StopCase{"NameLookup", 150,
                               [](fake::Platform& p) {
                                   p.Store().PutText(kSectionPath, "IPAddress", "slow");
                                   p.FailHost("slow", 1000);
                               }},
                      StopCase{"BeepBurst", 250,
                               [](fake::Platform& p) {
                                   p.Store().PutInt(kSectionPath, "Alert", IDC_BEEP);
                                   p.QueueEcho(Reply(Addr("127.0.0.1")));
                               }},
                      StopCase{"RestoredBox", 3000,
                               [](fake::Platform& p) {
                                   p.Store().PutInt(kSectionPath, "Alert", IDC_MESSAGE);
                                   p.QueueEcho(Reply(Addr("127.0.0.1")));
                                   p.QueueBoxAnswer({win::IDOK, 60000, {}});
                               }},
                      StopCase{"PauseAfterSuccess", 7000,
                               [](fake::Platform& p) { p.QueueEcho(Reply(Addr("127.0.0.1"))); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
