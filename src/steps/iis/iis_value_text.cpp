#include "steps/iis/iis_value_text.h"

#include <charconv>
#include <type_traits>
#include <variant>

#include "core/hex_text.h"

namespace {

constexpr char kTypeLetters[] = "tbsiulq";
constexpr std::size_t kDigitsPerUnit = 4;

template <typename Number>
std::optional<IisValue> ParseNumber(std::string_view digits) {
  Number number{};
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc() || end != digits.data() + digits.size() || digits.empty()) {
    return std::nullopt;
  }
  return IisValue(number);
}

std::optional<IisValue> ParseText(std::string_view digits) {
  if (digits.size() % kDigitsPerUnit != 0) {
    return std::nullopt;
  }
  std::u16string text;
  for (std::size_t at = 0; at < digits.size(); at += kDigitsPerUnit) {
    unsigned unit = 0;
    for (std::size_t i = 0; i < kDigitsPerUnit; ++i) {
      const int digit = HexDigitValue(digits[at + i]);
      if (digit < 0) {
        return std::nullopt;
      }
      unit = (unit << 4U) | static_cast<unsigned>(digit);
    }
    text += static_cast<char16_t>(unit);
  }
  return IisValue(std::move(text));
}

}  // namespace

std::string IisValueText(const IisValue& value) {
  std::string text{kTypeLetters[value.index()], ':'};
  std::visit(
      [&text](const auto& held) {
        using Held = std::decay_t<decltype(held)>;
        if constexpr (std::is_same_v<Held, std::u16string>) {
          constexpr char kDigits[] = "0123456789ABCDEF";
          for (const char16_t unit : held) {
            for (unsigned shift = 12;; shift -= 4) {
              text += kDigits[(static_cast<unsigned>(unit) >> shift) & 0xFU];
              if (shift == 0) {
                break;
              }
            }
          }
        } else if constexpr (std::is_same_v<Held, bool>) {
          text += held ? '1' : '0';
        } else {
          text += std::to_string(held);
        }
      },
      value);
  return text;
}

std::optional<IisValue> ParseIisValueText(std::string_view text) {
  if (text.size() < 2 || text[1] != ':') {
    return std::nullopt;
  }
  const std::string_view rest = text.substr(2);
  switch (text[0]) {
    case 't':
      return ParseText(rest);
    case 'b':
      if (rest == "1" || rest == "0") {
        return IisValue(rest == "1");
      }
      return std::nullopt;
    case 's':
      return ParseNumber<std::int16_t>(rest);
    case 'i':
      return ParseNumber<std::int32_t>(rest);
    case 'u':
      return ParseNumber<std::uint32_t>(rest);
    case 'l':
      return ParseNumber<std::int64_t>(rest);
    case 'q':
      return ParseNumber<std::uint64_t>(rest);
    default:
      return std::nullopt;
  }
}

std::string Quoted(std::string_view prefix, std::string_view text) {
  std::string quoted(prefix);
  return quoted.append(1, '"').append(text).append(1, '"');
}
