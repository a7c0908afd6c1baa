#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The value of a hexadecimal digit of either case; -1 for any other character.
inline int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

// Bytes as hexadecimal text, two digits a byte: upper-case, or lower-case as sha256sum writes them.
inline std::string HexText(std::string_view bytes, bool lowerCase = false) {
  const char* digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    text += digits[byte >> 4U];
    text += digits[byte & 0xFU];
  }
  return text;
}

// A status code (an HRESULT, a Windows error) as Windows tools write it: "0x" and eight upper-case hex
// digits, "0x80096010".
inline std::string StatusCodeText(std::uint32_t code) {
  std::string text = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) {
    text += "0123456789ABCDEF"[(code >> static_cast<unsigned>(shift)) & 0xFU];
  }
  return text;
}
