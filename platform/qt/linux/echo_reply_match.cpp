#include "echo_reply_match.h"

namespace linuxsvc {
namespace {

constexpr std::uint8_t kIcmpEchoReply = 0;
constexpr std::uint8_t kIpProtocolIcmp = 1;
constexpr std::size_t kIpMinHeader = 20;
constexpr std::size_t kIcmpHeader = 8;

std::uint16_t ReadBigEndian16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

// The ICMP message inside a raw packet, or an empty span when the IPv4 header does not hold up.
std::span<const std::uint8_t> IcmpOfIpPacket(std::span<const std::uint8_t> packet) {
    if (packet.size() < kIpMinHeader) return {};
    if ((packet[0] >> 4) != 4) return {};
    const std::size_t headerLength = static_cast<std::size_t>(packet[0] & 0x0F) * 4;
    const std::size_t totalLength = ReadBigEndian16(packet, 2);
    if (headerLength < kIpMinHeader || totalLength < headerLength) return {};
    // A packet shorter than its header says was cut short on the way to us.
    if (totalLength > packet.size()) return {};
    if (packet[9] != kIpProtocolIcmp) return {};
    return packet.subspan(headerLength, totalLength - headerLength);
}

}  // namespace

std::uint16_t InternetChecksum(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    std::size_t at = 0;
    for (; at + 1 < bytes.size(); at += 2) sum += ReadBigEndian16(bytes, at);
    if (at < bytes.size()) sum += static_cast<std::uint32_t>(bytes[at]) << 8;
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::optional<EchoReplyView> MatchEchoReply(std::span<const std::uint8_t> packet, PacketForm form,
                                            EchoIdentity ours) {
    std::span<const std::uint8_t> icmp = packet;
    std::optional<std::uint8_t> ttl;
    if (form == PacketForm::kWithIpHeader) {
        icmp = IcmpOfIpPacket(packet);
        if (icmp.empty()) return std::nullopt;
        ttl = packet[8];
    }
    if (icmp.size() < kIcmpHeader) return std::nullopt;
    if (icmp[0] != kIcmpEchoReply || icmp[1] != 0) return std::nullopt;
    if (ReadBigEndian16(icmp, 4) != ours.identifier) return std::nullopt;
    if (ReadBigEndian16(icmp, 6) != ours.sequence) return std::nullopt;
    // A raw socket sees packets before the kernel has checked them.
    if (InternetChecksum(icmp) != 0) return std::nullopt;
    const std::size_t icmpOffset = static_cast<std::size_t>(icmp.data() - packet.data());
    return EchoReplyView{icmpOffset + kIcmpHeader, icmp.size() - kIcmpHeader, ttl};
}

}  // namespace linuxsvc
