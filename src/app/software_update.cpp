#include "app/path_text.h"
#include "app/run_driver.h"
#include "app/setup_context.h"
#include "app/setup_log.h"
#include "packages/directory_helpers.h"
#include "packages/product_registration.h"
#include "resources/resource.h"

namespace {

constexpr char kBeginning[] = "Begin updating Software";
constexpr char kNoModulePath[] = "Failed to get module filename";
constexpr char kCopyFailed[] = "Copy failed";
constexpr char kErrorCaption[] = "Error";
constexpr char kCopyingTargets[] = "Copying Targets";
constexpr char kServerNotBuilt[] =
    "Server update is not available in this version of the setup program: the server was not installed";
constexpr char kSqlNotBuilt[] =
    "SQL Server Express installation is not available in this version of the setup program: SQL Server was "
    "not installed";
constexpr std::size_t kModulePathChars = 260;
constexpr std::uint32_t kComponentClient = 0x200;
constexpr std::size_t kLinkNameChars = 260;
constexpr std::size_t kWorkingDirectoryChars = 259;

// The standard-output line of a failed copy, with the system's text for the code.
std::string CopyFailureLine(SetupContext& context, std::uint32_t error) {
  std::string line = std::string(kCopyingTargets) + ": ";
  if (error == 0) {
    return line + "No error.\n";
  }
  line += "Error " + std::to_string(error);
  const std::optional<std::string> text = context.machine.processes.SystemMessage(error);
  return text ? line + ": " + *text + "\n" : line + " (no message found).\n";
}

// Copies the running program to the product folder, where the uninstall entries call it.
void CopySetupProgram(SetupContext& context) {
  Machine& machine = context.machine;
  const std::optional<std::string> running = machine.files.ModulePath(kModulePathChars);
  if (!running) {
    machine.dialogs.ShowMessageBox(WindowHandle::none, kNoModulePath, kErrorCaption, DialogView::kIconError);
    return;
  }
  std::string ignored;
  CreateDirectoryChainEx(machine, kInstalledSetupFolder, ignored);
  // Started from the product folder (a modify run from the entry), the program is already in place.
  if (SameName(*running, kInstalledSetupProgram)) {
    return;
  }
  std::uint32_t error = 0;
  if (!machine.files.CopyTo(*running, kInstalledSetupProgram, error)) {
    machine.runtime.WriteStandardOutput(CopyFailureLine(context, error));
    machine.dialogs.ShowMessageBox(WindowHandle::none, kCopyFailed, kErrorCaption, DialogView::kIconError);
  }
}

}  // namespace

int UpdateSoftware(SetupContext& context) {
  context.stepClientRuntime = 3;
  context.stepClientPackage = 3;
  context.stepServerDownload = 10;
  context.stepServerExtract = 5;
  context.stepSqlDownload = 15;
  context.stepWebsite = 10;
  context.progressTotal = 5;
  if ((context.options & kOptionClient) != 0) {
    context.progressTotal = 14;
  }
  if ((context.options & kOptionServer) != 0) {
    context.progressTotal += 25;
  }
  if ((context.options & kOptionInstallSqlExpress) != 0) {
    context.progressTotal += 30;
  }
  context.progressDone = 5 + 5 / context.progressTotal;
  context.machine.dialogs.SetProgressPosition(context.dialogWindow, IDC_PROGRESS_BAR,
                                              ProgressPercent(context.progressDone, context.progressTotal));
  WriteLog(context, kLogUserInterface, kBeginning);
  CopySetupProgram(context);

  if ((context.options & kOptionClient) != 0 && context.clientSetup->UpdateClient()) {
    RegisterProduct(context, kComponentClient);
  }
  // The server update and the SQL Server Express installation come with a later version; a run that asks
  // for them says plainly that they were not done.
  if ((context.options & kOptionServer) != 0) {
    WriteLog(context, kLogServer, kServerNotBuilt);
  }
  if ((context.options & kOptionInstallSqlExpress) != 0) {
    WriteLog(context, kLogSqlInstall, kSqlNotBuilt);
  }
  return 1;
}

int CreateShortcut(SetupContext& context, const std::string& target, const std::string& linkName,
                   const std::string& description) {
  Machine& machine = context.machine;
  // The dialog thread already runs COM in the multithreaded apartment; COM is only started (and stopped
  // again) on a thread that has none.
  const bool started = machine.runtime.InitializeCom(Runtime::kCoinitApartmentThreaded) >= 0;
  int saved = 0;
  {
    std::unique_ptr<ShellLink> link;
    if (machine.shell.CreateShellLink(link) >= 0 && link) {
      link->SetPath(target);
      link->SetDescription(description);
      const std::size_t lastSeparator = target.find_last_of('\\');
      const std::string folder =
          lastSeparator == std::string::npos ? target : target.substr(0, lastSeparator);
      link->SetWorkingDirectory(folder.substr(0, kWorkingDirectoryChars));
      const std::u16string name =
          machine.runtime.AnsiToWide(linkName.substr(0, kLinkNameChars)).value_or(u"");
      saved = link->Save(name, true) >= 0 ? 1 : 0;
    }
  }
  if (started) {
    machine.runtime.UninitializeCom();
  }
  return saved;
}
