#include "platform/win32/wide_text.h"

#include <windows.h>

#include <climits>

namespace {

// MultiByteToWideChar of the whole text in the code page, refusing bytes it has no character for.
std::optional<std::wstring> MultiByteToWideText(UINT codePage, std::string_view text) {
  if (text.empty()) {
    return std::wstring();
  }
  if (text.size() > static_cast<std::size_t>(INT_MAX)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return std::nullopt;
  }
  const int inputLength = static_cast<int>(text.size());
  const int length =
      MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), inputLength, nullptr, 0);
  if (length <= 0) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return std::nullopt;
  }
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), inputLength, wide.data(), length) !=
      length) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return std::nullopt;
  }
  return wide;
}

}  // namespace

std::optional<std::wstring> Utf8ToWideText(std::string_view text) {
  return MultiByteToWideText(CP_UTF8, text);
}

std::optional<std::string> SystemAnsiToUtf8Text(std::string_view text) {
  DWORD codePage = 0;
  if (GetLocaleInfoEx(LOCALE_NAME_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                      reinterpret_cast<LPWSTR>(&codePage), sizeof(codePage) / sizeof(wchar_t)) == 0) {
    return std::nullopt;
  }
  const std::optional<std::wstring> wide = MultiByteToWideText(codePage, text);
  return wide ? WideToUtf8Text(*wide) : std::nullopt;
}

std::optional<std::string> WideToUtf8Text(std::wstring_view text) {
  if (text.empty()) {
    return std::string();
  }
  if (text.size() > static_cast<std::size_t>(INT_MAX)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return std::nullopt;
  }
  const int inputLength = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), inputLength, nullptr, 0,
                                         nullptr, nullptr);
  if (length <= 0) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return std::nullopt;
  }
  std::string utf8(static_cast<std::size_t>(length), '\0');
  if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), inputLength, utf8.data(), length,
                          nullptr, nullptr) != length) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return std::nullopt;
  }
  return utf8;
}

std::optional<std::string> WideToUtf8Text(const wchar_t* text) {
  return WideToUtf8Text(std::wstring_view(text != nullptr ? text : L""));
}
