// Downloads one package with DownloadClientPackage through the real WinHTTP adapter and reports the time
// it took and the peak working set of the process. The package name holds neither "cab" nor a runtime's
// bits, so nothing is done with it once it is saved.
// usage: download_bench.exe HOST PACKAGE_NAME DESTINATION_FOLDER
#include <windows.h>

#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/win32/win32_machine.h"
#include "run/program.h"
#include "steps/download/http_session.h"

namespace {

std::size_t PeakWorkingSetKib() {
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  return memory.PeakWorkingSetSize / 1024;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: download_bench.exe HOST PACKAGE_NAME DESTINATION_FOLDER\n");
    return 2;
  }
  Win32Machine windows(GetModuleHandleW(nullptr));
  if (windows.machine().runtime.InitializeCom(Runtime::kCoinitMultithreaded) < 0) {
    return 2;
  }
  Program program(windows.machine());
  SetupState& state = program.state;
  state.startDirectory = argv[3];
  state.downloadHost = argv[1];
  program.steps.client.updateDirectory = argv[3];
  OpenHttpSession(state, "");
  const std::size_t startKib = PeakWorkingSetKib();

  const auto start = std::chrono::steady_clock::now();
  const bool fetched = program.steps.client.DownloadClientPackage(argv[2], PackageBits::none);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  CloseLog(state);

  std::printf("fetched=%d seconds=%.3f peak_working_set_kib=%zu before_download_kib=%zu\n", fetched ? 1 : 0,
              seconds, PeakWorkingSetKib(), startKib);
  return fetched ? 0 : 1;
}
