// Installs the server's website through the real adapters, as the server update does, and prints the
// result: the road of the IIS administration manager under Wine, where the test's COM server stands in
// for IIS; and, when the pool and the site were there already, what the install kept of them.
// usage: website_install.exe SERVER_DIRECTORY PORT LOG_FOLDER
#include <windows.h>

#include <objbase.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/win32/win32_machine.h"
#include "run/program.h"
#include "steps/iis/iis_element_copy.h"

namespace {

template <typename Char>
std::string Narrow(std::basic_string_view<Char> text) {
  std::string narrow;
  for (const Char c : text) {
    narrow += static_cast<char>(c);
  }
  return narrow;
}

std::string Narrow(const wchar_t* text) {
  return Narrow(std::wstring_view(text));
}

std::string Narrow(const std::u16string& text) {
  return Narrow(std::u16string_view(text));
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
  std::string replaced;
  {
    Win32Machine windows(GetModuleHandleW(nullptr));
    Program program(windows.machine());
    program.state.startDirectory = Narrow(argv[3]);
    program.state.choices.serverDirectory = Narrow(argv[1]);
    program.state.choices.port = static_cast<std::int32_t>(std::wcstol(argv[2], nullptr, 10));
    result = program.steps.server.InstallWebsite().ok() ? 1 : 0;
    const IisWebsite& website = program.steps.server.website;
    kept = website.poolKept;
    if (const std::optional<IisElementCopy> site = ParseElementCopyText(website.siteKept)) {
      replaced = Narrow(site->name) + " with " + std::to_string(site->properties.size()) + " properties, " +
                 std::to_string(site->children.size()) + " child element(s), " +
                 std::to_string(site->items.size()) + " application(s)" +
                 (website.siteLocationKept ? ", and a location" : "");
    }
    CloseLog(program.state);
  }
  CoUninitialize();
  std::printf("result=%d\n", result);
  if (!kept.empty()) {
    std::printf("kept=%s\n", kept.c_str());
  }
  if (!replaced.empty()) {
    std::printf("replaced=%s\n", replaced.c_str());
  }
  return 0;
}
