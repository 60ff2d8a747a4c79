// The echo module: one ICMP echo request at a time over a Linux ICMP socket.

// The Windows-shaped names first: the system headers below define some of them as macros.
#include "afxwin.h"
#include "echo_module.h"
#include "echo_reply_match.h"
#include "net_raw_capability.h"
#include "stop_state.h"

#include <arpa/inet.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace linuxsvc {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kIcmpEchoRequest = 8;
constexpr std::size_t kIcmpHeader = 8;
constexpr std::size_t kLargestPacket = 65536;
// Without a wake descriptor a wait looks at the stop flag this often.
constexpr std::chrono::nanoseconds kStopCheckInterval = std::chrono::milliseconds(50);

// What the socket was last told, so that a request with the same options costs no system call.
struct AppliedOptions {
    int ttl = -1;  // the route's default
    int tos = 0;
};

struct EchoSocket {
    int fd = -1;
    EchoSocketKind kind = EchoSocketKind::kNone;
    std::uint16_t identifier = 0;
    std::uint16_t lastSequence = 0;
    std::mutex sending;  // one request per handle at a time, or two would take each other's replies
    // Guarded by `sending`: the options the socket carries, and the room of requests and of
    // replies, made once rather than allocated and zero-filled anew for each request.
    AppliedOptions applied;
    std::vector<std::uint8_t> request;
    // Left unfilled: only the pages that replies reach are ever touched.
    std::unique_ptr<std::uint8_t[]> received =
        std::make_unique_for_overwrite<std::uint8_t[]>(kLargestPacket);
};

std::uint16_t NextRawIdentifier() {
    // Raw sockets see every program's replies: tell ours apart from other handles and processes.
    static std::atomic<std::uint16_t> counter{0};
    return static_cast<std::uint16_t>(getpid() * 31 + counter.fetch_add(1) * 0x9E37);
}

EchoSocket* OpenDatagramSocket() {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) return nullptr;
    // The kernel puts the socket's port into the identifier field; bind to learn it now.
    sockaddr_in local{};
    local.sin_family = AF_INET;
    socklen_t length = sizeof(local);
    const int on = 1;
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
        setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof(on)) != 0) {
        close(fd);
        return nullptr;
    }
    auto* echo = new EchoSocket;
    echo->fd = fd;
    echo->kind = EchoSocketKind::kDatagram;
    echo->identifier = ntohs(local.sin_port);
    return echo;
}

EchoSocket* OpenRawSocket() {
    const int fd = socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) return nullptr;
    if (HoldsNetRawAsNonRoot()) DropNetRawFromProcess();
    // Let the kernel pass on only echo replies; everything else would be looked at and dropped.
    icmp_filter filter{};
    filter.data = ~(1u << ICMP_ECHOREPLY);
    setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof(filter));
    auto* echo = new EchoSocket;
    echo->fd = fd;
    echo->kind = EchoSocketKind::kRaw;
    echo->identifier = NextRawIdentifier();
    return echo;
}

EchoSocket* EchoSocketOf(win::HANDLE handle) {
    if (handle == nullptr || handle == win::INVALID_HANDLE_VALUE) return nullptr;
    return static_cast<EchoSocket*>(handle);
}

void ApplyRequestOptions(EchoSocket& echo, const win::IP_OPTION_INFORMATION* options) {
    // -1 restores the route's default, which is what a request without options gets.
    const int ttl = options != nullptr && options->Ttl != 0 ? options->Ttl : -1;
    if (ttl != echo.applied.ttl &&
        setsockopt(echo.fd, IPPROTO_IP, IP_TTL, &ttl, sizeof(ttl)) == 0) {
        echo.applied.ttl = ttl;
    }
    const int tos = options != nullptr ? options->Tos : 0;
    if (tos != echo.applied.tos &&
        setsockopt(echo.fd, IPPROTO_IP, IP_TOS, &tos, sizeof(tos)) == 0) {
        echo.applied.tos = tos;
    }
}

