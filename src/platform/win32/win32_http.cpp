#include "platform/win32/win32_http.h"

#include <windows.h>

#include <winhttp.h>

namespace {

// Frees a text that WinHTTP allocated when it goes.
struct GlobalText {
  LPWSTR text = nullptr;
  GlobalText() = default;
  GlobalText(const GlobalText&) = delete;
  GlobalText& operator=(const GlobalText&) = delete;
  ~GlobalText() {
    if (text != nullptr) {
      GlobalFree(text);
    }
  }
};

std::optional<std::u16string> NamedProxy(LPCWSTR proxy) {
  if (proxy == nullptr || *proxy == L'\0') {
    return std::nullopt;
  }
  return std::u16string(reinterpret_cast<const char16_t*>(proxy));
}

}  // namespace

bool Win32Http::DefaultProxy(std::optional<std::u16string>& proxy) {
  WINHTTP_PROXY_INFO info{};
  if (WinHttpGetDefaultProxyConfiguration(&info) == FALSE) {
    return false;
  }
  GlobalText name;
  GlobalText bypass;
  name.text = info.lpszProxy;
  bypass.text = info.lpszProxyBypass;
  proxy = NamedProxy(info.lpszProxy);
  return true;
}

bool Win32Http::UserProxy(std::optional<std::u16string>& proxy) {
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
  if (WinHttpGetIEProxyConfigForCurrentUser(&config) == FALSE) {
    return false;
  }
  GlobalText name;
  GlobalText bypass;
  GlobalText autoConfig;
  name.text = config.lpszProxy;
  bypass.text = config.lpszProxyBypass;
  autoConfig.text = config.lpszAutoConfigUrl;
  proxy = NamedProxy(config.lpszProxy);
  return true;
}
