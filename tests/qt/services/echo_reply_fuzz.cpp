// libFuzzer target: whatever arrives on an ICMP socket, matching never reads outside the packet,
// and what it accepts is an echo reply with our identity whose payload lies inside the packet.
#include <cstdlib>

#include "echo_reply_match.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const linuxsvc::EchoIdentity ours{static_cast<std::uint16_t>(data[0] << 8 | data[1]),
                                      static_cast<std::uint16_t>(data[2] << 8 | data[3])};
    const std::span<const std::uint8_t> packet(data + 4, size - 4);
    for (const auto form : {linuxsvc::PacketForm::kIcmpOnly, linuxsvc::PacketForm::kWithIpHeader}) {
        const auto reply = linuxsvc::MatchEchoReply(packet, form, ours);
        if (!reply) continue;
        if (reply->dataOffset < 8 || reply->dataOffset + reply->dataSize > packet.size())
            std::abort();
        const std::uint8_t* icmp = packet.data() + reply->dataOffset - 8;
        if (icmp[0] != 0 || icmp[1] != 0) std::abort();
        if ((icmp[4] << 8 | icmp[5]) != ours.identifier) std::abort();
        if ((icmp[6] << 8 | icmp[7]) != ours.sequence) std::abort();
        if ((form == linuxsvc::PacketForm::kWithIpHeader) != reply->ttl.has_value()) std::abort();
    }
    return 0;
}
