#include "core/path_text.h"
#include "core/utf8_text.h"
#include "product/setup_state.h"
#include "run/run_driver.h"
#include "steps/actions/key_made.h"
#include "steps/actions/setup_program_copied.h"
#include "steps/actions/shortcut_made.h"
#include "steps/actions/value_set.h"
#include "steps/toolkit/directory_helpers.h"
#include "steps/toolkit/product_registration.h"
#include "steps/toolkit/protected_folder.h"

namespace {

constexpr char kLinkExtension[] = ".lnk";

constexpr char kBeginning[] = "Begin updating Software";
constexpr char kModulePathCall[] = "GetModuleFileName";
constexpr char kCopyCall[] = "CopyFile";
constexpr char kEventSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\NembricSetup";
constexpr char kEventMessageFile[] = "EventMessageFile";
constexpr char kTypesSupported[] = "TypesSupported";
constexpr char kNoModulePath[] = "Failed to get module filename";
constexpr char kCopyFailed[] = "Copy failed";
constexpr char kErrorCaption[] = "Error";
constexpr char kCopyingTargets[] = "Copying Targets";
constexpr std::size_t kLinkNameChars = 260;
constexpr std::size_t kWorkingDirectoryChars = 259;

// The standard-output line of a failed copy, with the system's text for the code.
std::string CopyFailureLine(RunContext& run, std::uint32_t error) {
  std::string line = std::string(kCopyingTargets) + ": ";
  if (error == 0) {
    return line + "No error.\n";
  }
  line += "Error " + std::to_string(error);
  const std::optional<std::string> text = run.machine.processes.SystemMessage(error);
  return text ? line + ": " + *text + "\n" : line + " (no message found).\n";
}

// Copies the running program to the product folder, where the uninstall entries call it.
// The setup's event source in the Application log, with the installed program as its message file. Made
// with the shared part, it goes with it; only a change the record cannot name fails it (an event log that
// cannot be written leaves the events without their messages).
ActionResult RegisterSetupEventSource(RunContext& run) {
  constexpr RegistryKey kRoot = RegistryKey::localMachine;
  constexpr std::uint32_t kView = Registry::kView64;
  UniqueKey key(run.machine.registry);
  if (ActionResult made = MakeKey(run, kRoot, kView, kEventSourceKey, Registry::kWrite, key); !made) {
    return NotRecorded(made) ? made : ActionResult::Done();
  }
  const RegistryValue messageFile{Registry::kTypeString, std::string(kInstalledSetupProgram) + '\0'};
  // Error, warning and information events.
  const RegistryValue types{Registry::kTypeDword, std::string("\7\0\0\0", 4)};
  for (const auto& [name, value] :
       {std::pair{kEventMessageFile, messageFile}, std::pair{kTypesSupported, types}}) {
    if (ActionResult set = SetKeptValue(run, key, kRoot, kView, kEventSourceKey, name, value);
        NotRecorded(set)) {
      return set;
    }
  }
  return ActionResult::Done();
}

ActionResult PutSetupProgramInPlace(RunContext& run) {
  Machine& machine = run.machine;
  const std::optional<std::string> running = machine.files.ModulePath(kModulePathChars);
  if (!running) {
    run.reporter.ShowMessage(kNoModulePath, kErrorCaption, DialogView::kIconError);
    return ActionResult::Failed(kModulePathCall, 0, kNoModulePath);
  }
  std::string ignored;
  // The setup's own folder holds what the uninstall entries start elevated, the record and the copies of
  // what a run replaced: only administrators may change it.
  const FolderProtection protection{kInstalledSetupFolder, ProtectedFolderDacl(FolderReaders::users)};
  if (ActionResult refused = RefuseReparsePoint(run, LogTag::userInterface, kInstalledSetupFolder);
      !refused.ok()) {
    return refused;
  }
  if (ActionResult made =
          CreateDirectoryChainEx(machine, kInstalledSetupFolder, ignored, &run.record, &protection);
      NotRecorded(made)) {
    WriteLog(run, LogTag::userInterface, made.line);
    return made;
  }
  if (ActionResult secured =
          SecureFolder(run, LogTag::userInterface, kInstalledSetupFolder, FolderReaders::users);
      !secured.ok()) {
    return secured;
  }
  // Started from the product folder (a modify run from the entry), the program is already in place.
  if (SameName(*running, kInstalledSetupProgram)) {
    return ActionResult::Done();
  }
  // The copy there before (an earlier version's) is kept until the run commits; the copy is in the record
  // before it is made.
  ActionResult copied = CopySetupProgram(run, *running);
  if (NotRecorded(copied)) {
    return copied;
  }
  if (!copied) {
    const auto error = static_cast<std::uint32_t>(copied.code);
    const std::string line = CopyFailureLine(run, error);
    WriteOutput(run, line);
    run.reporter.ShowMessage(kCopyFailed, kErrorCaption, DialogView::kIconError);
    return ActionResult::Failed(kCopyCall, error, line);
  }
  return RegisterSetupEventSource(run);
}

// The client's shortcut: the AI client and the 64-bit client get one; the 32-bit client none.
ActionResult CreateClientShortcut(RunContext& run, const SetupChoices& choices) {
  const std::string& clientDirectory = choices.clientDirectory;
  // The client directory ends with a backslash after the client update: one separator before the program.
  std::string directory = clientDirectory;
  while (!directory.empty() && directory.back() == '\\') {
    directory.pop_back();
  }
  if (choices.bitSize == BitSize::aiClient) {
    return CreateShortcut(run, directory + "\\NembricAI.exe", "Halvorn NembricAI", clientDirectory);
  }
  if (choices.bitSize == BitSize::x64) {
    return CreateShortcut(run, directory + "\\Nembric10App.exe", "Halvorn Nembric v10.1", clientDirectory);
  }
  return ActionResult::Done();
}

// The registration is a component's last change: the component is committed with it, and neither a later
// component's failure nor a cut takes it back. The shared part (the setup program the entry calls) is
// committed with the first component. False, the component failed, when its registration could not be
// written whole or its commit written (the run takes it back).
bool RegisterAndCommit(RunContext& run, const SetupChoices& choices, ProductComponent component,
                       RecordScope scope, SetupOutcome& outcome) {
  run.record.scope = scope;
  if (const ActionResult registered = RegisterProduct(run, component, choices); !registered) {
    if (!registered.line.empty()) {
      WriteLog(run, scope == RecordScope::client ? LogTag::client : LogTag::server, registered.line);
    }
    MarkComponentFailed(run);
    return false;
  }
  if (!run.record.Commit(scope, !outcome.sharedCommitted)) {
    MarkComponentFailed(run);
    return false;
  }
  outcome.sharedCommitted = true;
  return true;
}

}  // namespace

