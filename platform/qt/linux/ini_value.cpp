#include "ini_value.h"

#include <charconv>
#include <cstdint>

namespace linuxsvc {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    return -1;
}

bool IsControl(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::string QuoteText(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                quoted += "\\\"";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\t':
                quoted += "\\t";
                break;
            default:
                if (IsControl(byte)) {
                    quoted += "\\x";
                    quoted += kHexDigits[byte >> 4];
                    quoted += kHexDigits[byte & 0x0F];
                } else {
                    quoted += c;
                }
        }
    }
    quoted += '"';
    return quoted;
}

std::optional<std::string> UnquoteText(std::string_view value) {
    value = TrimBlanks(value);
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') return std::nullopt;
    value = value.substr(1, value.size() - 2);
    std::string text;
    text.reserve(value.size());
    for (std::size_t at = 0; at < value.size(); ++at) {
        const char c = value[at];
        if (c == '"') return std::nullopt;  // a quote inside must be escaped
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++at == value.size()) return std::nullopt;
        switch (value[at]) {
            case '"':
                text += '"';
                break;
            case '\\':
                text += '\\';
                break;
            case 'n':
                text += '\n';
                break;
            case 'r':
                text += '\r';
                break;
            case 't':
                text += '\t';
                break;
            case 'x': {
                if (at + 2 >= value.size()) return std::nullopt;
                const int high = HexValue(value[at + 1]);
                const int low = HexValue(value[at + 2]);
                if (high < 0 || low < 0) return std::nullopt;
                text += static_cast<char>(high * 16 + low);
                at += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return text;
}

std::string FormatInteger(int value) {
    return std::to_string(value);
}

std::optional<int> ParseInteger(std::string_view value) {
    value = TrimBlanks(value);
    if (value.empty()) return std::nullopt;
    std::int32_t parsed = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), parsed);
    if (error != std::errc() || end != value.data() + value.size()) return std::nullopt;
    return parsed;
}

}  // namespace linuxsvc
