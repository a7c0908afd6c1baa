#include "run/program_entry.h"

#include <string>

#include "check/preflight.h"
#include "core/file_reading.h"
#include "core/path_text.h"
#include "core/utf8_text.h"
#include "plan/setup_plan.h"
#include "resources/resource.h"
#include "run/command_line.h"
#include "run/exit_codes.h"
#include "run/maintenance.h"
#include "run/program.h"
#include "run/run_driver.h"
#include "run/unattended.h"
#include "run/update_undo.h"
#include "steps/download/http_session.h"
#include "steps/download/source_package.h"
#include "steps/layout/offline_layout.h"
#include "steps/toolkit/mapped_drive.h"
#include "ui/control_groups.h"
#include "ui/dialog_choices.h"

namespace {

constexpr char kInvalidSwitch[] = "Invalid command line: ";
constexpr char kUnreadable[] = "the file cannot be read";
constexpr char kNoLayout[] = "/source= names no layout (a folder with downloads\\SHA256SUMS): ";
constexpr char kReportNotWritten[] = "The report cannot be written to ";
constexpr char kAnotherSetup[] =
    "Another Halvorn Nembric setup is running. Please wait until it has ended, then start this setup again";
// One setup at a time on the machine, in every session.
constexpr std::u16string_view kInstanceMutex = u"Global\\HalvornNembricSetup";

bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

// Drops the last unit when it is the first half of a pair that the cut separated.
std::u16string_view WithoutSplitPair(std::u16string_view text) {
  if (!text.empty() && IsHighSurrogate(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

std::string BoundedCommandLine(Runtime& runtime, std::u16string_view commandLine) {
  constexpr std::size_t kMaxBytes = kCommandLineWidth - 1;
  std::u16string_view wide = WithoutSplitPair(commandLine.substr(0, kMaxBytes));
  for (;;) {
    std::optional<std::string> utf8 = runtime.WideToUtf8(wide);
    if (!utf8) {
      return {};
    }
    if (utf8->size() <= kMaxBytes) {
      return *utf8;
    }
    // A character takes up to four bytes: give up whole characters until it fits.
    wide.remove_suffix(1);
    wide = WithoutSplitPair(wide);
  }
}

std::uintptr_t Program::Run(std::u16string_view commandLine, int showCommand) {
  Machine& machine = state.machine;
  state.startDirectory = machine.files.CurrentDirectory(kStartDirectoryWidth - 1).value_or(std::string());
  // The switches of an unattended run go first, so that their values (a path holding "install" or
  // "repair") never reach the run-mode keywords.
  const RunSwitches switches = SplitRunSwitches(commandLine);
  if (switches.logPath) {
    state.log.path = machine.runtime.WideToUtf8(*switches.logPath).value_or(std::string());
  }
  // A check changes nothing: its lines go after the last run's (or a running setup's), never in their place.
  state.log.append = switches.check;
  // A run without a person logs its boxes; /quiet wins over /passive.
  const bool unattended = switches.quiet || switches.passive;
  if (unattended || switches.layoutPath || switches.check) {
    reporter.messageSink = [this](const std::string& text) { WriteLog(state, state.lastTag, text); };
  }
  const std::string bounded = BoundedCommandLine(machine.runtime, switches.rest);
  SourceSwitch source = SplitSourceSwitch(bounded, kDownloadServerNameWidth - 1);
  if (source.host) {
    state.downloadHost = *source.host;
  }
  state.runMode = ParseRunMode(source.rest);
  if (switches.error) {
    WriteLog(state, LogTag::userInterface, kInvalidSwitch + *switches.error);
    End(RunEnd{kExitInvalidArguments, nullptr, nullptr, {}});
  }
  // A plan changes nothing and takes no turn: the run it plans claims nothing.
  if (switches.plan) {
    RunPlan(switches);
  }
  ChoosePackageSource(source.folder, bounded.find(kSourceSwitch) != std::string::npos);
  // A check changes nothing and takes no turn: it reports a setup that is running.
  const bool anotherSetup = switches.check && machine.runtime.NamedMutexExists(kInstanceMutex);
  if (!switches.check) {
    TakeTurn(unattended);
  }
  FieldTexts answers;
  if (switches.answersPath) {
    answers = ReadAnswers(machine.runtime.WideToUtf8(*switches.answersPath).value_or(std::string()));
  }
  StartCom();

  if (switches.check) {
    RunCheck(answers, machine.runtime.WideToUtf8(switches.checkPath.value_or(u"")).value_or(std::string()),
             anotherSetup);
  }
  if (switches.layoutPath) {
    RunLayout(answers, machine.runtime.WideToUtf8(*switches.layoutPath).value_or(std::string()));
  }
  if (unattended || switches.undo) {
    if (!switches.quiet) {
      ShowPassiveWindow(showCommand);
    }
    if (switches.undo) {
      RunUndo(TypeSwitchValue(source.rest));
    }
    RunUnattended(answers, TypeSwitchValue(source.rest));
  }
  return ShowDialog(answers, showCommand);
}

void Program::TakeTurn(bool unattended) {
  // A second setup leaves the running one alone: its log is added to, never started anew.
  if (!state.machine.runtime.ClaimNamedMutex(kInstanceMutex)) {
    state.log.append = true;
    // Without a person the box itself becomes the log line.
    if (!unattended) {
      WriteLog(state, LogTag::userInterface, kAnotherSetup);
    }
    reporter.ShowMessage(kAnotherSetup, kInfoCaption, DialogView::kIconInformation);
    End(RunEnd{kExitAnotherSetup, nullptr, nullptr, {}});
  }
}

void Program::StartCom() {
  Runtime& runtime = state.machine.runtime;
  if (ComFailed(runtime.InitializeCom(Runtime::kCoinitMultithreaded))) {
    WriteLog(state, LogTag::client, kComStartFailed);
    End(RunEnd{kStartFailureExitCode, nullptr, nullptr, {}});
  }
  if (ComFailed(runtime.InitializeSecurity(Runtime::kAuthnLevelConnect, Runtime::kImpLevelImpersonate))) {
    WriteLog(state, LogTag::client, kSecurityStartFailed);
    runtime.UninitializeCom();
    End(RunEnd{kStartFailureExitCode, nullptr, nullptr, {}});
  }
}

std::uintptr_t Program::ShowDialog(const std::map<int, std::string>& answers, int showCommand) {
  Machine& machine = state.machine;
  const int dialogId = UsesMaintenanceDialog(state.runMode) ? IDD_MAINTENANCE : IDD_SETUP;
  if (!CreateDialogOf(dialogId, dialog)) {
    // With no window nothing could ever end the message loop: the process would wait unseen for good and
    // keep its turn from every later setup. Say why in the log and end.
    WriteLog(state, LogTag::userInterface, kNoWindow + std::to_string(machine.dialogs.LastCreateError()));
    End(RunEnd{kStartFailureExitCode, nullptr, nullptr, {}});
  }
  if (dialogId == IDD_SETUP && !answers.empty()) {
    FillSetupFields(dialog.context, answers);
  }
  machine.dialogs.ShowWindow(reporter.dialogWindow, showCommand);
  // The maintenance dialog's buttons take Tab, Enter and Esc from the dialog manager; the main dialog's
  // fields handle their keys themselves (each is checked as it is left).
  return machine.dialogs.RunMessageLoop(
      IDR_ACCELERATORS, dialogId == IDD_MAINTENANCE ? reporter.dialogWindow : WindowHandle::none);
}

void Program::ShowPassiveWindow(int showCommand) {
  DialogView& view = state.machine.dialogs;
  // A passive run goes on without its window, as a quiet one does: nobody needs to answer it.
  if (CreateDialogOf(IDD_PASSIVE, passive)) {
    view.ShowWindow(reporter.dialogWindow, showCommand);
    view.UpdateWindow(reporter.dialogWindow);
  }
}

bool Program::CreateDialogOf(int resourceId, DialogEvents& events) {
  // The dialog's WM_INITDIALOG names its window to the reporter; a creation that failed after it leaves none.
  if (state.machine.dialogs.CreateDialogWindow(resourceId, events) == WindowHandle::none) {
    reporter.dialogWindow = WindowHandle::none;
  }
  return reporter.dialogWindow != WindowHandle::none;
}

std::map<int, std::string> Program::ReadAnswers(const std::string& path) {
  std::optional<std::string> text = ReadAnswerFile(state.machine, path);
  // A file that is no UTF-8 was saved in the system's code page, as older editors do.
  if (text && !Utf8ToUtf16(*text)) {
    text = state.machine.runtime.AnsiToUtf8(*text);
  }
  if (!text) {
    Refuse(AnswerFileErrorLine(path, {0, {}, kUnreadable}));
  }
  const std::variant<Answers, AnswerFileError> parsed = ParseAnswerFile(*text, AnswerKeys());
  if (const auto* error = std::get_if<AnswerFileError>(&parsed)) {
    Refuse(AnswerFileErrorLine(path, *error));
  }
  const Answers& answers = std::get<Answers>(parsed);
  if (const auto password = answers.find("SqlPassword"); password != answers.end()) {
    state.secrets.push_back(password->second.value);
  }
  std::variant<FieldTexts, std::string> texts = AnswerFieldTexts(answers, path);
  if (const auto* line = std::get_if<std::string>(&texts)) {
    Refuse(*line);
  }
  return std::get<FieldTexts>(std::move(texts));
}

void Program::Refuse(const std::string& line) {
  WriteLog(state, LogTag::userInterface, line);
  End(RunEnd{kExitInvalidArguments, nullptr, nullptr, {}});
}

void Program::ChoosePackageSource(const std::optional<std::string>& folder, bool sourceGiven) {
  Files& files = state.machine.files;
  const auto holdsLayout = [&files](const std::string& candidate) {
    return files.FileAttributes(JoinPath(JoinPath(candidate, kLayoutPackageFolder), kLayoutDigestList))
        .has_value();
  };
  if (folder) {
    if (!holdsLayout(*folder)) {
      // A share the signed-in user mapped to a letter is not there for the elevated setup: say so.
      if (const std::optional<std::string> drive = UnseenDrive(files, *folder)) {
        WriteLog(state, LogTag::userInterface, UnseenDriveLine(*folder, *drive));
      }
      WriteLog(state, LogTag::userInterface, kInvalidSwitch + std::string(kNoLayout) + *folder);
      End(RunEnd{kExitInvalidArguments, nullptr, nullptr, {}});
    }
    state.packageSource = *folder;
    return;
  }
  // A setup started from a layout reads the packages from it, unless the command line names a source.
  const std::string program = files.ModulePath(kModulePathChars).value_or(std::string());
  const std::size_t slash = program.find_last_of('\\');
  if (!sourceGiven && slash != std::string::npos && holdsLayout(program.substr(0, slash))) {
    state.packageSource = program.substr(0, slash);
  }
}

void Program::RunLayout(const std::map<int, std::string>& answers, const std::string& folder) {
  DetectProxy(dialog.context);
  std::optional<SetupChoices> choices;
  // The layout is for other machines: what this one holds does not take the SQL Server fields away.
  if (!answers.empty()) {
    choices = CheckedChoices(answers, false);
  }
  OpenHttpSession(state, choices ? choices->proxyServer : dialog.context.proxyServer);
  const std::string setupProgram = state.machine.files.ModulePath(kModulePathChars).value_or(std::string());
  const bool complete = BuildOfflineLayout(state, PlanLayoutPackages(choices), folder, setupProgram);
  End(RunEnd{complete ? kExitSuccess : kExitComponentFailed, nullptr, nullptr, {}});
}

void Program::RunUnattended(const std::map<int, std::string>& answers, const std::string& type) {
  DetectProxy(dialog.context);
  if (UsesMaintenanceDialog(state.runMode)) {
    MaintenanceChoice choice;
    choice.action = HasAny(state.runMode, RunMode::repair) ? MaintenanceChoice::Action::repair
                                                           : MaintenanceChoice::Action::uninstall;
    choice.client = type == kTypeClient || type == kTypeBoth;
    choice.server = type == kTypeServer || type == kTypeBoth;
    if (!choice.client && !choice.server) {
      Refuse(kInvalidSwitch + std::string(kTypeNeeded));
    }
    OpenHttpSession(state, dialog.context.proxyServer);
    End(::RunMaintenance(state, steps, choice));
  }
  const SetupChoices choices = CheckedChoices(answers, true);
  // Nothing is fetched or changed before the answers have passed every check.
  OpenHttpSession(state, choices.proxyServer);
  End(::RunSetup(state, steps, choices));
}

void Program::RunUndo(const std::string& type) {
  const bool all = type.empty() || type == kTypeBoth;
  if (!all && type != kTypeClient && type != kTypeServer) {
    Refuse(kInvalidSwitch + std::string(kUndoTypes));
  }
  End(RunUpdateUndo(state, all || type == kTypeClient, all || type == kTypeServer));
}

SetupChoices Program::CheckedChoices(const std::map<int, std::string>& answers, bool forThisMachine) {
  const FieldTexts texts = WithAnswers(DefaultFieldTexts(), answers);
  const auto text = [&texts](int id) {
    const auto found = texts.find(id);
    return found == texts.end() ? std::string() : found->second;
  };
  // As in the dialog, an installed SQL Server takes the SQL Server fields away.
  const bool installedSqlServer =
      forThisMachine && ChoosesServer(SetupTypeNamed(text(IDC_SETUP_TYPE))) && steps.sql.DetectSqlServer();
  if (const std::optional<InputError> error = CheckFieldTexts(texts, installedSqlServer)) {
    Refuse(error->message);
  }
  SetupChoices choices =
      ChoicesFromFields([&text](int id, std::size_t width) { return text(id).substr(0, width - 1); },
                        dialog.context.proxyServer);
  if (const std::optional<InputError> error = CheckChoices(choices)) {
    Refuse(error->message);
  }
  return choices;
}

void Program::RunCheck(const std::map<int, std::string>& answers, const std::string& jsonPath,
                       bool anotherSetup) {
  DetectProxy(dialog.context);
  const SetupChoices choices = CheckedChoices(answers, true);
  OpenHttpSession(state, choices.proxyServer);
  const PreflightReport report = RunPreflight(state, steps.sql, choices, anotherSetup);
  for (const CheckLine& line : report.lines) {
    WriteLog(state, LogTag::check, CheckLineText(line));
    WriteOutput(state, CheckLineText(line).append("\r\n"));
  }
  WriteLog(state, LogTag::check, ReportEndText(report));
  WriteOutput(state, ReportEndText(report).append("\r\n"));
  bool written = true;
  if (!jsonPath.empty()) {
    written = WriteWholeFile(state.machine.files, jsonPath, PreflightJson(state, report));
    if (!written) {
      std::string line = kReportNotWritten;
      line.append(jsonPath);
      WriteLog(state, LogTag::check, line);
      WriteOutput(state, line.append("\r\n"));
    }
  }
  End(RunEnd{report.WouldGoAhead() && written ? kExitSuccess : kExitComponentFailed, nullptr, nullptr, {}});
}
