#pragma once

#include <string_view>

struct SetupContext;

// Opens the WinHTTP session of the downloads into `httpSession`: through the named proxy of `proxyServer`
// when that text is not blank, else without a proxy. A session that cannot be opened leaves none, so that
// the next run tries again.
void OpenHttpSession(SetupContext& context);

// Logs the connection-failure line "Could not conact ..." for what failed ("Url" or "Server") and its
// detail, under the client tag. Returns 0.
int ReportConnectFailure(SetupContext& context, std::string_view what, std::string_view detail);
