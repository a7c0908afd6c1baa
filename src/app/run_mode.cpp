#include "app/run_mode.h"

#include "app/blank_text.h"

namespace {

bool Contains(std::string_view text, std::string_view word) {
  return text.find(word) != std::string_view::npos;
}

}  // namespace

RunMode ParseRunMode(std::string_view commandLine) {
  RunMode mode = 0;
  if (Contains(commandLine, "install")) {
    mode = kRunInstall;
  }
  if (Contains(commandLine, "repair")) {
    mode = kRunRepair;
  }
  if (Contains(commandLine, "modify")) {
    mode = kRunModify;
    if (Contains(commandLine, "server")) {
      mode |= kRunModifyServer;
    } else if (Contains(commandLine, "client")) {
      mode |= kRunModifyClient;
    }
  }
  // "uninstall" holds "install": an uninstall command line passes through install first and ends here.
  if (Contains(commandLine, "uninstall")) {
    mode = kRunUninstall;
  }
  if (IsBlankText(commandLine)) {
    mode = kRunInstall;
  }
  return mode;
}

bool UsesMaintenanceDialog(RunMode mode) {
  return (mode & (kRunUninstall | kRunRepair)) != 0;
}
