#include "product/publisher_pins.h"

#include <string_view>

#include "core/hex_text.h"

#ifndef NEMBRIC_PUBLISHER_PINS
#define NEMBRIC_PUBLISHER_PINS ""
#endif

namespace {

// The pins as the build gives them: hex digests, separated by commas.
constexpr std::string_view kBuiltPins = NEMBRIC_PUBLISHER_PINS;

}  // namespace

std::vector<Sha256Hash::Digest> BuiltPublisherPins() {
  std::vector<Sha256Hash::Digest> pins;
  std::size_t start = 0;
  while (start < kBuiltPins.size()) {
    std::size_t end = kBuiltPins.find(',', start);
    end = end == std::string_view::npos ? kBuiltPins.size() : end;
    const std::string_view text = kBuiltPins.substr(start, end - start);
    start = end + 1;
    Sha256Hash::Digest digest{};
    bool valid = text.size() == 2 * digest.size();
    for (std::size_t i = 0; valid && i < digest.size(); ++i) {
      const int high = HexDigitValue(text[2 * i]);
      const int low = HexDigitValue(text[2 * i + 1]);
      valid = high >= 0 && low >= 0;
      digest.at(i) = static_cast<std::uint8_t>((high << 4) | low);
    }
    if (valid) {
      pins.push_back(digest);
    }
  }
  return pins;
}
