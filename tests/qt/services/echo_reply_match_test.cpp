// Which received packets count as the answer to our echo request.
#include "echo_reply_match.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using linuxsvc::EchoIdentity;
using linuxsvc::EchoReplyView;
using linuxsvc::MatchEchoReply;
using linuxsvc::PacketForm;
using Bytes = std::vector<std::uint8_t>;

constexpr EchoIdentity kOurs{0x1234, 7};
const Bytes kPayload = {'p', 'i', 'n', 'g'};

void Put16(Bytes& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value >> 8);
    bytes[at + 1] = static_cast<std::uint8_t>(value);
}

Bytes Icmp(std::uint8_t type, std::uint8_t code, std::uint16_t identifier, std::uint16_t sequence,
           const Bytes& payload = kPayload) {
    Bytes message(8);
    message[0] = type;
    message[1] = code;
    Put16(message, 4, identifier);
    Put16(message, 6, sequence);
    message.insert(message.end(), payload.begin(), payload.end());
    Put16(message, 2, linuxsvc::InternetChecksum(message));
    return message;
}

Bytes Ip(const Bytes& payload, std::uint8_t ttl = 57, const Bytes& options = {},
         std::uint8_t protocol = 1) {
    Bytes packet(20 + options.size());
    packet[0] = static_cast<std::uint8_t>(0x40 | (packet.size() / 4));
    Put16(packet, 2, static_cast<std::uint16_t>(packet.size() + payload.size()));
    packet[8] = ttl;
    packet[9] = protocol;
    const std::uint8_t source[] = {10, 200, 9, 2};
    const std::uint8_t destination[] = {10, 200, 9, 1};
    std::copy(std::begin(source), std::end(source), packet.begin() + 12);
    std::copy(std::begin(destination), std::end(destination), packet.begin() + 16);
    std::copy(options.begin(), options.end(), packet.begin() + 20);
    packet.insert(packet.end(), payload.begin(), payload.end());
    return packet;
}

// An ICMP error quoting the IPv4 header and the first 8 bytes of our own echo request.
Bytes ErrorAboutOurRequest(std::uint8_t type, std::uint8_t code) {
    Bytes quoted = Ip(Icmp(8, 0, kOurs.identifier, kOurs.sequence, {}), 1);
    Bytes error(8);
    error[0] = type;
    error[1] = code;
    error.insert(error.end(), quoted.begin(), quoted.end());
    Put16(error, 2, linuxsvc::InternetChecksum(error));
    return error;
}

Bytes WithCorruptedChecksum(Bytes message) {
    message[2] ^= 0x5A;
    return message;
}

Bytes Truncated(Bytes packet, std::size_t length) {
    packet.resize(length);
    return packet;
}

Bytes WithByte(Bytes packet, std::size_t at, std::uint8_t value) {
    packet[at] = value;
    return packet;
}

struct MatchCase {
    const char* name;
    Bytes packet;
    PacketForm form;
    std::optional<EchoReplyView> expected;
};

const Bytes kOurReply = Icmp(0, 0, kOurs.identifier, kOurs.sequence);
const Bytes kIpOptions = {0x01, 0x01, 0x01, 0x00, 0x94, 0x04, 0x00, 0x00};  // NOPs, router alert

