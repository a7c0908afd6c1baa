#include "core/file_reading.h"
#include "plan/change_list.h"
#include "platform/planning/overlay_files.h"
#include "platform/planning/overlay_registry.h"
#include "platform/planning/planning_cabinet.h"
#include "platform/planning/planning_iis.h"
#include "platform/planning/planning_ports.h"
#include "product/product_folders.h"
#include "run/exit_codes.h"
#include "run/program.h"

namespace {

constexpr char kPlanNotWritten[] = "Could not write the plan to ";
constexpr char kPlanWithOthers[] = "/plan cannot go with /check or /layout";
// The longest record a plan reads for whose each change is.
constexpr std::size_t kMaxPlannedRecordBytes = std::size_t{64} * 1024 * 1024;
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
  commandLine += switches.rest;
  OverlayFiles files(machine.files);
  OverlayRegistry registry(machine.registry);
  PlanningRuntime runtime(machine.runtime);
  PlanningProcesses processes(machine.processes);
  PlanningCabinet cabinet;
  PlanningIis iis(machine.iis);
  PlanningFeatures features;
  PlanningEventLog events;
  PlanningShell shell(machine.shell, files, machine.runtime);
  Machine planning{runtime,
                   files,
                   machine.dialogs,
                   registry,
                   machine.wmi,
                   machine.http,
                   shell,
                   processes,
                   cabinet,
                   iis,
                   features,
                   machine.crypto,
                   machine.installerDatabase,
                   events};
  std::uint32_t exitCode = kExitSuccess;
  {
    Program planned(planning);
    planned.state.planOnly = true;
    try {
      planned.Run(commandLine, kHidden);
    } catch (const PlannedRunEnded& ended) {
      exitCode = ended.exitCode;
    }
  }
  PlannedRun run;
  run.files = files.Changes();
  run.registry = registry.Changes();
  run.programs = processes.started;
  for (const std::u16string& names : features.enabled) {
    run.features.push_back(machine.runtime.WideToUtf8(names).value_or(""));
  }
  run.recordBefore = ReadWholeFile(machine.files, kInstallRecordPath, kMaxPlannedRecordBytes).value_or("");
  run.recordAfter = files.ContentOf(kInstallRecordPath).value_or(run.recordBefore);
  const std::vector<PlannedChange> changes = ListPlannedChanges(run);
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
