#include "run/program.h"

#include <cstdlib>

#include "check/preflight.h"
#include "product/publisher_pins.h"
#include "run/exit_codes.h"
#include "run/maintenance.h"
#include "run/run_driver.h"

namespace {

constexpr char kRestartNeeded[] = "An installer asked for a restart of Windows to complete the setup";

}  // namespace

Program::Program(Machine& machine)
    : reporter(machine.dialogs),
      state(machine, reporter),
      steps(state),
      dialog(state, reporter, steps.sql, *this),
      passive(machine.dialogs, reporter) {
  state.publisherPins = BuiltPublisherPins();
}

void Program::RunSetup(const SetupChoices& choices) {
  End(::RunSetup(state, steps, choices));
}

void Program::RunMaintenance(const MaintenanceChoice& choice) {
  End(::RunMaintenance(state, steps, choice));
}

void Program::CheckSetup(const SetupChoices& choices) {
  const PreflightReport report = RunPreflight(state, steps.sql, choices, false);
  std::string text;
  for (const CheckLine& line : report.lines) {
    text.append(CheckLineText(line)).append(1, '\n');
  }
  text.append(1, '\n').append(ReportEndText(report));
  state.machine.dialogs.ShowMessageBox(
      reporter.dialogWindow, text, kInfoCaption,
      DialogView::kOk | (report.WouldGoAhead() ? DialogView::kIconInformation : DialogView::kIconWarning));
}

void Program::Cancel() {
  End(RunEnd{kExitCancelled, nullptr, nullptr, {}});
}

void Program::End(const RunEnd& end) {
  std::uint32_t exitCode = end.exitCode;
  if (end.logLine != nullptr) {
    // The person sees the same boxes; the exit code adds what the run did not do.
    exitCode = CompletedRunExitCode(state.failed.Any() || !end.shortfall.empty(), state.restartNeeded);
    dialog.EndDialog();
    if (state.restartNeeded) {
      WriteLog(state, LogTag::userInterface, kRestartNeeded);
    }
    WriteLog(state, LogTag::userInterface, end.logLine);
    if (!end.shortfall.empty()) {
      WriteLog(state, LogTag::userInterface, end.shortfall);
    }
  }
  state.record.EndRun();
  CloseLog(state);
  ReportRunEvents(state, end.events, exitCode);
  if (end.completion != nullptr) {
    ShowInfo(state, end.shortfall.empty() ? std::string(end.completion)
                                          : std::string(end.completion) + "\n\n" + end.shortfall);
  }
  // The helper starts only now, when nothing keeps the process any longer: it can then wait a fixed moment.
  // One that does not start leaves what it was to delete to Windows' next start.
  if (state.startAtEnd) {
    std::uint32_t error = 0;
    const UniqueProcess helper(state.machine.processes,
                               state.machine.processes.Create(*state.startAtEnd, error));
  }
  state.machine.runtime.ExitProcess(exitCode);
  std::abort();  // not reached: the process has ended
}
