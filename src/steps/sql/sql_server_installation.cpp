#include "core/command_text.h"
#include "core/port_guards.h"
#include "product/setup_state.h"
#include "steps/sql/sql_server_setup.h"

namespace {

constexpr char kUpdateFolder[] = "Update";
constexpr char kSetupProgram[] = "\\SQLEXPR_x64_ENU.exe";
constexpr char kPasswordSwitch[] = "/SAPWD=";
constexpr char kStartFailed[] = "CreateProcess failed";
constexpr char kCreateProcess[] = "CreateProcess";
constexpr char kCreatePipe[] = "CreatePipe";
constexpr std::uint32_t kNameTooLong = 206;  // ERROR_FILENAME_EXCED_RANGE
constexpr char kInstalled[] = "Installed SQL Server";
constexpr std::uint32_t kPollMs = 100;
constexpr std::size_t kChunkBytes = 255;
constexpr std::size_t kWorkingDirectoryChars = 255;
constexpr std::size_t kCommandLineChars = 511;
constexpr double kBytesPerKiB = 1024;
// The SQL Server setup's exit code for an installation that is complete once Windows restarts.
constexpr std::uint32_t kExitRestartRequired = 3010;

}  // namespace

bool SqlServerSetup::Installed() const {
  return setupExitCode == 0U || setupExitCode == kExitRestartRequired;
}

bool SqlServerSetup::ChooseDataDrive() {
  Files& files = state_.machine.files;
  const std::uint32_t drives = files.LogicalDrives();
  double best = 0;
  std::string bestRoot;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    if ((drives & (1U << static_cast<unsigned>(letter - 'A'))) == 0) {
      continue;
    }
    const std::string root = std::string(1, letter) + ":\\";
    double freeGiB = 0;
    if (files.DriveType(root) == Files::kDriveFixed) {
      // Whole KiB, then GiB.
      freeGiB =
          static_cast<double>(files.DiskFreeBytes(root).value_or(0) >> 10U) / kBytesPerKiB / kBytesPerKiB;
    }
    // Ties keep the earlier drive; a drive that is not fixed counts as no space.
    if (freeGiB > best) {
      best = freeGiB;
      bestRoot = root;
    }
  }
  dataDrive = bestRoot;
  return true;
}

std::string SqlServerSetup::SqlSetupArguments(std::string_view password) const {
  std::string arguments = " /QS /IACCEPTSQLSERVERLICENSETERMS /SUPPRESSPRIVACYSTATEMENTNOTICE ";
  arguments += " /FEATURES=SQLEngine /SECURITYMODE=SQL ";
  // The password reaches the setup whole whatever it holds (blanks, quotes, backslashes).
  arguments += QuoteArgument(kPasswordSwitch + std::string(password));
  arguments += "  /ACTION=install";
  arguments += defaultInstanceFound == 0 ? " /INSTANCENAME=MSSQLSERVER" : " /INSTANCENAME=SQL19Express";
  arguments += " /SQLUSERDBDIR=" + dataDrive + "\\sqldata\\";
  arguments += " /SQLBACKUPDIR=" + dataDrive + "\\sqlbackup\\";
  return arguments;
}

std::string SqlServerSetup::BuildSqlSetupArguments(std::string_view password) {
  ChooseDataDrive();
  return SqlSetupArguments(password);
}

bool SqlServerSetup::LogSetupOutput(FileHandle read) {
  Processes& processes = state_.machine.processes;
  const std::optional<std::uint32_t> waiting = processes.BytesWaiting(read);
  if (!waiting || *waiting == 0) {
    return false;
  }
  const std::optional<std::string> chunk = processes.ReadPipe(read, kChunkBytes);
  if (!chunk || chunk->empty()) {
    return false;
  }
  // The chunk is one line of text, up to its first NUL.
  WriteLog(state_, LogTag::server, chunk->substr(0, chunk->find('\0')));
  return true;
}

ActionResult SqlServerSetup::InstallSqlServer() {
  setupExitCode.reset();
  Processes& processes = state_.machine.processes;
  const std::string workingDirectory = state_.choices.serverDirectory + kUpdateFolder;
  const std::string program = workingDirectory + kSetupProgram;
  const std::string commandLine = CommandLineOf(program, BuildSqlSetupArguments(state_.choices.sqlPassword));
  const std::optional<Pipe> pipe = processes.CreateOutputPipe();
  UniquePipeEnd read(processes, pipe ? pipe->read : FileHandle::none);
  UniquePipeEnd write(processes, pipe ? pipe->write : FileHandle::none);
  // Paths beyond the setup's limits are not cut into another program's command line.
  if (!pipe || workingDirectory.size() > kWorkingDirectoryChars || commandLine.size() > kCommandLineChars) {
    WriteLog(state_, LogTag::server, kStartFailed);
    return pipe ? ActionResult::Failed(kCreateProcess, kNameTooLong, kStartFailed)
                : ActionResult::Failed(kCreatePipe, 0, kStartFailed);
  }
  // The log shows the command line without the password.
  WriteLog(state_, LogTag::server, CommandLineOf(program, SqlSetupArguments(kMaskedSecret)));
  ProcessStart start;
  start.applicationName = program;
  start.commandLine = commandLine;
  start.currentDirectory = workingDirectory;
  start.inheritHandles = true;
  start.standardOutput = write.get();
  std::uint32_t error = 0;
  const UniqueProcess process(processes, processes.Create(start, error));
  write.Close();
  if (!process.IsOpen()) {
    WriteLog(state_, LogTag::server, kStartFailed);
    return ActionResult::Failed(kCreateProcess, error, kStartFailed);
  }
  for (;;) {
    // Anything but a time-out ends the wait for good, so a wait that fails cannot poll for ever.
    const bool running = processes.Wait(process.get(), kPollMs) == Processes::kWaitTimeout;
    // Each poll empties the pipe: it holds only a few KiB, and a setup that filled it would wait for the
    // next poll. After the end this reads what the setup wrote last.
    while (LogSetupOutput(read.get())) {
    }
    if (!running) {
      break;
    }
  }
  setupExitCode = processes.ExitCode(process.get());
  if (setupExitCode == kExitRestartRequired) {
    state_.restartNeeded = true;
  }
  WriteLog(state_, LogTag::sqlInstall, kInstalled);
  return ActionResult::Done();
}
