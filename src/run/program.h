#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "product/setup_state.h"
#include "run/command_line.h"
#include "run/setup_components.h"
#include "ui/dialog_reporter.h"
#include "ui/passive_window.h"
#include "ui/run_requests.h"
#include "ui/setup_dialog.h"

// The whole program: the setup state, the steps and the dialogs, from the entry to the end of the process.
// The exe keeps one for the life of the process; it is never copied. Every road ends the process here.
class Program final : public RunRequests {
 public:
  explicit Program(Machine& machine);

  // From the entry to the end of the message loop: start directory, download host and run mode from the
  // command line, COM and process security, the main or the maintenance dialog, and the loop. Returns the
  // wParam of the message that ended the loop; a failed COM or security start, or a dialog that cannot be
  // created, ends the process with kStartFailureExitCode.
  std::uintptr_t Run(std::u16string_view commandLine, int showCommand);

  void RunSetup(const SetupChoices& choices) override;
  void RunMaintenance(const MaintenanceChoice& choice) override;
  // The pre-flight report of the dialog's choices in a box over the dialog, which stays. This setup holds
  // the turn, so no other setup of its kind can be running; the log keeps the run's own lines.
  void CheckSetup(const SetupChoices& choices) override;
  // What a run of the dialog's choices would change, in a box over the dialog, which stays: that run
  // without its window, on a machine that keeps every change in memory.
  void PlanSetup(const SetupChoices& choices) override;
  void Cancel() override;

  // The end of every road: a run that went to its end hides the dialog, logs its last line (after saying
  // that a restart is needed when an installer asked for one); then the log is closed, the completion box
  // shown, and the process ends with the run's exit code.
  [[noreturn]] void End(const RunEnd& end);

  DialogReporter reporter;
  SetupState state;
  SetupComponents steps;
  SetupDialog dialog;
  PassiveWindow passive;

 private:
  // The answer file as field texts; a file that cannot be read, parsed or used ends the run (Refuse).
  std::map<int, std::string> ReadAnswers(const std::string& path);
  // Logs why the command line or the answers are refused and ends with kExitInvalidArguments.
  [[noreturn]] void Refuse(const std::string& line);
  // A run without a window: the answers over the dialog's defaults, the dialog's checks, then the setup;
  // or the maintenance of the /type= components. Never returns.
  [[noreturn]] void RunUnattended(const std::map<int, std::string>& answers, const std::string& type);
  // /undo of the /type= component, or of both without one. Never returns.
  [[noreturn]] void RunUndo(const std::string& type);
  // The main dialog's checks of the answers (Refuse when one fails): the choices an unattended run, a
  // check or a layout works with. `forThisMachine`: a SQL Server installed here takes its fields away, as
  // in the dialog (a layout is for other machines).
  SetupChoices CheckedChoices(const std::map<int, std::string>& answers, bool forThisMachine);
  // The pre-flight report of the choices, each line logged and written to standard output; as JSON to
  // `jsonPath` when one is given. Ends with kExitSuccess when the run would go ahead, else
  // kExitComponentFailed (also when the JSON file cannot be written).
  [[noreturn]] void RunCheck(const std::map<int, std::string>& answers, const std::string& jsonPath,
                             bool anotherSetup);
  // Takes this setup's turn; a second setup says another is running and ends with kExitAnotherSetup.
  void TakeTurn(bool unattended);
  // COM and process security; a failure of either ends the process with kStartFailureExitCode.
  void StartCom();
  // The main or the maintenance dialog (the answers in its fields), shown, and its message loop.
  std::uintptr_t ShowDialog(const std::map<int, std::string>& answers, int showCommand);
  // The plan of the run the other switches ask for: that run, without a window, on a machine that keeps
  // every change in memory; its changes as text on standard output, or as JSON to /plan=FILE. Ends with
  // the exit code the run would have ended with (kExitComponentFailed when FILE cannot be written).
  [[noreturn]] void RunPlan(const RunSwitches& switches);
  // The small window of a passive run, shown before its run begins; the run reports into it.
  void ShowPassiveWindow(int showCommand);
  // Creates the dialog of the resource; true when it made the window the reporter now shows.
  bool CreateDialogOf(int resourceId, DialogEvents& events);
  // The packages come from the folder /source= names (which must hold a layout: its run ends with 87
  // otherwise), or from the layout the setup was started from when no /source= is given; else from the
  // download host.
  void ChoosePackageSource(const std::optional<std::string>& folder, bool sourceGiven);
  // An offline layout in the folder, without a window: the packages of the answers' choices (which pass
  // the dialog's checks first), or of every build and edition when there are none. Never returns.
  [[noreturn]] void RunLayout(const std::map<int, std::string>& answers, const std::string& folder);
};
