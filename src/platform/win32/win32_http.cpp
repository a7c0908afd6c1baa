#include "platform/win32/win32_http.h"

#include <windows.h>

#include <winhttp.h>

#include <array>

#include "platform/win32/system_message.h"

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

std::optional<std::u16string> TextOf(LPCWSTR text) {
  if (text == nullptr || *text == L'\0') {
    return std::nullopt;
  }
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}

LPCWSTR WideOrNull(const std::optional<std::u16string>& text) {
  return text ? reinterpret_cast<LPCWSTR>(text->c_str()) : nullptr;
}

}  // namespace

bool Win32Http::DefaultProxy(ProxySettings& settings) {
  WINHTTP_PROXY_INFO info{};
  if (WinHttpGetDefaultProxyConfiguration(&info) == FALSE) {
    return false;
  }
  GlobalText name;
  GlobalText bypass;
  name.text = info.lpszProxy;
  bypass.text = info.lpszProxyBypass;
  settings.proxy = TextOf(info.lpszProxy);
  settings.bypass = TextOf(info.lpszProxyBypass);
  return true;
}

bool Win32Http::UserProxy(ProxySettings& settings) {
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
  settings.proxy = TextOf(config.lpszProxy);
  settings.bypass = TextOf(config.lpszProxyBypass);
  settings.autoDetect = config.fAutoDetect != FALSE;
  settings.autoConfigUrl = TextOf(config.lpszAutoConfigUrl);
  return true;
}

namespace {

HINTERNET ToInternet(InternetHandle handle) {
  return reinterpret_cast<HINTERNET>(static_cast<std::uintptr_t>(handle));
}

InternetHandle FromInternet(HINTERNET handle) {
  return static_cast<InternetHandle>(reinterpret_cast<std::uintptr_t>(handle));
}

LPCWSTR Wide(const std::u16string& text) {
  return reinterpret_cast<LPCWSTR>(text.c_str());
}

}  // namespace

bool Win32Http::ProxyForUrl(InternetHandle session, const std::u16string& url, const ProxySettings& automatic,
                            ProxySettings& found) {
  WINHTTP_AUTOPROXY_OPTIONS options{};
  if (automatic.autoDetect) {
    options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
  }
  if (automatic.autoConfigUrl) {
    options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = WideOrNull(automatic.autoConfigUrl);
  }
  // The user's own credentials reach a configuration script that asks for them.
  options.fAutoLogonIfChallenged = TRUE;
  WINHTTP_PROXY_INFO info{};
  if (WinHttpGetProxyForUrl(ToInternet(session), Wide(url), &options, &info) == FALSE) {
    return false;
  }
  GlobalText name;
  GlobalText bypass;
  name.text = info.lpszProxy;
  bypass.text = info.lpszProxyBypass;
  found.proxy = info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY ? TextOf(info.lpszProxy) : std::nullopt;
  found.bypass = TextOf(info.lpszProxyBypass);
  return true;
}

bool Win32Http::SetRequestProxy(InternetHandle request, const std::u16string& proxy,
                                const std::optional<std::u16string>& bypass) {
  WINHTTP_PROXY_INFO info{};
  info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
  // WinHTTP copies the texts; it does not write to them.
  info.lpszProxy = const_cast<LPWSTR>(Wide(proxy));
  info.lpszProxyBypass = const_cast<LPWSTR>(WideOrNull(bypass));
  return WinHttpSetOption(ToInternet(request), WINHTTP_OPTION_PROXY, &info, sizeof info) != FALSE;
}

static_assert(Http::kAccessNoProxy == WINHTTP_ACCESS_TYPE_NO_PROXY &&
              Http::kAccessNamedProxy == WINHTTP_ACCESS_TYPE_NAMED_PROXY);
static_assert(Http::kFlagSecure == WINHTTP_FLAG_SECURE && Http::kFlagRefresh == WINHTTP_FLAG_REFRESH);
static_assert(Http::kOptionConnectTimeout == WINHTTP_OPTION_CONNECT_TIMEOUT &&
              Http::kOptionReceiveTimeout == WINHTTP_OPTION_RECEIVE_TIMEOUT);
static_assert(Http::kHttpsPort == INTERNET_DEFAULT_HTTPS_PORT);

