// The UI driver: finds a dialog of the setup program by its caption and uses it from outside, as a person
// at the screen would. One command per run:
//   uidriver wait CAPTION TIMEOUT_MS   waits for the window to show, then lists its controls
//                                      (id, class, visible, text), one per line
//   uidriver kill CAPTION              ends the process that shows the window
// Exit code 0 on success, 1 when the window was not found, 2 for a wrong command line.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  // WM_GETTEXT across processes: the wide form keeps the whole text.
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                      nullptr);
  return text;
}

HWND WaitForWindow(const wchar_t* caption, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    // A person sees the dialog only once it is shown, with all its controls made.
    const HWND window = FindWindowW(nullptr, caption);
    if (window != nullptr && IsWindowVisible(window)) {
      return window;
    }
    if (GetTickCount64() >= end) {
      return nullptr;
    }
    Sleep(100);
  }
}

BOOL CALLBACK PrintControl(HWND control, LPARAM /*unused*/) {
  wchar_t className[64] = {};
  GetClassNameW(control, className, 64);
  std::wprintf(L"%d\t%ls\t%d\t%ls\n", GetDlgCtrlID(control), className, IsWindowVisible(control) ? 1 : 0,
               TextOf(control).c_str());
  return TRUE;
}

int Wait(const wchar_t* caption, DWORD timeoutMs) {
  const HWND window = WaitForWindow(caption, timeoutMs);
  if (window == nullptr) {
    std::wprintf(L"no window \"%ls\" within %lu ms\n", caption, timeoutMs);
    return 1;
  }
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  std::wprintf(L"window\t%ls\tprocess %lu\tvisible %d\n", caption, process, IsWindowVisible(window) ? 1 : 0);
  EnumChildWindows(window, PrintControl, 0);
  return 0;
}

int Kill(const wchar_t* caption) {
  const HWND window = FindWindowW(nullptr, caption);
  if (window == nullptr) {
    std::wprintf(L"no window \"%ls\"\n", caption);
    return 1;
  }
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
  if (process == nullptr) {
    std::wprintf(L"cannot open process %lu: error %lu\n", processId, GetLastError());
    return 1;
  }
  const BOOL ended = TerminateProcess(process, 0) && WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
  CloseHandle(process);
  std::wprintf(L"process %lu %ls\n", processId, ended ? L"ended" : L"did not end");
  return ended ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wcscmp(argv[1], L"wait") == 0) {
    return Wait(argv[2], static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)));
  }
  if (argc == 3 && std::wcscmp(argv[1], L"kill") == 0) {
    return Kill(argv[2]);
  }
  std::fwprintf(stderr, L"usage: uidriver wait CAPTION TIMEOUT_MS | uidriver kill CAPTION\n");
  return 2;
}
