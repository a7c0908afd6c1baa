#pragma once

#include <optional>
#include <string>

// WinHTTP as the system reaches it. Texts are UTF-16; every text WinHTTP hands out is freed by the adapter.
class Http {
 public:
  Http() = default;
  Http(const Http&) = delete;
  Http& operator=(const Http&) = delete;
  virtual ~Http() = default;

  // WinHttpGetDefaultProxyConfiguration: false when the call fails; otherwise `proxy` is the named proxy,
  // nullopt when the configuration names none.
  virtual bool DefaultProxy(std::optional<std::u16string>& proxy) = 0;
  // WinHttpGetIEProxyConfigForCurrentUser: the same for the current user's Internet settings.
  virtual bool UserProxy(std::optional<std::u16string>& proxy) = 0;
};
