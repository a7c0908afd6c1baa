#include "steps/actions/module_at_restart.h"

#include "product/setup_state.h"
#include "steps/actions/file_written.h"

namespace {

constexpr char kReplacedAtRestart[] = "In use, replaced when Windows restarts: ";
constexpr char kNotReplaced[] = "In use and could not be replaced: ";

}  // namespace

ActionResult BeforeWritingBeside(InstallRecord* record, const std::string& target) {
  return BeforeMakingFile(record, target + kBesideSuffix);
}

void ReplaceAtRestart(SetupState& state, const std::vector<std::string>& targets) {
  for (const std::string& path : targets) {
    if (state.machine.files.ReplaceAtRestart(path + kBesideSuffix, path)) {
      state.restartNeeded = true;
      WriteLog(state, LogTag::server, kReplacedAtRestart + path);
    } else {
      WriteLog(state, LogTag::server, kNotReplaced + path);
      MarkComponentFailed(state);
    }
  }
}
