#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/handles.h"

struct SetupState;

// Opens the WinHTTP session of the downloads into `httpSession`: through the named proxy when its text is
// not blank, else without a proxy. A session that cannot be opened leaves none, so that the next run
// tries again.
// The named proxy detected from the system's settings goes with its bypass list.
void OpenHttpSession(SetupState& state, const std::string& proxyServer);

// For a session without a proxy on a machine whose settings are automatic (detection or a configuration
// script): asks the configuration for the proxy of the request's URL and sets it on the request; a URL
// the configuration sends direct leaves the request direct, and a configuration that cannot be found
// leaves this request and every later one direct.
void ApplyAutomaticProxy(SetupState& state, InternetHandle request, std::u16string_view objectPath);

// Logs the connection-failure line "Could not conact ..." for what failed ("Url" or "Server") and its
// detail, under the client tag. Returns 0.
int ReportConnectFailure(SetupState& state, std::string_view what, std::string_view detail);

// What a failed WinHTTP call met: "WinHTTP error CODE: " and the system's text for the code, without its
// line end (the code alone when the system has none).
std::string NetworkErrorText(SetupState& state, std::uint32_t code);
// Logs that text under the client tag.
void ReportNetworkError(SetupState& state, std::uint32_t code);
