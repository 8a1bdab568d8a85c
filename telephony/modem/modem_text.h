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

}  // namespace orvane::modem
