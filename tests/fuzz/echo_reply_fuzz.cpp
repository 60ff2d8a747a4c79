// Whatever reaches an ICMP socket, the reply matcher must stay inside the packet and accept only
// an echo reply carrying our identifier and sequence number.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "echo_reply_match.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

constexpr linuxsvc::EchoIdentity kOurs{0x1234, 0x0007};

void CheckForm(std::span<const std::uint8_t> packet, linuxsvc::PacketForm form) {
    const auto view = linuxsvc::MatchEchoReply(packet, form, kOurs);
    if (!view) return;
    Require(view->dataOffset >= 8 && view->dataOffset + view->dataSize <= packet.size());
    const std::uint8_t* icmp = packet.data() + view->dataOffset - 8;
    Require(icmp[0] == 0 && icmp[1] == 0);
    Require(((icmp[4] << 8) | icmp[5]) == kOurs.identifier);
    Require(((icmp[6] << 8) | icmp[7]) == kOurs.sequence);
    Require(view->ttl.has_value() == (form == linuxsvc::PacketForm::kWithIpHeader));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> packet(data, size);
    CheckForm(packet, linuxsvc::PacketForm::kWithIpHeader);
    CheckForm(packet, linuxsvc::PacketForm::kIcmpOnly);
    return 0;
}
