#include "steps/actions/installer_run.h"

#include "core/command_text.h"
#include "core/path_text.h"
#include "core/port_guards.h"
#include "product/run_context.h"
#include "steps/actions/msi_installed.h"

namespace {

constexpr char kSilentSwitches[] = "/install /quiet /norestart";
constexpr char kMsiSwitches[] = " /quiet /norestart";
constexpr char kMsiProgram[] = "msiexec.exe";
constexpr char kMsiStart[] = "msiexec.exe /i ";
constexpr char kMsiInstall[] = "/i ";
constexpr char kRuntimeFailed[] = "VC_redist exited with code ";
constexpr char kInstallerCaption[] = "Installer";
constexpr char kCreateProcess[] = "CreateProcess";
constexpr char kNoMessage[] = "(no message)";
constexpr std::uint32_t kIconWarning = 0x30;  // MB_ICONWARNING
constexpr std::uint32_t kUnreadableExitCode = 1;
constexpr std::uint32_t kFileNotFound = 2;            // ERROR_FILE_NOT_FOUND
constexpr std::uint32_t kRestartRequired = 3010;      // ERROR_SUCCESS_REBOOT_REQUIRED
constexpr std::uint32_t kRestartInitiated = 1641;     // ERROR_SUCCESS_REBOOT_INITIATED
constexpr std::uint32_t kProductVersionNewer = 1638;  // ERROR_PRODUCT_VERSION

struct RunResult {
  bool started = false;
  std::uint32_t exitCode = 0;
  ActionResult notStarted;
};

// Starts the installer in its package's directory and waits for it without time-out.
RunResult RunAndWait(RunContext& run, const ProcessStart& start) {
  Processes& processes = run.machine.processes;
  std::uint32_t error = 0;
  const UniqueProcess process(processes, processes.Create(start, error));
  if (!process.IsOpen()) {
    return {false, 0, ReportCreateProcessFailure(run, error)};
  }
  processes.Wait(process.get(), Processes::kInfinite);
  return {true, processes.ExitCode(process.get()).value_or(kUnreadableExitCode), ActionResult::Done()};
}

// An installer started by its own path, its name the command line's first word.
ProcessStart InstallerStart(const std::string& program, std::string_view arguments,
                            const std::string& directory) {
  ProcessStart start;
  start.applicationName = program;
  start.commandLine = CommandLineOf(program, arguments);
  start.currentDirectory = directory;
  return start;
}

// Windows Installer from the system folder, with the package or product in double quotes, in `directory`
// (the system folder itself when none is given); nullopt when the system folder is not known (msiexec is
// never looked for elsewhere).
std::optional<ProcessStart> MsiexecStart(RunContext& run, std::string_view action, const std::string& target,
                                         const std::optional<std::string>& directory) {
  const std::optional<std::string> system = run.machine.files.KnownFolder(Files::kFolderSystem);
  if (!system) {
    return std::nullopt;
  }
  return InstallerStart(JoinPath(*system, kMsiProgram),
                        std::string(action) + "\"" + target + "\"" + kMsiSwitches,
                        directory.value_or(*system));
}

// Runs a start when there is one; a start that could not be composed is reported as a missing program.
RunResult RunIfComposed(RunContext& run, const std::optional<ProcessStart>& start) {
  if (!start) {
    return {false, 0, ReportCreateProcessFailure(run, kFileNotFound)};
  }
  return RunAndWait(run, *start);
}

// Whether the outcome leaves the installation in place; a restart it asks for is kept for the end of the run.
bool Installed(RunContext& run, InstallerOutcome outcome) {
  if (outcome == InstallerOutcome::installedRestartNeeded) {
    run.restartNeeded = true;
  }
  return outcome != InstallerOutcome::failed;
}

}  // namespace

InstallerOutcome JudgeExitCode(std::uint32_t exitCode, bool runtimeRedistributable) {
  if (exitCode == 0) {
    return InstallerOutcome::installed;
  }
  if (exitCode == kRestartRequired || exitCode == kRestartInitiated) {
    return InstallerOutcome::installedRestartNeeded;
  }
  if (exitCode == kProductVersionNewer && runtimeRedistributable) {
    return InstallerOutcome::newerPresent;
  }
  return InstallerOutcome::failed;
}

ActionResult ReportCreateProcessFailure(RunContext& run, std::uint32_t error) {
  const std::string text = run.machine.processes.SystemMessage(error).value_or(kNoMessage);
  const std::string line = std::string(kCreateProcess) + " failed (" + std::to_string(error) + "): " + text;
  WriteLog(run, LogTag::server, line);
  return ActionResult::Failed(kCreateProcess, error, line);
}

ActionResult RunClientRuntimeInstaller(RunContext& run, const std::string& updateDirectory,
                                       const std::string& installerName) {
  const RunResult ran = RunAndWait(
      run, InstallerStart(JoinPath(updateDirectory, installerName), kSilentSwitches, updateDirectory));
  if (!ran.started) {
    return ran.notStarted;
  }
  if (Installed(run, JudgeExitCode(ran.exitCode, true))) {
    return ActionResult::Done();
  }
  const std::string message = kRuntimeFailed + std::to_string(ran.exitCode);
  run.reporter.ShowMessage(message, kInstallerCaption, kIconWarning);
  return ActionResult::Failed(installerName, ran.exitCode, message);
}

ActionResult RunServerInstaller(RunContext& run, const std::string& updateDirectory,
                                const std::string& installerName) {
  const std::string package = JoinPath(updateDirectory, installerName);
  const bool msi = installerName.find("msi") != std::string::npos;
  // What the failure line quotes: the command before its switches.
  const std::string command = msi ? kMsiStart + ("\"" + package + "\"") : package;
  // The product is in the record before msiexec starts, when it is the run's.
  if (msi) {
    if (ActionResult recorded = BeforeInstallingMsi(run, package); !recorded) {
      WriteLog(run, LogTag::server, recorded.line);
      return recorded;
    }
  }
  const RunResult ran = RunIfComposed(run, msi ? MsiexecStart(run, kMsiInstall, package, updateDirectory)
                                               : InstallerStart(package, kSilentSwitches, updateDirectory));
  if (!ran.started) {
    return ran.notStarted;
  }
  // A Visual C++ redistributable among the server packages answers like the client's.
  if (Installed(run, JudgeExitCode(ran.exitCode, !msi))) {
    return ActionResult::Done();
  }
  WriteLog(run, LogTag::server, command);
  return ActionResult::Failed(msi ? kMsiProgram : installerName, ran.exitCode, command);
}

ActionResult RunMsiexec(RunContext& run, std::string_view action, const std::string& target,
                        std::uint32_t acceptedCode) {
  const RunResult ran = RunIfComposed(run, MsiexecStart(run, action, target, std::nullopt));
  if (!ran.started) {
    return ran.notStarted;
  }
  return ran.exitCode == acceptedCode || Installed(run, JudgeExitCode(ran.exitCode, false))
             ? ActionResult::Done()
             : ActionResult::Failed(kMsiProgram, ran.exitCode);
}
