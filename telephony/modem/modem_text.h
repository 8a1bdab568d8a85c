#pragma once
// Small text helpers for what modems answer: ASCII only, locale-free.

#include <optional>
#include <string>
#include <string_view>

namespace orvane::modem {

// Without white space at either end.
std::string_view Trim(std::string_view text);
// ASCII letters in upper case.
std::string Upper(std::string_view text);
// A whole decimal number (white space around it allowed), else nothing.
std::optional<int> ParseInt(std::string_view text);
// Only the digits 0-9 (at most nine of them, no sign, no blanks) giving a
// value from `minValue` to `maxValue`, as AT command parameters are written.
std::optional<int> ParseDigits(std::string_view text, int minValue, int maxValue);

}  // namespace orvane::modem
