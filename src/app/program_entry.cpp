#include "app/program_entry.h"

#include <cstdlib>

#include "app/run_mode.h"
#include "app/setup_context.h"
#include "app/setup_log.h"
#include "resources/resource.h"

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

[[noreturn]] void EndAfterStartFailure(SetupContext& context) {
  CloseLog(context);
  context.machine.runtime.ExitProcess(kStartFailureExitCode);
  std::abort();  // not reached: the process has ended
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

std::uintptr_t RunProgram(SetupContext& context, DialogEvents& dialogEvents, std::u16string_view commandLine,
                          int showCommand) {
  Machine& machine = context.machine;
  context.startDirectory = machine.files.CurrentDirectory(kStartDirectoryWidth - 1).value_or(std::string());
  SourceSwitch source =
      SplitSourceSwitch(BoundedCommandLine(machine.runtime, commandLine), kDownloadServerNameWidth - 1);
  if (source.host) {
    context.downloadHost = *source.host;
  }
  context.runMode = ParseRunMode(source.rest);

  if (ComFailed(machine.runtime.InitializeCom(Runtime::kCoinitMultithreaded))) {
    WriteLog(context, kLogClient, kComStartFailed);
    EndAfterStartFailure(context);
  }
  if (ComFailed(
          machine.runtime.InitializeSecurity(Runtime::kAuthnLevelConnect, Runtime::kImpLevelImpersonate))) {
    WriteLog(context, kLogClient, kSecurityStartFailed);
    machine.runtime.UninitializeCom();
    EndAfterStartFailure(context);
  }

  const int dialogId = UsesMaintenanceDialog(context.runMode) ? IDD_MAINTENANCE : IDD_SETUP;
  machine.dialogs.CreateDialogWindow(dialogId, dialogEvents);
  if (context.dialogWindow != WindowHandle::none) {
    machine.dialogs.ShowWindow(context.dialogWindow, showCommand);
  }
  return machine.dialogs.RunMessageLoop(IDR_ACCELERATORS);
}
