// The cabinet entry-name check: a name it lets through stays inside the destination however Windows
// reads it (both separators, "." and "..", trailing dots and blanks dropped from each part).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "steps/toolkit/cabinet_callbacks.h"

namespace {

// How deep below the destination the name lands; negative when it climbs out of it.
int Depth(const std::string& name) {
  int depth = 0;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("\\/", start);
    std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) {
      part.pop_back();
    }
    // What is left of a part of dots and blanks: Windows reads "." and ".." (and more dots) by their dots.
    const std::string original =
        name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const bool dotsOnly = !original.empty() && original.find_first_not_of(". ") == std::string::npos;
    if (dotsOnly && original.find("..") != std::string::npos) {
      --depth;
    } else if (!part.empty()) {
      ++depth;
    }
    if (depth < 0) {
      return depth;
    }
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
  return depth;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);
  if (!IsSafeCabinetEntryName(name)) {
    return 0;
  }
  // Let through: not rooted, no drive or stream, and never above the destination.
  if (name.empty() || name[0] == '\\' || name[0] == '/' || name.find(':') != std::string::npos ||
      Depth(name) < 0) {
    std::abort();
  }
  return 0;
}
