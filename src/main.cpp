// The entry point of NembricSetup.exe: builds the real machine and the one setup context of the process
// and hands over to the program's start.
#include <windows.h>

#include "app/program_entry.h"
#include "app/setup_context.h"
#include "platform/win32/win32_machine.h"
#include "ui/setup_dialog.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR commandLine, int showCommand) {
  // Both live until the process ends; a run ends the process from inside the dialog.
  static Win32Machine windows(instance);
  static SetupContext context(windows.machine());
  static SetupDialog dialog(context);
  const std::wstring_view wide(commandLine != nullptr ? commandLine : L"");
  const std::u16string_view text(reinterpret_cast<const char16_t*>(wide.data()), wide.size());
  return static_cast<int>(RunProgram(context, dialog, text, showCommand));
}
