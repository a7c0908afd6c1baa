// The entry point of NembricSetup.exe: builds the real machine and the program, and hands over to the
// program's start.
#include <windows.h>

#include "platform/win32/dll_search.h"
#include "platform/win32/win32_machine.h"
#include "run/program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR commandLine, int showCommand) {
  // Before anything can load a DLL.
  RestrictDllSearchToSystemFolder();
  // Both live until the process ends; every road ends the process inside the program.
  static Win32Machine windows(instance);
  static Program program(windows.machine());
  const std::wstring_view wide(commandLine != nullptr ? commandLine : L"");
  const std::u16string_view text(reinterpret_cast<const char16_t*>(wide.data()), wide.size());
  return static_cast<int>(program.Run(text, showCommand));
}
