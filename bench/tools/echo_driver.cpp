// echo-driver: sends COUNT echo requests through the echo module, one every PERIOD_MS, the way the
// probe worker calls it (loaded as "ICMP.DLL", no payload, time-to-live 6, one reply record, a
// 5000 ms wait), so that its cost can be set beside another pinger's doing the same echoes.
//
//   echo-driver COUNT PERIOD_MS ADDRESS [--lookup]
//
// --lookup also resolves each reply's source back to a name, as every probe pass does.
// Prints "sent=N received=N" and exits 0 when every echo was answered.
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "winapi.h"

using namespace win;

namespace {

struct EchoEntryPoints {
    PFN_IcmpCreateFile create = nullptr;
    PFN_IcmpSendEcho send = nullptr;
};

bool LoadEchoModule(EchoEntryPoints& entry) {
    const HMODULE module = LoadLibraryA("ICMP.DLL");
    if (module == nullptr) return false;
    entry.create = reinterpret_cast<PFN_IcmpCreateFile>(GetProcAddress(module, "IcmpCreateFile"));
    entry.send = reinterpret_cast<PFN_IcmpSendEcho>(GetProcAddress(module, "IcmpSendEcho"));
    return entry.create != nullptr && entry.send != nullptr;
}

void AdvanceBy(timespec& time, long milliseconds) {
    time.tv_nsec += milliseconds * 1000000L;
    time.tv_sec += time.tv_nsec / 1000000000L;
    time.tv_nsec %= 1000000000L;
}

bool SendOne(const EchoEntryPoints& entry, HANDLE echo, IPAddr destination, bool lookup) {
    IP_OPTION_INFORMATION options{};
    options.Ttl = 6;
    ICMP_ECHO_REPLY reply{};
    if (entry.send(echo, destination, nullptr, 0, &options, &reply, sizeof(reply), 5000) == 0) {
        return false;
    }
    if (!lookup) return true;
    return gethostbyaddr(reinterpret_cast<const char*>(&reply.Address), sizeof(reply.Address),
                         AF_INET) != nullptr;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: echo-driver COUNT PERIOD_MS ADDRESS [--lookup]\n");
        return 2;
    }
    const long count = std::atol(argv[1]);
    const long period = std::atol(argv[2]);
    const IPAddr destination = inet_addr(argv[3]);
    const bool lookup = argc > 4 && std::strcmp(argv[4], "--lookup") == 0;

    EchoEntryPoints entry;
    if (!LoadEchoModule(entry)) {
        std::fprintf(stderr, "echo-driver: the echo module is missing\n");
        return 1;
    }
    const HANDLE echo = entry.create();
    if (echo == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "echo-driver: no echo handle (no ping or raw socket allowed)\n");
        return 1;
    }

    long received = 0;
    timespec due{};
    clock_gettime(CLOCK_MONOTONIC, &due);
    for (long sent = 0; sent < count; ++sent) {
        if (SendOne(entry, echo, destination, lookup)) ++received;
        // Fixed send times, as a pinger with a period keeps them, whatever each echo took.
        AdvanceBy(due, period);
        if (sent + 1 < count) clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr);
    }
    std::printf("sent=%ld received=%ld\n", count, received);
    return received == count ? 0 : 1;
}
