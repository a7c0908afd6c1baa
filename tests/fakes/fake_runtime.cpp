#include "fake_runtime.h"

#include "core/utf8_text.h"

std::int32_t FakeRuntime::InitializeCom(std::uint32_t flags) {
  ++comCalls;
  comFlags = flags;
  return comResult;
}

std::int32_t FakeRuntime::InitializeSecurity(std::uint32_t authentication, std::uint32_t impersonation) {
  ++securityCalls;
  authenticationLevel = authentication;
  impersonationLevel = impersonation;
  return securityResult;
}

std::optional<std::string> FakeRuntime::WideToUtf8(std::u16string_view text) {
  longestConversion = std::max(longestConversion, text.size());
  return Utf16ToUtf8(text);
}

std::optional<std::u16string> FakeRuntime::Utf8ToWide(std::string_view text) {
  return Utf8ToUtf16(text);
}

std::optional<std::string> FakeRuntime::AnsiToUtf8(std::string_view text) {
  std::u16string wide;
  for (const char byte : text) {
    wide += static_cast<char16_t>(static_cast<unsigned char>(byte));
  }
  return Utf16ToUtf8(wide);
}
