#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/action_result.h"

struct RunContext;

// What an installer's exit code says. Windows installers ask for a restart with 3010 or 1641, and a
// Visual C++ redistributable answers 1638 when a newer runtime is already there: each of these means the
// installation is in place.
enum class InstallerOutcome { installed, installedRestartNeeded, newerPresent, failed };
InstallerOutcome JudgeExitCode(std::uint32_t exitCode, bool runtimeRedistributable);

// The client's runtime redistributable from the update directory, silently; done when it is in place.
// A failure shows "VC_redist exited with code N" (the installer that failed, with its exit code), or logs
// the start that failed (CreateProcess with its error).
ActionResult RunClientRuntimeInstaller(RunContext& run, const std::string& updateDirectory,
                                       const std::string& installerName);

// A server installer package from the update directory, silently (msiexec for an MSI package); done when
// it is in place. A failure logs the command it ran (the installer with its exit code), or the start that
// failed.
ActionResult RunServerInstaller(RunContext& run, const std::string& updateDirectory,
                                const std::string& installerName);

// msiexec from the system folder with the action ("/x ") and the product or package in double quotes,
// silently; done when it ends with 0, a restart asked for, or `acceptedCode`. A failure logs the start that
// failed, or is msiexec with its exit code.
ActionResult RunMsiexec(RunContext& run, std::string_view action, const std::string& target,
                        std::uint32_t acceptedCode);

// The start of an outside program failed: logs "CreateProcess failed (error): system text", and is that
// failure.
ActionResult ReportCreateProcessFailure(RunContext& run, std::uint32_t error);
