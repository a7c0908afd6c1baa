#include "plan/planning_machine.h"
#include "run/exit_codes.h"
#include "run/program.h"
#include "run/run_driver.h"
#include "steps/download/http_session.h"
#include "ui/control_groups.h"

namespace {

constexpr char kPlanNotWritten[] = "Could not write the plan to ";
constexpr char kPlanWithOthers[] = "/plan cannot go with /check or /layout";
constexpr char kPlanCaption[] = "What will change";
constexpr char kPlannedRunFailed[] = "The planned run would end with exit code ";
constexpr char kPlannedRunLog[] = "; its log:";
constexpr char kNothingPlanned[] = "Nothing would change.";
// A box taller than the screen would hide its OK button: the box shows this many lines, and says how many
// changes more the command line lists.
constexpr std::size_t kShownLines = 40;
constexpr char kMoreChanges[] = "... and ";
constexpr char kMoreChangesEnd[] =
    " more lines: NembricSetup.exe /plan with the same choices lists them all.";
// The show command of a run without a window.
constexpr int kHidden = 0;

}  // namespace

void Program::RunPlan(const RunSwitches& switches) {
  Machine& machine = state.machine;
  if (switches.check || switches.layoutPath) {
    Refuse(kPlanWithOthers);
  }
  // The run the other switches ask for, without a window, on a machine that keeps every change in memory.
  std::u16string commandLine = u"/quiet ";
  if (switches.answersPath) {
    commandLine += u"\"/answers=" + *switches.answersPath + u"\" ";
  }
  if (switches.undo) {
    commandLine += u"/undo ";
  }
  commandLine += switches.rest;
  PlanningMachine planning(machine);
  std::uint32_t exitCode = kExitSuccess;
  {
    Program planned(planning.machine());
    planned.state.planOnly = true;
    try {
      planned.Run(commandLine, kHidden);
    } catch (const PlannedRunEnded& ended) {
      exitCode = ended.exitCode;
    }
  }
  const std::vector<PlannedChange> changes = planning.Changes();
  // Why the run would not go through is in its log, which a plan keeps in memory: it is added to this
  // log (never in place of the last run's).
  if (exitCode != kExitSuccess && exitCode != kExitRestartNeeded) {
    state.log.append = true;
    WriteLog(state, LogTag::userInterface, kPlannedRunFailed + std::to_string(exitCode) + kPlannedRunLog);
    state.log.Append(state.startDirectory, planning.TextOf(LogFilePath(state.startDirectory)));
  }
  if (!switches.planPath) {
    machine.runtime.WriteStandardOutput(PlanText(changes));
    End(RunEnd{exitCode, nullptr, nullptr, {}});
  }
  const std::string path = machine.runtime.WideToUtf8(*switches.planPath).value_or("");
  UniqueFile file(machine.files, machine.files.Create(path, Files::kGenericWrite, 0, Files::kCreateAlways,
                                                      Files::kAttributeNormal));
  if (!file.IsOpen() || !machine.files.Write(file.get(), PlanJson(changes)) || !file.Close()) {
    machine.runtime.WriteStandardOutput(kPlanNotWritten + path + "\r\n");
    End(RunEnd{kExitComponentFailed, nullptr, nullptr, {}});
  }
  End(RunEnd{exitCode, nullptr, nullptr, {}});
}

void Program::PlanSetup(const SetupChoices& choices) {
  PlanningMachine planning(state.machine);
  {
    // The dialog's run of these choices, without its window or boxes, on the machine that keeps its
    // changes in memory.
    Program planned(planning.machine());
    planned.state.planOnly = true;
    planned.state.startDirectory = state.startDirectory;
    planned.state.runMode = state.runMode;
    planned.state.downloadHost = state.downloadHost;
    planned.state.packageSource = state.packageSource;
    planned.reporter.messageSink = [&planned](const std::string& text) {
      WriteLog(planned.state, planned.state.lastTag, text);
    };
    try {
      DetectProxy(planned.dialog.context);
      OpenHttpSession(planned.state, choices.proxyServer);
      planned.End(::RunSetup(planned.state, planned.steps, choices));
    } catch (const PlannedRunEnded&) {
    }
  }
  std::string text = PlanText(planning.Changes());
  std::size_t cut = 0;
  std::size_t lines = 0;
  for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; ++at) {
    if (++lines == kShownLines) {
      cut = at + 1;
    }
  }
  if (lines > kShownLines) {
    text = text.substr(0, cut) + kMoreChanges + std::to_string(lines - kShownLines) + kMoreChangesEnd;
  }
  state.machine.dialogs.ShowMessageBox(reporter.dialogWindow, text.empty() ? kNothingPlanned : text,
                                       kPlanCaption, DialogView::kOk | DialogView::kIconInformation);
}
