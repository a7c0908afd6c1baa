#include "core/blank_text.h"

bool IsBlankText(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

std::string BlankText(int count) {
  if (count < 1) {
    return {};
  }
  return std::string(static_cast<std::size_t>(count), ' ');
}

std::string TrimTrailingBlanks(std::string_view text) {
  std::size_t length = text.size();
  while (length > 1 && text[length - 1] == ' ') {
    --length;
  }
  return std::string(text.substr(0, length));
}