InternetHandle Win32Http::OpenSession(const std::u16string& userAgent, std::uint32_t accessType,
                                      const std::optional<std::u16string>& proxy,
                                      const std::optional<std::u16string>& bypass) {
  return FromInternet(WinHttpOpen(Wide(userAgent), accessType, proxy ? Wide(*proxy) : WINHTTP_NO_PROXY_NAME,
                                  bypass ? Wide(*bypass) : WINHTTP_NO_PROXY_BYPASS, 0));
}

bool Win32Http::SetTimeoutOption(InternetHandle handle, std::uint32_t option, std::uint32_t milliseconds) {
  DWORD value = milliseconds;
  return WinHttpSetOption(ToInternet(handle), option, &value, sizeof value) != FALSE;
}

InternetHandle Win32Http::Connect(InternetHandle session, const std::u16string& host, std::uint16_t port) {
  return FromInternet(WinHttpConnect(ToInternet(session), Wide(host), port, 0));
}

InternetHandle Win32Http::OpenRequest(InternetHandle connection, const std::u16string& verb,
                                      const std::u16string& objectPath, std::uint32_t flags) {
  return FromInternet(WinHttpOpenRequest(ToInternet(connection), Wide(verb), Wide(objectPath), nullptr,
                                         WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
}

bool Win32Http::SendRequest(InternetHandle request, const std::u16string& headers) {
  return WinHttpSendRequest(ToInternet(request), Wide(headers), static_cast<DWORD>(-1L),
                            WINHTTP_NO_REQUEST_DATA, 0, 0, 0) != FALSE;
}

bool Win32Http::ReceiveResponse(InternetHandle request) {
  return WinHttpReceiveResponse(ToInternet(request), nullptr) != FALSE;
}

std::optional<std::uint32_t> Win32Http::StatusCode(InternetHandle request) {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (WinHttpQueryHeaders(ToInternet(request), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &value, &size, WINHTTP_NO_HEADER_INDEX) == FALSE) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::uint32_t> Win32Http::ProxyAuthSchemes(InternetHandle request) {
  DWORD supported = 0;
  DWORD first = 0;
  DWORD target = 0;
  if (WinHttpQueryAuthSchemes(ToInternet(request), &supported, &first, &target) == FALSE ||
      target != WINHTTP_AUTH_TARGET_PROXY) {
    return std::nullopt;
  }
  return supported;
}

bool Win32Http::UseLogonForProxy(InternetHandle request, std::uint32_t scheme) {
  return WinHttpSetCredentials(ToInternet(request), WINHTTP_AUTH_TARGET_PROXY, scheme, nullptr, nullptr,
                               nullptr) != FALSE;
}

static_assert(Http::kAuthBasic == WINHTTP_AUTH_SCHEME_BASIC && Http::kAuthNtlm == WINHTTP_AUTH_SCHEME_NTLM &&
              Http::kAuthPassport == WINHTTP_AUTH_SCHEME_PASSPORT &&
              Http::kAuthDigest == WINHTTP_AUTH_SCHEME_DIGEST &&
              Http::kAuthNegotiate == WINHTTP_AUTH_SCHEME_NEGOTIATE);

std::optional<std::u16string> Win32Http::HeaderText(InternetHandle request, std::uint32_t query) {
  std::array<wchar_t, kHeaderTextChars + 1> text{};
  DWORD size = sizeof text;
  if (WinHttpQueryHeaders(ToInternet(request), query, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size,
                          WINHTTP_NO_HEADER_INDEX) == FALSE) {
    return std::nullopt;
  }
  return std::u16string(reinterpret_cast<const char16_t*>(text.data()), size / sizeof(wchar_t));
}

std::uint32_t Win32Http::LastError() {
  return GetLastError();
}

std::string Win32Http::ErrorText(std::uint32_t code) {
  // WinHTTP's own codes have their texts in winhttp.dll, the others in the system.
  const bool own = code >= WINHTTP_ERROR_BASE && code < WINHTTP_ERROR_BASE + 1000;
  return SystemMessageText(code, own ? GetModuleHandleW(L"winhttp.dll") : nullptr).value_or(std::string());
}

std::optional<std::uint32_t> Win32Http::ReadData(InternetHandle request, void* buffer, std::uint32_t size) {
  DWORD read = 0;
  if (WinHttpReadData(ToInternet(request), buffer, size, &read) == FALSE) {
    return std::nullopt;
  }
  return read;
}

bool Win32Http::Close(InternetHandle handle) {
  return WinHttpCloseHandle(ToInternet(handle)) != FALSE;
}
