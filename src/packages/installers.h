#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class ClientSetup;
struct SetupContext;

// What an installer's exit code says. Windows installers ask for a restart with 3010 or 1641, and a
// Visual C++ redistributable answers 1638 when a newer runtime is already there: each of these means the
// installation is in place.
enum class InstallerOutcome { installed, installedRestartNeeded, newerPresent, failed };
InstallerOutcome JudgeExitCode(std::uint32_t exitCode, bool runtimeRedistributable);

// The client's runtime redistributable from its update directory, silently; true when it is in place.
// A failure shows "VC_redist exited with code N".
bool RunClientRuntimeInstaller(ClientSetup& client);

// The start of an outside program failed: logs "CreateProcess failed (error): system text".
void ReportCreateProcessFailure(SetupContext& context, std::uint32_t error);
