// A DLL planted beside the setup program under a system DLL's name (uxtheme.dll, winhttp.dll, ...): when a
// process loads it, it appends its own path to C:\NembricTest\planted.log. It exports nothing, so a
// program that did bind to it would also fail at the first call.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason != DLL_PROCESS_ATTACH) {
    return TRUE;
  }
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(instance, path, MAX_PATH);
  CreateDirectoryW(L"C:\\NembricTest", nullptr);
  const HANDLE log = CreateFileW(L"C:\\NembricTest\\planted.log", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log != INVALID_HANDLE_VALUE) {
    char line[3 * MAX_PATH + 2] = {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, path, -1, line, sizeof(line) - 2, nullptr, nullptr);
    if (length > 0) {
      line[length - 1] = '\n';
      DWORD written = 0;
      WriteFile(log, line, static_cast<DWORD>(length), &written, nullptr);
    }
    CloseHandle(log);
  }
  return TRUE;
}
