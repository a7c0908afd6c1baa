// Extracts one cabinet with CopyCabinet through the real cabinet.dll and reports the time it took and the
// peak working set of the process. usage: cabinet_bench.exe CABINET_FOLDER CABINET_NAME DESTINATION
#include <windows.h>

#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/win32/win32_machine.h"
#include "run/program.h"
#include "steps/toolkit/cabinet_extraction.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: cabinet_bench.exe CABINET_FOLDER CABINET_NAME DESTINATION\n");
    return 2;
  }
  Win32Machine windows(GetModuleHandleW(nullptr));
  Program program(windows.machine());
  SetupState& state = program.state;
  state.startDirectory = argv[3];
  std::string folder = argv[1];
  if (folder.back() != '\\') {
    folder += '\\';
  }
  const auto start = std::chrono::steady_clock::now();
  const bool copied = CopyCabinet(state, argv[2], folder, argv[3]).ok();
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  CloseLog(state);

  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  std::printf("copied=%d seconds=%.3f peak_working_set_kib=%zu\n", copied ? 1 : 0, seconds,
              static_cast<std::size_t>(memory.PeakWorkingSetSize / 1024));
  return copied ? 0 : 1;
}
