// Resolving the target and the captions that report it.
#include "../../monitor/target_resolver.h"

#include "../../monitor/tray_status.h"
#include "case_names.h"
#include "monitor_fixture.h"

using fake::Addr;
using fake::Kind;
using fake::NoReply;
using fake::Reply;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

constexpr const char* kResolving = "DovRel Tessaly - Trying to Resolve Addr";
constexpr const char* kBad = "DovRel Tessaly - Bad IP/Host";

class ResolveTest : public MonitorTest {
  protected:
    void SetUp() override {
        MonitorTest::SetUp();
        fk->SetReverseName(Addr("127.0.0.1"), "localhost");
        fk->SetReverseName(Addr("10.200.0.5"), "printer.test");
    }
    void RunWith(const std::string& target, int passes) {
        fk->Store().PutText(kSectionPath, "IPAddress", target);
        RunWorker(passes);
    }
    std::vector<std::string> CaptionTexts() const {
        std::vector<std::string> texts;
        for (const auto& caption : fk->Captions()) texts.push_back(caption.call);
        return texts;
    }
};

TEST_F(ResolveTest, AnAddressIsShownAsTypedAndProbedWithoutALookup) {
    fk->QueueEchoes({Reply(Addr("127.0.0.1"))});
    RunWith("127.0.0.1", 2);
    EXPECT_THAT(CaptionTexts(), ElementsAre("DovRel Tessaly -127.0.0.1"));
    EXPECT_EQ(fk->Captions()[0].time, 100u);
    EXPECT_THAT(fk->Log({Kind::HostByName}), IsEmpty());
    EXPECT_THAT(fk->Log({Kind::IcmpSendEcho}),
                ElementsAre("IcmpSendEcho 127.0.0.1", "IcmpSendEcho 127.0.0.1"));
}

TEST_F(ResolveTest, ANameThatResolvesShowsTheLookupAndItsAddress) {
    fk->SetHost("printer", {Addr("10.200.0.5"), Addr("10.200.0.6")}, 20);
    fk->QueueEchoes({Reply(Addr("10.200.0.5"), 1)});
    RunWith("printer", 1);
    EXPECT_THAT(fk->Captions(),
                ElementsAre(::testing::FieldsAre(100, "DovRel Tessaly -printer"),
                            ::testing::FieldsAre(100, kResolving),
                            ::testing::FieldsAre(120, "DovRel's Tessaly : 10.200.0.5")));
    EXPECT_THAT(fk->Log({Kind::InetAddr, Kind::HostByName, Kind::InetNtoa, Kind::IcmpSendEcho}),
                ElementsAre("inet_addr printer", "gethostbyname printer", "inet_ntoa 10.200.0.5",
                            "IcmpSendEcho 10.200.0.5"));
    EXPECT_EQ(dlg->m_nReceived, 1u);
}

TEST_F(ResolveTest, ANameThatFailsIsRetriedEveryPassWithoutProbing) {
    fk->FailHost("nowhere", 30);
    RunWith("nowhere", 3);
    std::vector<std::string> cycle = {"DovRel Tessaly -nowhere", kResolving, kBad};
    std::vector<std::string> expected;
    for (int pass = 0; pass < 3; ++pass)
        expected.insert(expected.end(), cycle.begin(), cycle.end());
    EXPECT_THAT(CaptionTexts(), ElementsAreArray(expected));
    // 50 ms after each failed lookup, which takes its own time.
    EXPECT_THAT(fk->TimesOf(Kind::HostByName), ElementsAre(100, 180, 260));
    EXPECT_EQ(dlg->m_nSent, 3u);
    EXPECT_THAT(fk->Log({Kind::IcmpSendEcho}), IsEmpty());
    EXPECT_EQ(dlg->m_bResolve, 1);
}

TEST_F(ResolveTest, AnAddressThatCannotBePrintedCountsAsABadName) {
    fk->SetHost("odd", {Addr("10.200.0.7")});
    fk->FailInetNtoa(Addr("10.200.0.7"));
    RunWith("odd", 2);
    EXPECT_THAT(CaptionTexts(), ElementsAre("DovRel Tessaly -odd", kResolving, kBad,
                                            "DovRel Tessaly -odd", kResolving, kBad));
    EXPECT_THAT(fk->Log({Kind::IcmpSendEcho}), IsEmpty());
}

TEST_F(ResolveTest, ANameWithoutAddressesCountsAsABadName) {
    fk->SetHost("empty", {});
    RunWith("empty", 1);
    EXPECT_THAT(CaptionTexts(), ElementsAre("DovRel Tessaly -empty", kResolving, kBad));
}

TEST_F(ResolveTest, TheBroadcastAddressIsLookedUpAsAName) {
    fk->Store().PutInt(kSectionPath, "Packets", 3);
    fk->QueueEchoes({Reply(Addr("127.0.0.1"))});
    AtPauseBefore(2, [this] { session->Type(IDC_ADDRESS, "255.255.255.255"); });
    RunWith("127.0.0.1", 2);
    EXPECT_THAT(CaptionTexts(), ElementsAre("DovRel Tessaly -127.0.0.1",
                                            "DovRel Tessaly -255.255.255.255", kResolving, kBad));
    EXPECT_THAT(fk->Log({Kind::HostByName}), ElementsAre("gethostbyname 255.255.255.255"));
    EXPECT_THAT(TrayChanges(),
                ElementsAre("pass 1: Tessaly - Net Up", "pass 2: Tessaly - Net Down"));
}

