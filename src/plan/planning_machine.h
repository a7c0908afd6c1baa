#pragma once

#include <vector>

#include "plan/change_list.h"
#include "platform/machine.h"
#include "platform/planning/overlay_files.h"
#include "platform/planning/overlay_registry.h"
#include "platform/planning/planning_cabinet.h"
#include "platform/planning/planning_iis.h"
#include "platform/planning/planning_ports.h"

// The machine a run that only plans is given: the real one, seen through overlays that keep every change
// in memory, with programs, DISM and the event log that make none. Afterwards it tells what the run did.
class PlanningMachine {
 public:
  explicit PlanningMachine(Machine& real);
  PlanningMachine(const PlanningMachine&) = delete;
  PlanningMachine& operator=(const PlanningMachine&) = delete;

  Machine& machine() { return machine_; }
  // Every change the run made on this machine, in order, each with its component.
  std::vector<PlannedChange> Changes();
  // What the run wrote to a file of its own (its log); empty when it wrote none.
  std::string TextOf(const std::string& path) const { return files_.ContentOf(path).value_or(""); }

 private:
  Machine& real_;
  OverlayFiles files_;
  OverlayRegistry registry_;
  PlanningRuntime runtime_;
  PlanningProcesses processes_;
  PlanningCabinet cabinet_;
  PlanningIis iis_;
  PlanningFeatures features_;
  PlanningEventLog events_;
  PlanningShell shell_;
  Machine machine_;
};
