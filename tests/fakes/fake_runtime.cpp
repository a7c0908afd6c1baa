#include "fake_runtime.h"

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

std::optional<std::string> FakeRuntime::WideToAnsi(std::u16string_view text) {
  longestConversion = std::max(longestConversion, text.size());
  std::string ansi;
  for (const char16_t unit : text) {
    if (doubleByteCharacters.count(unit) != 0) {
      ansi += '\x81';
      ansi += static_cast<char>(unit & 0x7F);
    } else if (unit <= 0xFF) {
      ansi += static_cast<char>(unit);
    } else {
      ansi += '?';
    }
  }
  return ansi;
}

std::optional<std::u16string> FakeRuntime::AnsiToWide(std::string_view text) {
  std::u16string wide;
  for (const char byte : text) {
    wide += static_cast<char16_t>(static_cast<unsigned char>(byte));
  }
  return wide;
}