TEST_F(ResolveTest, AnEditDuringAPauseIsTakenByTheNextPass) {
    fk->QueueEchoes({Reply(Addr("127.0.0.1")), Reply(Addr("10.200.0.5"))});
    AtPauseBefore(2, [this] { session->Type(IDC_ADDRESS, "10.200.0.5"); });
    RunWith("127.0.0.1", 3);
    EXPECT_THAT(fk->Log({Kind::IcmpSendEcho}),
                ElementsAre("IcmpSendEcho 127.0.0.1", "IcmpSendEcho 10.200.0.5",
                            "IcmpSendEcho 10.200.0.5"));
    EXPECT_THAT(PassesOf(Kind::SetWindowText),
                ElementsAre(0, 1, 2));  // the fill, then one a resolve
}

TEST_F(ResolveTest, AnEditDuringAnEchoIsTakenAfterItAndThePause) {
    fk->QueueEchoes(
        {Reply(Addr("127.0.0.1"), 5), Reply(Addr("127.0.0.1")), Reply(Addr("10.200.0.5"))});
    bool edited = false;
    fk->OnEvent([&](const fake::Event& event) {
        if (event.kind == Kind::IcmpSendEcho && !edited) {
            edited = true;
            session->Type(IDC_ADDRESS, "10.200.0.5");
        }
    });
    RunWith("127.0.0.1", 3);
    EXPECT_THAT(fk->Log({Kind::IcmpSendEcho}),
                ElementsAre("IcmpSendEcho 127.0.0.1", "IcmpSendEcho 10.200.0.5",
                            "IcmpSendEcho 10.200.0.5"));
}

struct TextCase {
    const char* name;
    std::string text;
    bool isAddress;
};

class TypedTextTest : public ResolveTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(TypedTextTest, GoesToTheParseAndTheLookupExactlyAsTyped) {
    const std::string& text = GetParam().text;
    fk->QueueEchoes({Reply(Addr("127.0.0.1"))});
    AtPauseBefore(1, [this, &text] { session->Type(IDC_ADDRESS, text); });
    RunWith("127.0.0.1", 2);

    std::vector<std::string> parsed;
    std::vector<std::string> looked;
    for (const fake::Event& event : fk->Events()) {
        if (const auto* call = std::get_if<fake::LookupCall>(&event.payload)) {
            if (event.kind == Kind::InetAddr) parsed.push_back(call->name);
            if (event.kind == Kind::HostByName) looked.push_back(call->name);
        }
    }
    EXPECT_EQ(CaptionTexts().front(), "DovRel Tessaly -" + text);
    if (GetParam().isAddress) {
        EXPECT_THAT(parsed, ElementsAre(text));
        EXPECT_THAT(looked, IsEmpty());
    } else {
        // Not a name that resolves: tried again in the next pass, as typed again.
        EXPECT_THAT(parsed, ElementsAre(text, text));
        EXPECT_THAT(looked, ElementsAre(text, text));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TypedTextTest,
    ::testing::Values(TextCase{"Plain", "127.0.0.1", true},
                      TextCase{"LeadingBlank", " 127.0.0.1", false},
                      TextCase{"InnerBlank", "print er", false}, TextCase{"Empty", "", false},
                      TextCase{"ControlCharacters", "\x01\t\x7f\x1b[2J", false},
                      TextCase{"HighBytes", "\xff\xfe\x80name", false},
                      TextCase{"HundredKilobytes", std::string(100 * 1024, 'a'), false},
                      TextCase{"PercentSigns", "%s%n%d", false}),
    [](const auto& info) { return std::string(info.param.name); });

// The step on its own, for what only it can show: the failure count a failed lookup leaves.
class ResolveStepTest : public MonitorTest, public ::testing::WithParamInterface<int> {};

TEST_P(ResolveStepTest, AFailedLookupSetsTheFailuresToFourWhateverTheyWere) {
    CMonitorDlg& window = MakeWindow();
    window.m_strAddress = CString("nowhere");
    window.m_hIconDown = win::LoadIconA(nullptr, IDI_NET_DOWN);
    window.m_hIconUp = win::LoadIconA(nullptr, IDI_NET_UP);
    window.m_nid.hIcon = window.m_hIconDown;
    CTrayStatus tray;
    tray.TakeCopy(window);
    win::IPAddr address = Addr("10.200.0.5");
    int failures = GetParam();

    EXPECT_FALSE(CTargetResolver::Resolve(tray, address, failures));
    EXPECT_EQ(failures, 4);
    EXPECT_EQ(address, 0u);
    EXPECT_EQ(window.m_bResolve, 1);
}

INSTANTIATE_TEST_SUITE_P(Before, ResolveStepTest, ::testing::Values(0, 3, 9, -2),
                         case_names::ByNumber{});

}  // namespace
