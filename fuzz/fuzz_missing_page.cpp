// The missing-page scanner fed a body in reads of any sizes: it finds "404" in the leading text (before the
// first NUL) exactly when the whole leading text holds it, however the reads cut it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "steps/download/package_download.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  // The first byte chooses the read sizes; the rest is the body.
  const unsigned seed = data[0];
  const std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);
  MissingPageScanner scanner;
  bool found = false;
  std::size_t at = 0;
  unsigned step = seed;
  while (at < body.size()) {
    step = step * 73U + 41U;
    const std::size_t piece = 1 + step % 7U;
    found = scanner.Feed(body.substr(at, piece)) || found;
    at += piece;
  }
  const std::string_view leading = body.substr(0, body.find('\0'));
  if (found != (leading.find("404") != std::string_view::npos)) {
    std::abort();
  }
  return 0;
}
