// Windows Sockets 1.1 as scripted: start-up results, address parsing and lookups in virtual time.
#include <cctype>
#include <cstring>
#include <string>

#include "fake_platform.h"

using namespace win;

namespace {
fake::Platform& P() {
    return fake::Platform::Current();
}

// One lookup result, kept until the next lookup as the socket layer keeps it.
struct HostRecord {
    std::string name;
    std::vector<IPAddr> addresses;
    std::vector<char*> addressList;
    char* aliases[1] = {nullptr};
    hostent host{};

    hostent* Fill(const fake::Platform::Lookup& lookup) {
        name = lookup.name;
        addresses = lookup.addresses;
        addressList.clear();
        for (IPAddr& address : addresses) addressList.push_back(reinterpret_cast<char*>(&address));
        addressList.push_back(nullptr);
        host = {name.data(), aliases, static_cast<short>(AF_INET), 4, addressList.data()};
        return &host;
    }
};

HostRecord& Record() {
    static HostRecord record;
    return record;
}

// One part of a dotted address: decimal, octal with a leading 0, or hex with 0x.
bool ParsePart(const char*& text, unsigned long long& value) {
    int base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
    } else if (text[0] == '0') {
        base = 8;
    }
    const char* first = text;
    value = 0;
    for (;; ++text) {
        const unsigned char c = static_cast<unsigned char>(*text);
        int digit = 0;
        if (std::isdigit(c)) {
            digit = c - '0';
        } else if (base == 16 && std::isxdigit(c)) {
            digit = std::tolower(c) - 'a' + 10;
        } else {
            break;
        }
        if (digit >= base) return false;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFFull) return false;
    }
    return text != first;
}

// The classic parse: one to four parts, the last filling the remaining bytes; whitespace may
// end the text. Anything else is not an address.
ULONG ParseDotted(const char* text) {
    if (text == nullptr) return INADDR_NONE;
    unsigned long long parts[4] = {};
    int count = 0;
    for (;;) {
        if (count == 4 || !ParsePart(text, parts[count])) return INADDR_NONE;
        ++count;
        if (*text != '.') break;
        ++text;
    }
    if (*text != '\0' && !std::isspace(static_cast<unsigned char>(*text))) return INADDR_NONE;
    static constexpr unsigned long long kLastPartLimit[4] = {0xFFFFFFFF, 0xFFFFFF, 0xFFFF, 0xFF};
    unsigned long long host = parts[count - 1];
    if (host > kLastPartLimit[count - 1]) return INADDR_NONE;
    for (int i = 0; i < count - 1; ++i) {
        if (parts[i] > 0xFF) return INADDR_NONE;
        host |= parts[i] << (24 - 8 * i);
    }
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(host >> 24), static_cast<unsigned char>(host >> 16),
        static_cast<unsigned char>(host >> 8), static_cast<unsigned char>(host)};
    ULONG address = 0;
    std::memcpy(&address, bytes, sizeof(address));
    return address;
}
}  // namespace

namespace win {

int WSAStartup(WORD versionRequested, WSADATA* data) {
    fake::Platform& platform = P();
    const int result = platform.NextWsaResult();
    char what[48];
    std::snprintf(what, sizeof(what), "WSAStartup 0x%04X -> %d", versionRequested, result);
    platform.Record(fake::Kind::WSAStartup, what);
    if (data != nullptr) {
        *data = WSADATA{};
        data->wVersion = platform.WsaVersion();
        data->wHighVersion = platform.WsaVersion();
    }
    return result;
}

int WSACleanup() {
    P().Record(fake::Kind::WSACleanup, "WSACleanup");
    return 0;
}

ULONG inet_addr(const char* text) {
    const ULONG address = ParseDotted(text);
    fake::LookupCall call{text ? text : "", address};
    P().Record(fake::Kind::InetAddr, "inet_addr " + call.name, call);
    return address;
}

hostent* gethostbyname(const char* name) {
    fake::Platform& platform = P();
    const std::string text = name ? name : "";
    const fake::Platform::Lookup lookup = platform.ForwardLookup(text);
    fake::LookupCall call{text, 0, 0, 0, lookup.found};
    platform.Record(fake::Kind::HostByName, "gethostbyname " + text, call);
    if (!platform.Advance(lookup.delay) || !lookup.found) return nullptr;
    return Record().Fill(lookup);
}

char* inet_ntoa(in_addr address) {
    fake::Platform& platform = P();
    const bool fails = platform.InetNtoaFails(address.s_addr);
    platform.Record(fake::Kind::InetNtoa, "inet_ntoa " + fake::Dotted(address.s_addr),
                    fake::LookupCall{{}, address.s_addr, 4, AF_INET, !fails});
    if (fails) return nullptr;
    static char text[16];
    std::snprintf(text, sizeof(text), "%s", fake::Dotted(address.s_addr).c_str());
    return text;
}

hostent* gethostbyaddr(const char* address, int length, int type) {
    fake::Platform& platform = P();
    IPAddr value = 0;
    if (address != nullptr && length == 4) std::memcpy(&value, address, sizeof(value));
    const fake::Platform::Lookup lookup = platform.ReverseLookup(value);
    const bool found = lookup.found && length == 4 && type == AF_INET;
    platform.Record(fake::Kind::HostByAddr, "gethostbyaddr " + fake::Dotted(value),
                    fake::LookupCall{{}, value, length, type, found});
    if (!platform.Advance(lookup.delay) || !found) return nullptr;
    return Record().Fill(lookup);
}

}  // namespace win
