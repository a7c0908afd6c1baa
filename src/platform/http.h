#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/handles.h"

// The proxy settings of the system or of the current user, or the proxy found for one URL: a named proxy
// with its bypass list, and for the user's settings the automatic configuration (detection through WPAD,
// or a configuration script's address).
struct ProxySettings {
  std::optional<std::u16string> proxy;
  std::optional<std::u16string> bypass;
  bool autoDetect = false;
  std::optional<std::u16string> autoConfigUrl;
  bool Automatic() const { return autoDetect || autoConfigUrl.has_value(); }
};

// WinHTTP as the system reaches it. Texts are UTF-16; every text WinHTTP hands out is freed by the adapter.
// Session, connection and request handles are InternetHandle values; each one opened is closed with Close.
class Http {
 public:
  // Access types of WinHttpOpen.
  static constexpr std::uint32_t kAccessNoProxy = 1;     // WINHTTP_ACCESS_TYPE_NO_PROXY
  static constexpr std::uint32_t kAccessNamedProxy = 3;  // WINHTTP_ACCESS_TYPE_NAMED_PROXY
  // Request flags of WinHttpOpenRequest.
  static constexpr std::uint32_t kFlagSecure = 0x800000;  // WINHTTP_FLAG_SECURE
  static constexpr std::uint32_t kFlagRefresh = 0x100;    // WINHTTP_FLAG_REFRESH
  // Options of WinHttpSetOption.
  static constexpr std::uint32_t kOptionConnectTimeout = 3;  // WINHTTP_OPTION_CONNECT_TIMEOUT
  static constexpr std::uint32_t kOptionReceiveTimeout = 6;  // WINHTTP_OPTION_RECEIVE_TIMEOUT
  static constexpr std::uint16_t kHttpsPort = 443;           // INTERNET_DEFAULT_HTTPS_PORT
  // Headers of WinHttpQueryHeaders read as numbers.
  static constexpr std::uint32_t kQueryContentLength = 5;  // WINHTTP_QUERY_CONTENT_LENGTH
  static constexpr std::uint32_t kQueryRetryAfter = 36;    // WINHTTP_QUERY_RETRY_AFTER
  // Authentication schemes of WinHttpQueryAuthSchemes and WinHttpSetCredentials.
  static constexpr std::uint32_t kAuthBasic = 1;       // WINHTTP_AUTH_SCHEME_BASIC
  static constexpr std::uint32_t kAuthNtlm = 2;        // WINHTTP_AUTH_SCHEME_NTLM
  static constexpr std::uint32_t kAuthPassport = 4;    // WINHTTP_AUTH_SCHEME_PASSPORT
  static constexpr std::uint32_t kAuthDigest = 8;      // WINHTTP_AUTH_SCHEME_DIGEST
  static constexpr std::uint32_t kAuthNegotiate = 16;  // WINHTTP_AUTH_SCHEME_NEGOTIATE

  Http() = default;
  Http(const Http&) = delete;
  Http& operator=(const Http&) = delete;
  virtual ~Http() = default;

  // WinHttpGetDefaultProxyConfiguration (the machine's `netsh winhttp` proxy): false when the call fails;
  // otherwise the named proxy and its bypass list, each nullopt when the configuration names none.
  virtual bool DefaultProxy(ProxySettings& settings) = 0;
  // WinHttpGetIEProxyConfigForCurrentUser: the current user's Internet settings, automatic ones included.
  virtual bool UserProxy(ProxySettings& settings) = 0;
  // WinHttpGetProxyForUrl with the automatic settings of `automatic` (detection, configuration script,
  // or both): the proxy and bypass list the configuration gives for `url` (none: go direct); false when
  // no proxy configuration could be found or run.
  virtual bool ProxyForUrl(InternetHandle session, const std::u16string& url, const ProxySettings& automatic,
                           ProxySettings& found) = 0;
  // WinHttpSetOption with WINHTTP_OPTION_PROXY on a request: the named proxy and its bypass list.
  virtual bool SetRequestProxy(InternetHandle request, const std::u16string& proxy,
                               const std::optional<std::u16string>& bypass) = 0;

  // WinHttpOpen, synchronous; `proxy` and `bypass` only with the named-proxy access type.
  virtual InternetHandle OpenSession(const std::u16string& userAgent, std::uint32_t accessType,
                                     const std::optional<std::u16string>& proxy,
                                     const std::optional<std::u16string>& bypass) = 0;
  // WinHttpSetOption with a time-out in milliseconds.
  virtual bool SetTimeoutOption(InternetHandle handle, std::uint32_t option, std::uint32_t milliseconds) = 0;
  // WinHttpConnect.
  virtual InternetHandle Connect(InternetHandle session, const std::u16string& host, std::uint16_t port) = 0;
  // WinHttpOpenRequest with the default HTTP version, no referrer and no accept types.
  virtual InternetHandle OpenRequest(InternetHandle connection, const std::u16string& verb,
                                     const std::u16string& objectPath, std::uint32_t flags) = 0;
  // WinHttpSendRequest with additional headers (length left to WinHTTP) and no body.
  virtual bool SendRequest(InternetHandle request, const std::u16string& headers) = 0;
  // WinHttpReceiveResponse.
  virtual bool ReceiveResponse(InternetHandle request) = 0;
  // WinHttpQueryHeaders of the status code as a number; nullopt when there is none.
  virtual std::optional<std::uint32_t> StatusCode(InternetHandle request) = 0;
  // WinHttpQueryHeaders of one header as text (not as WINHTTP_QUERY_FLAG_NUMBER, which gives only 32 bits,
  // while a package's Content-Length may pass 4 GiB); nullopt when the response has none, or one longer
  // than kHeaderTextChars characters.
  static constexpr std::size_t kHeaderTextChars = 64;
  virtual std::optional<std::u16string> HeaderText(InternetHandle request, std::uint32_t query) = 0;
  // GetLastError after a failed call of this port, and FormatMessage's text for such a code (from
  // winhttp.dll for WinHTTP's own codes); empty when the system has no text.
  // WinHttpQueryAuthSchemes of a response that asks for authentication: the schemes offered, when it is
  // the proxy that asks (status 407); nullopt otherwise, or when they cannot be read.
  virtual std::optional<std::uint32_t> ProxyAuthSchemes(InternetHandle request) = 0;
  // WinHttpSetCredentials for the proxy, with one of the schemes it offered and neither name nor password:
  // the logged-on user's own credentials (Negotiate or NTLM), for the next send of the request.
  virtual bool UseLogonForProxy(InternetHandle request, std::uint32_t scheme) = 0;
  virtual std::uint32_t LastError() = 0;
  virtual std::string ErrorText(std::uint32_t code) = 0;
  // WinHttpReadData: the count read (0 at the end of the response), nullopt when the read fails.
  virtual std::optional<std::uint32_t> ReadData(InternetHandle request, void* buffer, std::uint32_t size) = 0;
  // WinHttpCloseHandle.
  virtual bool Close(InternetHandle handle) = 0;
};
