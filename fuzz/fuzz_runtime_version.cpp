// The "Version" text of the Visual C++ runtime's registration: read back, a version prints as it was read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "steps/toolkit/runtime_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto version = ParseRuntimeVersion(text);
  if (version) {
    const std::string printed = "v" + std::to_string(version->major) + "." + std::to_string(version->minor) +
                                "." + std::to_string(version->build) + "." +
                                std::to_string(version->revision);
    if (ParseRuntimeVersion(printed) != version) {
      std::abort();
    }
  }
  return 0;
}
