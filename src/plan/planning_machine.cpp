#include "plan/planning_machine.h"

#include "core/file_reading.h"
#include "product/product_folders.h"

namespace {

// The longest record a plan reads for whose each change is.
constexpr std::size_t kMaxPlannedRecordBytes = std::size_t{64} * 1024 * 1024;

}  // namespace

PlanningMachine::PlanningMachine(Machine& real)
    : real_(real),
      files_(real.files),
      registry_(real.registry),
      runtime_(real.runtime),
      processes_(real.processes),
      iis_(real.iis),
      shell_(real.shell, files_, real.runtime),
      machine_{runtime_,
               files_,
               real.dialogs,
               registry_,
               real.wmi,
               real.http,
               shell_,
               processes_,
               cabinet_,
               iis_,
               features_,
               real.crypto,
               real.installerDatabase,
               events_} {}

std::vector<PlannedChange> PlanningMachine::Changes() {
  PlannedRun run;
  run.files = files_.Changes();
  run.registry = registry_.Changes();
  run.programs = processes_.started;
  for (const std::u16string& names : features_.enabled) {
    run.features.push_back(real_.runtime.WideToUtf8(names).value_or(""));
  }
  const auto text = [this](const std::u16string& wide) {
    return real_.runtime.WideToUtf8(wide).value_or("");
  };
  constexpr const char* kWhat[] = {"add", "remove", "clear", "set", "location"};
  for (const PlanningIis::Change& change : iis_.changes) {
    run.configuration.push_back({text(change.section), text(change.path), text(change.tag), text(change.name),
                                 kWhat[static_cast<int>(change.what)]});
  }
  run.recordBefore = ReadWholeFile(real_.files, kInstallRecordPath, kMaxPlannedRecordBytes).value_or("");
  run.recordAfter = files_.ContentOf(kInstallRecordPath).value_or(run.recordBefore);
  return ListPlannedChanges(run);
}
