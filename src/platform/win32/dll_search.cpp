#include "platform/win32/dll_search.h"

#include <windows.h>
// After windows.h.
#include <delayimp.h>

namespace {

// The delay-load helper's notification before it loads a DLL: the DLL comes from the system folder, with
// its dependencies; nullptr (a DLL missing there) lets the helper report the failure as usual.
FARPROC WINAPI LoadFromSystemFolder(unsigned notification, PDelayLoadInfo info) {
  if (notification != dliNotePreLoadLibrary) {
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(LoadLibraryExA(info->szDll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

}  // namespace

void RestrictDllSearchToSystemFolder() {
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  __pfnDliNotifyHook2 = LoadFromSystemFolder;
}
