// How one value is written in the settings file: text in double quotes with backslash escapes,
// integers as bare signed decimal. The two forms never overlap, so a value's type is plain.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace linuxsvc {

// Quotes `text`; quote, backslash and control bytes are escaped so the value stays on its line.
std::string QuoteText(std::string_view text);
// The text of a quoted value; nothing when `value` is not one whole, well-formed quoted text.
std::optional<std::string> UnquoteText(std::string_view value);

std::string FormatInteger(int value);
// The value of bare decimal that fits a signed 32-bit integer; nothing otherwise.
std::optional<int> ParseInteger(std::string_view value);

// `text` without the blanks (spaces, tabs, carriage returns) at either end.
std::string_view TrimBlanks(std::string_view text);

}  // namespace linuxsvc
