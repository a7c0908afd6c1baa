#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <optional>
#include <string_view>

// A text that is a decimal number and nothing else (no sign, no blank), of up to 19 digits, so that it
// stays below 2^64; nullopt otherwise. A server's Content-Length, read whole however large the package.
template <typename Char>
std::optional<std::uint64_t> DecimalNumber(std::basic_string_view<Char> text) {
  constexpr std::size_t kMostDigits = 19;
  if (text.empty() || text.size() > kMostDigits) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (const Char c : text) {
    if (c < Char('0') || c > Char('9')) {
      return std::nullopt;
    }
    value = value * 10 + static_cast<std::uint64_t>(c - Char('0'));
  }
  return value;
}

// The leading decimal number of a text, read as the C library reads an integer: leading white space, an
// optional sign, digits up to the first other character; 0 when there are none, saturated at the limits
// of a 32-bit integer instead of overflowing.
template <typename Char>
std::int32_t LeadingNumber(std::basic_string_view<Char> text) {
  const auto isSpace = [](Char c) { return c == Char(' ') || (c >= Char('\t') && c <= Char('\r')); };
  std::size_t at = 0;
  while (at < text.size() && isSpace(text[at])) {
    ++at;
  }
  bool negative = false;
  if (at < text.size() && (text[at] == Char('+') || text[at] == Char('-'))) {
    negative = text[at] == Char('-');
    ++at;
  }
  std::int64_t value = 0;
  for (; at < text.size() && text[at] >= Char('0') && text[at] <= Char('9'); ++at) {
    value = std::min<std::int64_t>(value * 10 + (text[at] - Char('0')), std::int64_t{INT_MAX} + 1);
  }
  value = negative ? -value : value;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}