SetupOutcome UpdateSoftware(SetupState& state, SetupComponents& steps, const SetupPlan& plan) {
  state.steps = plan.weights;
  state.progressTotal = plan.progressTotal;
  state.progressDone = 5 + 5 / state.progressTotal;
  state.reporter.ShowProgress(ProgressPercent(state.progressDone, state.progressTotal));
  WriteLog(state, LogTag::userInterface, kBeginning);

  // The actions in the plan's order, each under the component its changes are recorded for. A failed
  // client update does not stop the server, nor a failed server SQL Server Express; a component that
  // failed is not registered and gets no shortcut (the run takes it back at its end).
  SetupOutcome outcome;
  for (const PlannedAction action : plan.actions) {
    switch (action) {
      case PlannedAction::copySetupProgram:
        state.record.scope = RecordScope::shared;
        PutSetupProgramInPlace(state);
        break;
      case PlannedAction::updateClient:
        state.record.scope = RecordScope::client;
        if (!steps.client.UpdateClient(plan.clientPackages)) {
          MarkComponentFailed(state);
        }
        outcome.clientInstalled = !state.failed.client;
        break;
      case PlannedAction::registerClient:
        if (outcome.clientInstalled) {
          outcome.clientInstalled =
              RegisterAndCommit(state, state.choices, ProductComponent::client, RecordScope::client, outcome);
        }
        break;
      case PlannedAction::updateServer:
        state.record.scope = RecordScope::server;
        outcome.serverInstalled = steps.server.UpdateServer(plan.serverPackages) && !state.failed.server;
        break;
      case PlannedAction::registerServer:
        if (outcome.serverInstalled) {
          outcome.serverInstalled =
              RegisterAndCommit(state, state.choices, ProductComponent::server, RecordScope::server, outcome);
        }
        break;
      case PlannedAction::installSqlServer:
        state.record.scope = RecordScope::server;
        steps.sql.InstallSqlServer();
        outcome.sqlServerInstalled = steps.sql.Installed();
        break;
      case PlannedAction::createShortcut:
        if (outcome.clientInstalled) {
          state.record.scope = RecordScope::client;
          // A shortcut the record could not name first is not made, and the client fails; one that Windows
          // would not save is left out, as it always was.
          if (const ActionResult made = CreateClientShortcut(state, state.choices); NotRecorded(made)) {
            MarkComponentFailed(state);
            outcome.clientInstalled = false;
          }
        }
        break;
    }
  }
  // The packages held since their check have all run.
  state.heldPackages.clear();
  return outcome;
}

ActionResult CreateShortcut(RunContext& run, const std::string& target, const std::string& linkName,
                            const std::string& description) {
  Machine& machine = run.machine;
  // The dialog thread already runs COM in the multithreaded apartment; COM is only started (and stopped
  // again) on a thread that has none.
  const bool started = machine.runtime.InitializeCom(Runtime::kCoinitApartmentThreaded) >= 0;
  ActionResult result = [&] {
    std::unique_ptr<ShellLink> link;
    const std::int32_t created = machine.shell.CreateShellLink(link);
    if (created < 0 || !link) {
      return ActionResult::Failed("CoCreateInstance", created);
    }
    link->SetPath(target);
    link->SetDescription(description);
    const std::size_t lastSeparator = target.find_last_of('\\');
    const std::string folder = lastSeparator == std::string::npos ? target : target.substr(0, lastSeparator);
    link->SetWorkingDirectory(std::string(CutUtf8(folder, kWorkingDirectoryChars)));
    // A shortcut for every user, where Windows lists programs: the common Start menu's Programs folder,
    // under the link name with the extension that makes it a shortcut.
    const std::optional<std::string> programs = machine.files.KnownFolder(Files::kFolderCommonPrograms);
    if (!programs) {
      return ActionResult::Failed("SHGetFolderPath", 0);
    }
    const std::string path =
        JoinPath(*programs, std::string(CutUtf8(linkName, kLinkNameChars)) + kLinkExtension);
    const std::optional<std::u16string> name = machine.runtime.Utf8ToWide(path);
    if (!name || name->empty()) {
      return ActionResult::Failed("MultiByteToWideChar", 0);
    }
    return SaveShortcut(run, *link, path, *name);
  }();
  if (started) {
    machine.runtime.UninitializeCom();
  }
  return result;
}