bool SendRequest(EchoSocket& echo, win::IPAddr destination, const void* data, std::size_t size) {
    std::vector<std::uint8_t>& packet = echo.request;
    packet.assign(kIcmpHeader + size, 0);
    packet[0] = kIcmpEchoRequest;
    packet[4] = static_cast<std::uint8_t>(echo.identifier >> 8);
    packet[5] = static_cast<std::uint8_t>(echo.identifier);
    packet[6] = static_cast<std::uint8_t>(echo.lastSequence >> 8);
    packet[7] = static_cast<std::uint8_t>(echo.lastSequence);
    if (size > 0) std::memcpy(packet.data() + kIcmpHeader, data, size);
    const std::uint16_t checksum = InternetChecksum(packet);
    packet[2] = static_cast<std::uint8_t>(checksum >> 8);
    packet[3] = static_cast<std::uint8_t>(checksum);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = destination;
    const ssize_t sent = sendto(echo.fd, packet.data(), packet.size(), 0,
                                reinterpret_cast<sockaddr*>(&to), sizeof(to));
    return sent == static_cast<ssize_t>(packet.size());
}

struct ReceivedReply {
    win::IPAddr from = 0;
    std::span<const std::uint8_t> packet;
    EchoReplyView view{};
};

std::optional<std::uint8_t> TtlFromControl(msghdr& message) {
    for (cmsghdr* control = CMSG_FIRSTHDR(&message); control != nullptr;
         control = CMSG_NXTHDR(&message, control)) {
        if (control->cmsg_level == IPPROTO_IP && control->cmsg_type == IP_TTL) {
            int ttl = 0;
            std::memcpy(&ttl, CMSG_DATA(control), sizeof(ttl));
            return static_cast<std::uint8_t>(ttl);
        }
    }
    return std::nullopt;
}

// Reads what is waiting on the socket; the reply when one of the packets is ours.
std::optional<ReceivedReply> ReceiveOurs(EchoSocket& echo, bool& failed) {
    const PacketForm form =
        echo.kind == EchoSocketKind::kRaw ? PacketForm::kWithIpHeader : PacketForm::kIcmpOnly;
    const EchoIdentity ours{echo.identifier, echo.lastSequence};
    ReceivedReply reply;
    for (;;) {
        sockaddr_in from{};
        iovec buffer{echo.received.get(), kLargestPacket};
        alignas(cmsghdr) std::array<char, 64> control{};
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof(from);
        message.msg_iov = &buffer;
        message.msg_iovlen = 1;
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        const ssize_t received = recvmsg(echo.fd, &message, 0);
        if (received < 0) {
            failed = errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
            return std::nullopt;
        }
        const std::span<const std::uint8_t> packet(echo.received.get(),
                                                   static_cast<std::size_t>(received));
        if (auto view = MatchEchoReply(packet, form, ours)) {
            reply.packet = packet;
            reply.from = from.sin_addr.s_addr;
            reply.view = *view;
            if (!reply.view.ttl) reply.view.ttl = TtlFromControl(message);
            return reply;
        }
    }
}

// How long a poll may sleep so that it wakes by `left` at the latest. The kernel lets a poll
// of t oversleep by t/1000 (5 ms on a 5 s wait), so a long wait ends a little early and the
// loop polls the rest, whose own slack is then a few microseconds.
timespec PollSlice(Clock::duration left, bool wakeable) {
    auto slice = std::chrono::duration_cast<std::chrono::nanoseconds>(left);
    slice -= slice / 1000;
    if (!wakeable) slice = std::min<std::chrono::nanoseconds>(slice, kStopCheckInterval);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(slice);
    return {static_cast<time_t>(seconds.count()), static_cast<long>((slice - seconds).count())};
}

