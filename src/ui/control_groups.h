#pragma once

#include <array>
#include <string_view>

struct DialogContext;

// The groups of controls of the main dialog that are shown and hidden together.
enum class ControlGroup { client, server };
inline constexpr std::array kClientGroupIds = {126, 116, 127, 120};
inline constexpr std::array kServerGroupIds = {128, 114, 115, 129, 125, 130, 117, 131,
                                               118, 132, 124, 134, 122, 135, 123};
inline constexpr std::array kSqlGroupIds = {132, 124, 134, 122, 135, 123};

// Shows and enables (or hides and disables) a control of the showing dialog, when it has one. A combo box
// closes its list before it hides.
void ShowControl(DialogContext& ui, int controlId, bool show);

// Shows or hides the client or the server group; detects the proxy first and shows the proxy pair only
// when a proxy is configured.
void ShowComponentControls(DialogContext& ui, ControlGroup group, bool show);

// Shows or hides the SQL Server group.
void ShowSqlGroup(DialogContext& ui, bool show);

// The proxy of the system's settings: the machine's WinHTTP proxy, else (when the machine names none or
// its settings cannot be read) the current user's named proxy or automatic configuration. A named proxy
// goes into `proxyServer`, what label 137 shows into `proxyLabel`, the settings into the run's
// `systemProxy`; true when one is configured.
bool DetectProxy(DialogContext& ui);

// A BitSize text fills the client directory choices of its build; any other text changes nothing.
void ApplyBitSize(DialogContext& ui, std::string_view bitSize);
