// Any bytes may sit in a settings file that a person or a crash left behind. Reading them must
// never crash, and the file must come back byte for byte, whatever it held, with one value
// changed where the program writes one.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ini_document.h"
#include "ini_value.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

void CheckWriteReadsBack(std::string_view bytes, std::string_view text) {
    using linuxsvc::IniDocument;
    IniDocument document = IniDocument::Parse(bytes);
    document.Set("dovrel", "IPAddress", linuxsvc::QuoteText(text));
    document.Set("Dovrel", "Packets", linuxsvc::FormatInteger(-7));
    const IniDocument reread = IniDocument::Parse(document.Serialize());
    const auto address = reread.Find("DOVREL", "ipaddress");
    Require(address.has_value());
    const auto unquoted = linuxsvc::UnquoteText(*address);
    Require(unquoted.has_value() && *unquoted == text);
    const auto packets = reread.Find("dovrel", "packets");
    Require(packets.has_value() && linuxsvc::ParseInteger(*packets) == -7);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const linuxsvc::IniDocument document = linuxsvc::IniDocument::Parse(bytes);
    Require(document.Serialize() == bytes);

    for (const char* key : {"IPAddress", "alert", "StartTray", "Packets"}) {
        if (const auto value = document.Find("dovrel", key)) {
            // Either form may fail to parse; neither may crash or misread the other.
            const auto text = linuxsvc::UnquoteText(*value);
            const auto number = linuxsvc::ParseInteger(*value);
            Require(!(text.has_value() && number.has_value()));
        }
    }
    // The tail of the input doubles as a text to store: quotes, escapes and control bytes.
    CheckWriteReadsBack(bytes, bytes.substr(bytes.size() / 2));
    return 0;
}
