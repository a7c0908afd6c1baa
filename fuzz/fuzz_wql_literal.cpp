// The WQL string literal: always quoted, and read back by WQL's rules it is the text it was made from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "steps/sql/sql_server_setup.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text += static_cast<char16_t>(data[i] | (data[i + 1] << 8U));
  }
  const std::u16string literal = WqlStringLiteral(text);
  if (literal.size() < 2 || literal.front() != u'\'' || literal.back() != u'\'') {
    std::abort();
  }
  std::u16string read;
  for (std::size_t i = 1; i + 1 < literal.size(); ++i) {
    if (literal[i] == u'\\') {
      if (i + 2 >= literal.size()) {
        std::abort();  // an escape that eats the closing quote
      }
      read += literal[++i];
    } else if (literal[i] == u'\'') {
      std::abort();  // a quote that would end the literal early
    } else {
      read += literal[i];
    }
  }
  if (read != text) {
    std::abort();
  }
  return 0;
}
