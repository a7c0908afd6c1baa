#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/handles.h"
#include "product/setup_log.h"

struct DownloadContext;

// Opens the WinHTTP session of the downloads into `httpSession`: through the named proxy when its text is
// not blank, else without a proxy. A session that cannot be opened leaves none, so that the next run
// tries again.
// The named proxy detected from the system's settings goes with its bypass list.
void OpenHttpSession(DownloadContext& run, const std::string& proxyServer);

// For a session without a proxy on a machine whose settings are automatic (detection or a configuration
// script): asks the configuration for the proxy of the request's URL and sets it on the request; a URL
// the configuration sends direct leaves the request direct. A configuration that cannot be found is not
// searched for again: this request and every later one go through the named proxy of the same settings,
// as Windows goes on to it, or direct when there is none.
void ApplyAutomaticProxy(DownloadContext& run, InternetHandle request, std::u16string_view objectPath);

// What a proxy that asks who the setup is (407) is told it cannot have: the setup answers with the logged-on
// user's Windows logon (Negotiate or NTLM) alone. The schemes the proxy offers follow.
inline constexpr char kProxyCredentials[] = "The proxy asks for credentials the setup cannot give: ";
inline constexpr std::uint32_t kStatusProxyAuthentication = 407;

// The names of the authentication schemes in `schemes` ("Negotiate, NTLM", "Basic").
std::string AuthSchemeNames(std::uint32_t schemes);

// Receives the response of a request sent with `headers`. A proxy that asks who the setup is (407) and
// takes the Windows logon (Negotiate, else NTLM) gets the logged-on user's credentials, and the request is
// sent once more and its response received. A proxy that asks for anything else (Basic), or refuses the
// logon, is named in the log under `tag` when one is given ("The proxy asks for credentials the setup
// cannot give: SCHEMES"), and the response stays its 407. False when no response came (LastError says why).
bool ReceiveAnsweringProxy(DownloadContext& run, InternetHandle request, const std::u16string& headers,
                           const LogTag* tag);

// Logs the connection-failure line "Could not conact ..." for what failed ("Url" or "Server") and its
// detail, under the client tag. Returns 0.
int ReportConnectFailure(DownloadContext& run, std::string_view what, std::string_view detail);

// What a failed WinHTTP call met: "WinHTTP error CODE: " and the system's text for the code, without its
// line end (the code alone when the system has none).
std::string NetworkErrorText(DownloadContext& run, std::uint32_t code);
// Logs that text under the client tag.
void ReportNetworkError(DownloadContext& run, std::uint32_t code);
