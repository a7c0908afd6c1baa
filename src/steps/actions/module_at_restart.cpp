#include "steps/actions/module_at_restart.h"

#include "product/run_context.h"
#include "steps/actions/file_written.h"

namespace {

constexpr char kReplacedAtRestart[] = "In use, replaced when Windows restarts: ";
constexpr char kNotReplaced[] = "In use and could not be replaced: ";

}  // namespace

ActionResult BeforeWritingBeside(InstallRecord* record, const std::string& target) {
  return BeforeMakingFile(record, target + kBesideSuffix);
}

void ReplaceAtRestart(RunContext& run, const std::vector<std::string>& targets) {
  for (const std::string& path : targets) {
    if (run.machine.files.ReplaceAtRestart(path + kBesideSuffix, path)) {
      run.restartNeeded = true;
      WriteLog(run, LogTag::server, kReplacedAtRestart + path);
    } else {
      WriteLog(run, LogTag::server, kNotReplaced + path);
      MarkComponentFailed(run);
    }
  }
}
