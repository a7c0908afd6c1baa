// The field checks of the main dialog: any control, any text, any first password.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "resources/resource.h"
#include "ui/field_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  constexpr std::array<int, 10> kFields = {IDC_SETUP_TYPE,       IDC_PORT,           IDC_CLIENT_DIRECTORY,
                                           IDC_SERVER_DIRECTORY, IDC_INSTALL_SQL,    IDC_EDITION,
                                           IDC_PASSWORD,         IDC_PASSWORD_AGAIN, IDC_HOSTS,
                                           IDC_BIT_SIZE};
  const int field = kFields[data[0] % kFields.size()];
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t split = rest.find('\n');
  const std::string text = rest.substr(0, split);
  const std::string first = split == std::string::npos ? std::string() : rest.substr(split + 1);
  const auto error = CheckFieldText(field, text, first);
  // A failed check sends the person back to the field that was checked.
  if (error && error->controlId != field) {
    std::abort();
  }
  PortNumber(text);
  PasswordAsChecked(text);
  return 0;
}
