// A server module of the package set: a DLL with the entry points of an ISAPI extension, so that it loads
// and answers like the real modules do.
#include <windows.h>

extern "C" {

__declspec(dllexport) BOOL WINAPI GetExtensionVersion(void* /*version*/) {
  return TRUE;
}

__declspec(dllexport) DWORD WINAPI HttpExtensionProc(void* /*control*/) {
  return 1;
}  // HSE_STATUS_SUCCESS

__declspec(dllexport) BOOL WINAPI TerminateExtension(DWORD /*flags*/) {
  return TRUE;
}

// Which module this is, for tests that load it.
__declspec(dllexport) const char* WINAPI NembricModuleName() {
  return MODULE_NAME;
}
}

BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD /*reason*/, LPVOID /*reserved*/) {
  return TRUE;
}
