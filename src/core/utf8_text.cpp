#include "core/utf8_text.h"

#include <cstdint>

namespace {

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0U) == 0x80U;
}

// The number of bytes of a sequence its lead byte announces; 0 for a byte that cannot start one.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80U) {
    return 1;
  }
  if (lead >= 0xC2U && lead <= 0xDFU) {
    return 2;
  }
  if (lead >= 0xE0U && lead <= 0xEFU) {
    return 3;
  }
  if (lead >= 0xF0U && lead <= 0xF4U) {
    return 4;
  }
  return 0;
}

void AppendUtf8(std::string& out, std::uint32_t point) {
  if (point < 0x80U) {
    out += static_cast<char>(point);
  } else if (point < 0x800U) {
    out += static_cast<char>(0xC0U | (point >> 6U));
    out += static_cast<char>(0x80U | (point & 0x3FU));
  } else if (point < 0x10000U) {
    out += static_cast<char>(0xE0U | (point >> 12U));
    out += static_cast<char>(0x80U | ((point >> 6U) & 0x3FU));
    out += static_cast<char>(0x80U | (point & 0x3FU));
  } else {
    out += static_cast<char>(0xF0U | (point >> 18U));
    out += static_cast<char>(0x80U | ((point >> 12U) & 0x3FU));
    out += static_cast<char>(0x80U | ((point >> 6U) & 0x3FU));
    out += static_cast<char>(0x80U | (point & 0x3FU));
  }
}

struct Character {
  std::uint32_t point = 0;
  std::size_t length = 0;
};

// The character that starts at the byte; nullopt when no valid one does (overlong forms, encoded
// surrogates, code points past U+10FFFF, a sequence cut short).
std::optional<Character> CharacterAt(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = SequenceLength(lead);
  if (length == 0 || at + length > text.size()) {
    return std::nullopt;
  }
  std::uint32_t point = length == 1 ? lead : (lead & (0x7FU >> length));
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[at + i]);
    if (!IsContinuation(byte)) {
      return std::nullopt;
    }
    point = (point << 6U) | (byte & 0x3FU);
  }
  constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (point < kSmallest[length] || point > 0x10FFFFU || (point >= 0xD800U && point <= 0xDFFFU)) {
    return std::nullopt;
  }
  return Character{point, length};
}

}  // namespace

std::string_view CutUtf8(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) {
    return text;
  }
  std::size_t end = maxBytes;
  while (end > 0 && IsContinuation(static_cast<unsigned char>(text[end]))) {
    --end;
  }
  return text.substr(0, end);
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::optional<Character> character = CharacterAt(text, at);
    if (!character) {
      return std::nullopt;
    }
    std::uint32_t point = character->point;
    if (point >= 0x10000U) {
      point -= 0x10000U;
      wide += static_cast<char16_t>(0xD800U + (point >> 10U));
      wide += static_cast<char16_t>(0xDC00U + (point & 0x3FFU));
    } else {
      wide += static_cast<char16_t>(point);
    }
    at += character->length;
  }
  return wide;
}

std::string PrintableUtf8(std::string_view text) {
  std::string printable;
  printable.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::optional<Character> character = CharacterAt(text, at);
    const std::size_t length = character ? character->length : 1;
    printable += character ? text.substr(at, length) : std::string_view("?");
    at += length;
  }
  return printable;
}

std::optional<std::string> Utf16ToUtf8(std::u16string_view text) {
  std::string utf8;
  utf8.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); ++at) {
    std::uint32_t point = text[at];
    if (point >= 0xDC00U && point <= 0xDFFFU) {
      return std::nullopt;
    }
    if (point >= 0xD800U && point <= 0xDBFFU) {
      if (at + 1 == text.size() || text[at + 1] < 0xDC00U || text[at + 1] > 0xDFFFU) {
        return std::nullopt;
      }
      point = 0x10000U + ((point - 0xD800U) << 10U) + (text[at + 1] - 0xDC00U);
      ++at;
    }
    AppendUtf8(utf8, point);
  }
  return utf8;
}
