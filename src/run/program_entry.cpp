#include "run/program_entry.h"

#include "resources/resource.h"
#include "run/command_line.h"
#include "run/program.h"

namespace {

bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

// Drops the last unit when it is the first half of a pair that the cut separated.
std::u16string_view WithoutSplitPair(std::u16string_view text) {
  if (!text.empty() && IsHighSurrogate(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

std::string BoundedCommandLine(Runtime& runtime, std::u16string_view commandLine) {
  constexpr std::size_t kMaxBytes = kCommandLineWidth - 1;
  std::u16string_view wide = WithoutSplitPair(commandLine.substr(0, kMaxBytes));
  for (;;) {
    std::optional<std::string> ansi = runtime.WideToAnsi(wide);
    if (!ansi) {
      return {};
    }
    if (ansi->size() <= kMaxBytes) {
      return *ansi;
    }
    // Characters of a double-byte code page take two bytes: give up whole characters until it fits.
    wide.remove_suffix(1);
    wide = WithoutSplitPair(wide);
  }
}

std::uintptr_t Program::Run(std::u16string_view commandLine, int showCommand) {
  Machine& machine = state.machine;
  state.startDirectory = machine.files.CurrentDirectory(kStartDirectoryWidth - 1).value_or(std::string());
  SourceSwitch source =
      SplitSourceSwitch(BoundedCommandLine(machine.runtime, commandLine), kDownloadServerNameWidth - 1);
  if (source.host) {
    state.downloadHost = *source.host;
  }
  state.runMode = ParseRunMode(source.rest);

  if (ComFailed(machine.runtime.InitializeCom(Runtime::kCoinitMultithreaded))) {
    WriteLog(state, LogTag::client, kComStartFailed);
    End(RunEnd{kStartFailureExitCode, nullptr, nullptr, {}});
  }
  if (ComFailed(
          machine.runtime.InitializeSecurity(Runtime::kAuthnLevelConnect, Runtime::kImpLevelImpersonate))) {
    WriteLog(state, LogTag::client, kSecurityStartFailed);
    machine.runtime.UninitializeCom();
    End(RunEnd{kStartFailureExitCode, nullptr, nullptr, {}});
  }

  const int dialogId = UsesMaintenanceDialog(state.runMode) ? IDD_MAINTENANCE : IDD_SETUP;
  machine.dialogs.CreateDialogWindow(dialogId, dialog);
  if (reporter.dialogWindow != WindowHandle::none) {
    machine.dialogs.ShowWindow(reporter.dialogWindow, showCommand);
  }
  return machine.dialogs.RunMessageLoop(IDR_ACCELERATORS);
}
