#pragma once

#include "product/setup_choices.h"

// What the maintenance dialog's OK asks for: the action of its radio buttons (none when neither is
// checked) and the parts of its check boxes.
struct MaintenanceChoice {
  enum class Action { none, repair, uninstall };
  Action action = Action::none;
  bool server = false;
  bool client = false;
};

// How the dialogs hand a run to the program above them. Each request ends the program; in the host tests
// the process end arrives as the fake runtime's exception.
class RunRequests {
 public:
  RunRequests() = default;
  RunRequests(const RunRequests&) = delete;
  RunRequests& operator=(const RunRequests&) = delete;
  virtual ~RunRequests() = default;

  // OK of the main dialog, with choices that passed the checks.
  virtual void RunSetup(const SetupChoices& choices) = 0;
  // The main dialog's pre-flight check, with choices that passed the checks: shows what a run of them
  // would meet and returns to the dialog.
  virtual void CheckSetup(const SetupChoices& choices) = 0;
  // The main dialog's "What will change": the changes a run of the choices would make; returns to the
  // dialog.
  virtual void PlanSetup(const SetupChoices& choices) = 0;
  // OK of the maintenance dialog.
  virtual void RunMaintenance(const MaintenanceChoice& choice) = 0;
  // The person confirmed Cancel.
  virtual void Cancel() = 0;
};
