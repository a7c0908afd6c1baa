#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/action_result.h"

struct SetupState;

// What an installer's exit code says. Windows installers ask for a restart with 3010 or 1641, and a
// Visual C++ redistributable answers 1638 when a newer runtime is already there: each of these means the
// installation is in place.
enum class InstallerOutcome { installed, installedRestartNeeded, newerPresent, failed };
InstallerOutcome JudgeExitCode(std::uint32_t exitCode, bool runtimeRedistributable);

// The client's runtime redistributable from the update directory, silently; done when it is in place.
// A failure shows "VC_redist exited with code N" (the installer that failed, with its exit code), or logs
// the start that failed (CreateProcess with its error).
ActionResult RunClientRuntimeInstaller(SetupState& state, const std::string& updateDirectory,
                                       const std::string& installerName);

// A server installer package from the update directory, silently (msiexec for an MSI package); done when
// it is in place. A failure logs the command it ran (the installer with its exit code), or the start that
// failed.
ActionResult RunServerInstaller(SetupState& state, const std::string& updateDirectory,
                                const std::string& installerName);

// Removes a Windows Installer product (msiexec /x with its product code, or with its package), silently;
// done when it is gone, or was not there.
ActionResult RemoveInstallerPackage(SetupState& state, const std::string& product);

// The ProductCode of a package's Property table; nullopt when it cannot be read or is no product code.
std::optional<std::string> ProductCodeOf(SetupState& state, const std::string& package);
// A product code: a GUID in braces, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with hex digits.
bool IsProductCode(const std::string& text);

// The start of an outside program failed: logs "CreateProcess failed (error): system text", and is that
// failure.
ActionResult ReportCreateProcessFailure(SetupState& state, std::uint32_t error);
