// The IIS element a record keeps whole (a site the run replaced): whatever the text of the record's field,
// reading it ends, and what it reads writes back to a text that reads as the same element.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "steps/iis/iis_element_copy.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<IisElementCopy> copy = ParseElementCopyText(text);
  if (copy && ParseElementCopyText(ElementCopyText(*copy)) != copy) {
    std::abort();
  }
  return 0;
}