// Waits until the socket has something to read; false on timeout, stop or error.
bool WaitReadable(int fd, Clock::time_point deadline) {
    const int wakeFd = StopBell::Instance().WakeDescriptor();
    for (;;) {
        if (AfxStopRequested()) return false;
        const Clock::duration left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) return false;
        const timespec slice = PollSlice(left, wakeFd >= 0);
        pollfd watched[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = ppoll(watched, wakeFd >= 0 ? 2 : 1, &slice, nullptr);
        if (ready < 0 && errno != EINTR) return false;
        if (ready > 0 && watched[0].revents != 0) return true;
    }
}

void FillReplyRecord(const ReceivedReply& reply, Clock::duration roundTrip, void* buffer,
                     std::size_t bufferSize) {
    auto* record = static_cast<win::ICMP_ECHO_REPLY*>(buffer);
    std::memset(record, 0, sizeof(*record));
    record->Address = reply.from;
    record->Status = 0;
    record->RoundTripTime = static_cast<win::ULONG>(
        std::chrono::duration_cast<std::chrono::milliseconds>(roundTrip).count());
    // The payload follows the record where the buffer has room for it, as in ICMP.DLL.
    const std::size_t room = bufferSize - sizeof(*record);
    const std::size_t copied = std::min({reply.view.dataSize, room, std::size_t{0xFFFF}});
    auto* data = static_cast<std::uint8_t*>(buffer) + sizeof(*record);
    if (copied > 0) std::memcpy(data, reply.packet.data() + reply.view.dataOffset, copied);
    record->DataSize = static_cast<win::WORD>(copied);
    record->Data = copied > 0 ? data : nullptr;
    record->Options.Ttl = reply.view.ttl.value_or(0);
}

}  // namespace

win::HANDLE TSY_WINAPI IcmpCreateFile() {
    // A ping socket needs no privilege where ping_group_range lets our group in; else raw.
    EchoSocket* echo = OpenDatagramSocket();
    if (echo == nullptr) echo = OpenRawSocket();
    return echo != nullptr ? static_cast<win::HANDLE>(echo) : win::INVALID_HANDLE_VALUE;
}

win::BOOL TSY_WINAPI IcmpCloseHandle(win::HANDLE handle) {
    EchoSocket* echo = EchoSocketOf(handle);
    if (echo == nullptr) return win::FALSE;
    close(echo->fd);
    delete echo;
    return win::TRUE;
}

win::DWORD TSY_WINAPI IcmpSendEcho(win::HANDLE handle, win::IPAddr destination,
                                   win::LPVOID requestData, win::WORD requestSize,
                                   win::IP_OPTION_INFORMATION* options, win::LPVOID replyBuffer,
                                   win::DWORD replySize, win::DWORD timeout) {
    EchoSocket* echo = EchoSocketOf(handle);
    if (echo == nullptr || replyBuffer == nullptr || replySize < sizeof(win::ICMP_ECHO_REPLY)) {
        return 0;
    }
    if (requestSize > 0 && requestData == nullptr) return 0;
    // Linux would take 0.0.0.0 for this host and answer; it names no node to probe.
    if (destination == 0) return 0;
    if (AfxStopRequested()) return 0;

    std::lock_guard lock(echo->sending);
    ++echo->lastSequence;
    ApplyRequestOptions(*echo, options);
    const Clock::time_point sentAt = Clock::now();
    if (!SendRequest(*echo, destination, requestData, requestSize)) return 0;
    const Clock::time_point deadline = sentAt + std::chrono::milliseconds(timeout);
    while (WaitReadable(echo->fd, deadline)) {
        bool failed = false;
        if (auto reply = ReceiveOurs(*echo, failed)) {
            FillReplyRecord(*reply, Clock::now() - sentAt, replyBuffer, replySize);
            return 1;
        }
        if (failed) return 0;
    }
    return 0;
}

EchoSocketKind EchoSocketKindOf(win::HANDLE handle) {
    const EchoSocket* echo = EchoSocketOf(handle);
    return echo != nullptr ? echo->kind : EchoSocketKind::kNone;
}

}  // namespace linuxsvc
