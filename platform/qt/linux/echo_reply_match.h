// Recognising the answer to one echo request among everything an ICMP socket receives.
//
// A raw socket hands over every ICMP packet that reaches the host, IPv4 header included: replies
// to other programs, errors about our own requests, even our own outgoing request on loopback.
// A datagram ("ping") socket hands over only the ICMP message, already filtered by the kernel.
// Only an echo reply with our identifier and sequence number is ours.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace linuxsvc {

enum class PacketForm {
    kWithIpHeader,  // raw socket
    kIcmpOnly,      // datagram socket
};

struct EchoIdentity {
    std::uint16_t identifier;  // host byte order
    std::uint16_t sequence;    // host byte order
};

struct EchoReplyView {
    std::size_t dataOffset;  // the reply's payload within the packet
    std::size_t dataSize;
    std::optional<std::uint8_t> ttl;  // known only when the IPv4 header came along
};

// The reply, when `packet` is the echo reply to the request `ours`; nothing otherwise.
std::optional<EchoReplyView> MatchEchoReply(std::span<const std::uint8_t> packet, PacketForm form,
                                            EchoIdentity ours);

// The Internet checksum (one's complement of the one's-complement sum) of `bytes`.
std::uint16_t InternetChecksum(std::span<const std::uint8_t> bytes);

}  // namespace linuxsvc
