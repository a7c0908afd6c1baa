#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct SetupState;

// Opens the WinHTTP session of the downloads into `httpSession`: through the named proxy when its text is
// not blank, else without a proxy. A session that cannot be opened leaves none, so that the next run
// tries again.
void OpenHttpSession(SetupState& state, const std::string& proxyServer);

// Logs the connection-failure line "Could not conact ..." for what failed ("Url" or "Server") and its
// detail, under the client tag. Returns 0.
int ReportConnectFailure(SetupState& state, std::string_view what, std::string_view detail);

// Logs, under the client tag, the line that says what a failed WinHTTP call met: "WinHTTP error CODE: " and
// the system's text for the code (the code alone when the system has none).
void ReportNetworkError(SetupState& state, std::uint32_t code);
