// The port of an IIS binding's information ("address:port:host"): the field between the last two
// colons, read only when it is all digits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "steps/iis/iis_website.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string information;
  for (std::size_t i = 0; i < size; ++i) {
    information += static_cast<char16_t>(data[i]);
  }
  const auto port = BindingPort(information);
  if (!port) {
    return 0;
  }
  const std::size_t last = information.rfind(u':');
  const std::size_t before = information.rfind(u':', last - 1);
  const std::u16string field = information.substr(before + 1, last - before - 1);
  if (field.empty() || field.find_first_not_of(u"0123456789") != std::u16string::npos || *port < 0) {
    std::abort();
  }
  return 0;
}
