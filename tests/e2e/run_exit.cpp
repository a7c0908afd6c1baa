// Runs a program and prints its whole exit code, which the Unix side of Wine sees only modulo 256:
//   run_exit.exe PROGRAM [ARGUMENTS...]  prints "exit N" (N as Windows gives it) and ends with 0;
// 255 when the program cannot be started. The program gets the rest of this command line as it stands.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// The command line after its first word (the program's own name, quoted or not).
std::wstring RestOfCommandLine() {
  const wchar_t* line = GetCommandLineW();
  bool quoted = false;
  while (*line != L'\0' && (quoted || (*line != L' ' && *line != L'\t'))) {
    if (*line == L'"') {
      quoted = !quoted;
    }
    ++line;
  }
  while (*line == L' ' || *line == L'\t') {
    ++line;
  }
  return line;
}

}  // namespace

int wmain() {
  std::wstring command = RestOfCommandLine();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (command.empty() || CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                        &startup, &process) == FALSE) {
    std::printf("error cannot start (%lu)\n", GetLastError());
    return 255;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::printf("exit %lu\n", code);
  return 0;
}
