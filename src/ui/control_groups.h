#pragma once

#include <array>
#include <string>
#include <string_view>

#include "platform/handles.h"

struct SetupContext;

// The groups of controls of the main dialog that are shown and hidden together.
inline constexpr int kClientGroup = 0x200;
inline constexpr int kServerGroup = 0x400;
inline constexpr std::array kClientGroupIds = {126, 116, 127, 120};
inline constexpr std::array kServerGroupIds = {128, 114, 115, 129, 125, 130, 117, 131,
                                               118, 132, 124, 134, 122, 135, 123};
inline constexpr std::array kSqlGroupIds = {132, 124, 134, 122, 135, 123};

// Shows and enables (or hides and disables) a control of the showing dialog; 0 when it has no such
// control. A combo box closes its list before it hides.
int ShowControl(SetupContext& context, int controlId, bool show);

// Shows or hides the client group (0x200) or, for any other value, the server group; detects the proxy
// first and shows the proxy pair only when a proxy is configured. Returns 1.
int ShowComponentControls(SetupContext& context, int group, bool show);

// Hides the SQL Server fields: a usable SQL Server is installed.
void HideSqlGroup(SetupContext& context);
// Shows or hides the SQL Server group.
void ShowSqlGroup(SetupContext& context, bool show);

// The proxy of the system's WinHTTP settings (the current user's settings only when the default settings
// cannot be read), into `proxyServer`; true when one is configured.
bool DetectProxy(SetupContext& context);

// A BitSize text adds its options bit and fills the client directory choices; any other text changes
// nothing. Returns 1.
int ApplyBitSize(SetupContext& context, std::string_view bitSize);
