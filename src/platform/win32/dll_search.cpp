#include "platform/win32/dll_search.h"

#include <windows.h>
// After windows.h.
#include <delayimp.h>

#include <string>

namespace {

// The delay-load helper's notification before it loads a DLL: the DLL comes from the system folder, with
// its dependencies; nullptr (a DLL missing there) lets the helper report the failure as usual.
FARPROC WINAPI LoadFromSystemFolder(unsigned notification, PDelayLoadInfo info) {
  if (notification != dliNotePreLoadLibrary) {
    return nullptr;
  }
  // The import names a DLL in ASCII letters.
  std::wstring name;
  for (const char* letter = info->szDll; *letter != '\0'; ++letter) {
    name += static_cast<wchar_t>(static_cast<unsigned char>(*letter));
  }
  return reinterpret_cast<FARPROC>(LoadLibraryExW(name.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

}  // namespace

void RestrictDllSearchToSystemFolder() {
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  __pfnDliNotifyHook2 = LoadFromSystemFolder;
}