const MatchCase kCases[] = {
    {"our reply on a datagram socket", kOurReply, PacketForm::kIcmpOnly,
     EchoReplyView{8, 4, std::nullopt}},
    {"our reply on a datagram socket, no payload", Icmp(0, 0, kOurs.identifier, kOurs.sequence, {}),
     PacketForm::kIcmpOnly, EchoReplyView{8, 0, std::nullopt}},
    {"our reply on a raw socket", Ip(kOurReply, 57), PacketForm::kWithIpHeader,
     EchoReplyView{28, 4, 57}},
    {"our reply with IPv4 options", Ip(kOurReply, 64, kIpOptions), PacketForm::kWithIpHeader,
     EchoReplyView{36, 4, 64}},
    {"a reply with trailing bytes beyond the IPv4 total length",
     [] {
         Bytes packet = Ip(kOurReply, 57);
         packet.insert(packet.end(), {0, 0, 0, 0, 0, 0});
         return packet;
     }(),
     PacketForm::kWithIpHeader, EchoReplyView{28, 4, 57}},
    {"a foreign identifier", Icmp(0, 0, 0x4321, kOurs.sequence), PacketForm::kIcmpOnly,
     std::nullopt},
    {"a foreign identifier, raw", Ip(Icmp(0, 0, 0x1235, kOurs.sequence)), PacketForm::kWithIpHeader,
     std::nullopt},
    {"a foreign sequence", Icmp(0, 0, kOurs.identifier, 6), PacketForm::kIcmpOnly, std::nullopt},
    {"a foreign sequence, raw", Ip(Icmp(0, 0, kOurs.identifier, 0x0700)), PacketForm::kWithIpHeader,
     std::nullopt},
    {"time exceeded about our request", Ip(ErrorAboutOurRequest(11, 0)), PacketForm::kWithIpHeader,
     std::nullopt},
    {"destination unreachable about our request", Ip(ErrorAboutOurRequest(3, 1)),
     PacketForm::kWithIpHeader, std::nullopt},
    {"destination unreachable about our request, datagram form", ErrorAboutOurRequest(3, 1),
     PacketForm::kIcmpOnly, std::nullopt},
    {"our own request, seen on loopback", Ip(Icmp(8, 0, kOurs.identifier, kOurs.sequence)),
     PacketForm::kWithIpHeader, std::nullopt},
    {"a reply with a nonzero code", Icmp(0, 1, kOurs.identifier, kOurs.sequence),
     PacketForm::kIcmpOnly, std::nullopt},
    {"a corrupted checksum", WithCorruptedChecksum(kOurReply), PacketForm::kIcmpOnly, std::nullopt},
    {"truncated inside the ICMP header", Truncated(kOurReply, 7), PacketForm::kIcmpOnly,
     std::nullopt},
    {"cut short inside the ICMP message", Truncated(Ip(kOurReply), 30), PacketForm::kWithIpHeader,
     std::nullopt},
    // Whole ICMP message, but the IPv4 header says more was sent than arrived.
    {"shorter than its IPv4 total length", WithByte(Ip(kOurReply), 3, 20 + 12 + 2),
     PacketForm::kWithIpHeader, std::nullopt},
    {"shorter than an IPv4 header", Truncated(Ip(kOurReply), 19), PacketForm::kWithIpHeader,
     std::nullopt},
    {"a header length beyond the packet", WithByte(Ip(kOurReply), 0, 0x4F),
     PacketForm::kWithIpHeader, std::nullopt},
    {"a header length below the minimum", WithByte(Ip(kOurReply), 0, 0x44),
     PacketForm::kWithIpHeader, std::nullopt},
    {"not IPv4", WithByte(Ip(kOurReply), 0, 0x65), PacketForm::kWithIpHeader, std::nullopt},
    {"not ICMP", Ip(kOurReply, 57, {}, 17), PacketForm::kWithIpHeader, std::nullopt},
    {"a raw packet read as a datagram", Ip(kOurReply), PacketForm::kIcmpOnly, std::nullopt},
    {"nothing at all", {}, PacketForm::kIcmpOnly, std::nullopt},
};

TEST(EchoReplyMatch, OnlyOurEchoReplyCounts) {
    for (const MatchCase& matchCase : kCases) {
        SCOPED_TRACE(matchCase.name);
        const auto got = MatchEchoReply(matchCase.packet, matchCase.form, kOurs);
        ASSERT_EQ(got.has_value(), matchCase.expected.has_value());
        if (!got) continue;
        EXPECT_EQ(got->dataOffset, matchCase.expected->dataOffset);
        EXPECT_EQ(got->dataSize, matchCase.expected->dataSize);
        EXPECT_EQ(got->ttl, matchCase.expected->ttl);
    }
}

TEST(EchoReplyMatch, ChecksumOfAKnownHeader) {
    // The textbook IPv4 header example, whose checksum field holds 0xB861.
    const Bytes header = {0x45, 0x00, 0x00, 0x73, 0x00, 0x00, 0x40, 0x00, 0x40, 0x11,
                          0x00, 0x00, 0xc0, 0xa8, 0x00, 0x01, 0xc0, 0xa8, 0x00, 0xc7};
    EXPECT_EQ(linuxsvc::InternetChecksum(header), 0xB861);
    const Bytes odd = {0x01, 0x02, 0x03};
    EXPECT_EQ(linuxsvc::InternetChecksum(odd), static_cast<std::uint16_t>(~(0x0102 + 0x0300)));
}

}  // namespace
