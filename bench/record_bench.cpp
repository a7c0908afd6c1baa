// Appends a Both install's count of lines to an install record through the real file adapter, each line
// on disk (flushed) before the next, and the same lines as the record once wrote them (closed, not
// flushed); reports both times and the cost of the flushes per line.
// usage: record_bench.exe FOLDER LINES
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/port_guards.h"
#include "journal/install_record.h"
#include "platform/win32/win32_machine.h"

namespace {

// A line as long as a file line of the server's.
const std::string kPath = "C:\\HNembricAI\\Update\\bin\\HNembricAI.module.dll";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: record_bench.exe FOLDER LINES\n");
    return 2;
  }
  Win32Machine windows(GetModuleHandleW(nullptr));
  Files& files = windows.machine().files;
  const std::string folder = argv[1];
  const int lines = std::atoi(argv[2]);

  const std::string flushedPath = folder + "\\flushed.txt";
  files.Remove(flushedPath);
  InstallRecord record(files, flushedPath, folder + "\\Backup");
  record.BeginRun(kInstallMode, true, true);
  record.scope = RecordScope::server;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < lines; ++i) {
    if (!record.AddNewFile(kPath + std::to_string(i)).ok()) {
      return 1;
    }
  }
  const double flushed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  const std::string plainPath = folder + "\\plain.txt";
  files.Remove(plainPath);
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < lines; ++i) {
    const UniqueFile file(files, files.Create(plainPath, Files::kGenericWrite, Files::kShareRead,
                                              Files::kOpenAlways, Files::kAttributeNormal));
    if (!file.IsOpen() || !files.SeekToEnd(file.get()) ||
        !files.Write(file.get(), FormatRecordLine({RecordScope::server,
                                                   RecordEntry::Kind::file,
                                                   {kPath + std::to_string(i), "-", "-"}}))) {
      return 1;
    }
  }
  const double plain = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  files.Remove(flushedPath);
  files.Remove(plainPath);
  std::printf("lines=%d flushed_seconds=%.3f unflushed_seconds=%.3f flush_ms_per_line=%.3f\n", lines, flushed,
              plain, (flushed - plain) * 1000.0 / lines);
  return 0;
}
