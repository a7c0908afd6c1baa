// Installs the server's website through the real adapters, as the server update does, and prints the
// result: the road of the IIS administration manager under Wine, where the test's COM server stands in
// for IIS; and, when the pool was there already, what the install kept of it.
// usage: website_install.exe SERVER_DIRECTORY PORT LOG_FOLDER
#include <windows.h>

#include <objbase.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/win32/win32_machine.h"
#include "run/program.h"

namespace {

std::string Narrow(const wchar_t* text) {
  std::string narrow;
  for (; *text != L'\0'; ++text) {
    narrow += static_cast<char>(*text);
  }
  return narrow;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: website_install.exe SERVER_DIRECTORY PORT LOG_FOLDER\n");
    return 2;
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
    return 2;
  }
  int result = 0;
  std::string kept;
  {
    Win32Machine windows(GetModuleHandleW(nullptr));
    Program program(windows.machine());
    program.state.startDirectory = Narrow(argv[3]);
    program.state.choices.serverDirectory = Narrow(argv[1]);
    program.state.choices.port = static_cast<std::int32_t>(std::wcstol(argv[2], nullptr, 10));
    result = program.steps.server.InstallWebsite().ok() ? 1 : 0;
    kept = program.steps.server.website.poolKept;
    CloseLog(program.state);
  }
  CoUninitialize();
  std::printf("result=%d\n", result);
  if (!kept.empty()) {
    std::printf("kept=%s\n", kept.c_str());
  }
  return 0;
}
