#include "steps/download/http_session.h"

#include <string>

#include "core/blank_text.h"
#include "product/download_context.h"

namespace {

constexpr char16_t kUserAgent[] = u"Halvorn Nembric App v10.1";
constexpr std::uint32_t kConnectTimeout = 300000;    // 5 minutes
constexpr std::uint32_t kReceiveTimeout = 86400000;  // 24 hours

constexpr char kEstablishing[] = "Establishing Session";
constexpr char kWithoutProxy[] = "Established Session without Proxy:";
constexpr char kWithoutProxyFailed[] = "Failed Establishing Session without Proxy:";
constexpr char kWithProxy[] = "Established Session with Proxy:";
constexpr char kWithProxyFailed[] = "Failed Establishing Session with Proxy:";
constexpr char kCouldNotContact[] = "Could not conact ";
constexpr char kServerWhat[] = "Server";
constexpr char kServerMark[] = " Server:";
constexpr char kArrow[] = "->";
constexpr char kNetworkError[] = "WinHTTP error ";
constexpr char16_t kSecureScheme[] = u"https://";

bool HasNonBlank(std::string_view text) {
  return text.find_first_not_of(' ') != std::string_view::npos;
}

}  // namespace

void OpenHttpSession(DownloadContext& run, const std::string& proxyServer) {
  Http& http = run.machine.http;
  WriteLog(run, LogTag::server, kEstablishing);
  InternetHandle session = InternetHandle::none;
  const bool blank = IsBlankText(proxyServer);
  if (blank) {
    session = http.OpenSession(kUserAgent, Http::kAccessNoProxy, std::nullopt, std::nullopt);
    WriteLog(run, LogTag::server, session != InternetHandle::none ? kWithoutProxy : kWithoutProxyFailed);
  } else {
    const std::u16string proxy = run.machine.runtime.Utf8ToWide(proxyServer).value_or(u"");
    // The bypass list belongs to the detected proxy, not to one typed into the field.
    const std::optional<std::u16string> bypass =
        run.systemProxy.proxy == proxy ? run.systemProxy.bypass : std::nullopt;
    session = http.OpenSession(kUserAgent, Http::kAccessNamedProxy, proxy, bypass);
    WriteLog(run, LogTag::server, session != InternetHandle::none ? kWithProxy : kWithProxyFailed,
             proxyServer);
  }
  run.httpSession = session;
  run.proxyPerRequest = blank && run.systemProxy.Automatic();
  if (session != InternetHandle::none) {
    http.SetTimeoutOption(session, Http::kOptionConnectTimeout, kConnectTimeout);
    http.SetTimeoutOption(session, Http::kOptionReceiveTimeout, kReceiveTimeout);
  }
}

void ApplyAutomaticProxy(DownloadContext& run, InternetHandle request, std::u16string_view objectPath) {
  if (!run.proxyPerRequest) {
    return;
  }
  Http& http = run.machine.http;
  ProxySettings& system = run.systemProxy;
  if (system.Automatic()) {
    const std::u16string url = kSecureScheme +
                               run.machine.runtime.Utf8ToWide(run.downloadHost).value_or(u"") + u"/" +
                               std::u16string(objectPath);
    ProxySettings found;
    if (http.ProxyForUrl(run.httpSession, url, system, found)) {
      if (found.proxy) {
        http.SetRequestProxy(request, *found.proxy, found.bypass);
      }
      return;
    }
    // No configuration to be found (no WPAD server, a script out of reach): the later requests do not
    // search again.
    system.autoDetect = false;
    system.autoConfigUrl.reset();
  }
  // Then the named proxy the settings hold beside the automatic ones, as Windows goes on to it; without
  // one, the requests go direct.
  if (system.proxy) {
    http.SetRequestProxy(request, *system.proxy, system.bypass);
  } else {
    run.proxyPerRequest = false;
  }
}

std::string AuthSchemeNames(std::uint32_t schemes) {
  const std::pair<std::uint32_t, const char*> names[] = {{Http::kAuthNegotiate, "Negotiate"},
                                                         {Http::kAuthNtlm, "NTLM"},
                                                         {Http::kAuthDigest, "Digest"},
                                                         {Http::kAuthBasic, "Basic"},
                                                         {Http::kAuthPassport, "Passport"}};
  std::string text;
  for (const auto& [scheme, name] : names) {
    if ((schemes & scheme) != 0) {
      text += (text.empty() ? "" : ", ") + std::string(name);
    }
  }
  return text;
}

bool ReceiveAnsweringProxy(DownloadContext& run, InternetHandle request, const std::u16string& headers,
                           const LogTag* tag) {
  Http& http = run.machine.http;
  if (!http.ReceiveResponse(request)) {
    return false;
  }
  if (http.StatusCode(request) != kStatusProxyAuthentication) {
    return true;
  }
  const std::uint32_t offered = http.ProxyAuthSchemes(request).value_or(0);
  // The logged-on user's own credentials, by the scheme Windows prefers; never a name and password.
  const std::uint32_t logon = (offered & Http::kAuthNegotiate) != 0 ? Http::kAuthNegotiate
                              : (offered & Http::kAuthNtlm) != 0    ? Http::kAuthNtlm
                                                                    : 0;
  if (logon != 0 && http.UseLogonForProxy(request, logon)) {
    if (!http.SendRequest(request, headers) || !http.ReceiveResponse(request)) {
      return false;
    }
    if (http.StatusCode(request) != kStatusProxyAuthentication) {
      return true;
    }
  }
  if (tag != nullptr) {
    WriteLog(run, *tag, kProxyCredentials + AuthSchemeNames(offered));
  }
  return true;
}

std::string NetworkErrorText(DownloadContext& run, std::uint32_t code) {
  std::string line = kNetworkError + std::to_string(code);
  std::string text = run.machine.http.ErrorText(code);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
    text.pop_back();
  }
  if (!text.empty()) {
    line += ": " + text;
  }
  return line;
}

void ReportNetworkError(DownloadContext& run, std::uint32_t code) {
  WriteLog(run, LogTag::client, NetworkErrorText(run, code));
}

int ReportConnectFailure(DownloadContext& run, std::string_view what, std::string_view detail) {
  std::string line = kCouldNotContact;
  if (what == kServerWhat) {
    line += kServerMark;
  }
  if (HasNonBlank(what)) {
    line += what;
    line += kArrow;
  }
  if (HasNonBlank(what) || HasNonBlank(detail)) {
    line += detail;
    line += ' ';
  }
  WriteLog(run, LogTag::client, line);
  return 0;
}
