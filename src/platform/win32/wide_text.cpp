#include "platform/win32/wide_text.h"

#include <windows.h>

#include <climits>

std::optional<std::wstring> AnsiToWideText(std::string_view text) {
  if (text.empty()) {
    return std::wstring();
  }
  if (text.size() > static_cast<std::size_t>(INT_MAX)) {
    return std::nullopt;
  }
  const int inputLength = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), inputLength, nullptr, 0);
  if (length <= 0) {
    return std::nullopt;
  }
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, text.data(), inputLength, wide.data(), length) != length) {
    return std::nullopt;
  }
  return wide;
}

std::optional<std::string> WideToAnsiText(std::wstring_view text) {
  if (text.empty()) {
    return std::string();
  }
  if (text.size() > static_cast<std::size_t>(INT_MAX)) {
    return std::nullopt;
  }
  const int inputLength = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), inputLength, nullptr, 0, nullptr, nullptr);
  if (length <= 0) {
    return std::nullopt;
  }
  std::string ansi(static_cast<std::size_t>(length), '\0');
  if (WideCharToMultiByte(CP_ACP, 0, text.data(), inputLength, ansi.data(), length, nullptr, nullptr) !=
      length) {
    return std::nullopt;
  }
  return ansi;
}
