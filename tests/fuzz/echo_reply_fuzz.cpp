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

void CheckForm(std::span<const std::uint8_t> packet, linuxsvc::PacketForm form,
               linuxsvc::EchoIdentity ours) {
    const auto view = linuxsvc::MatchEchoReply(packet, form, ours);
    if (!view) return;
    Require(view->dataOffset >= 8 && view->dataOffset + view->dataSize <= packet.size());
    const std::uint8_t* icmp = packet.data() + view->dataOffset - 8;
    Require(icmp[0] == 0 && icmp[1] == 0);
    Require(((icmp[4] << 8) | icmp[5]) == ours.identifier);
    Require(((icmp[6] << 8) | icmp[7]) == ours.sequence);
    Require(view->ttl.has_value() == (form == linuxsvc::PacketForm::kWithIpHeader));
}

}  // namespace

// The first four bytes are the identifier and sequence number we wait for; the rest, the packet.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const linuxsvc::EchoIdentity ours{static_cast<std::uint16_t>(data[0] << 8 | data[1]),
                                      static_cast<std::uint16_t>(data[2] << 8 | data[3])};
    const std::span<const std::uint8_t> packet(data + 4, size - 4);
    CheckForm(packet, linuxsvc::PacketForm::kWithIpHeader, ours);
    CheckForm(packet, linuxsvc::PacketForm::kIcmpOnly, ours);
    return 0;
}
