#pragma once

#include <cstdint>
#include <optional>
#include <string>

// A started process (its process and thread handles, owned until Close).
enum class ProcessHandle : std::uintptr_t { none = 0 };

// How a process is started (CreateProcessA): no application name lets the system find the program from
// the command line along its search path.
struct ProcessStart {
  std::optional<std::string> applicationName;
  std::string commandLine;
  std::string currentDirectory;
};

// Processes of the local machine.
class Processes {
 public:
  static constexpr std::uint32_t kInfinite = 0xFFFFFFFF;
  static constexpr std::uint32_t kWaitObject0 = 0;

  Processes() = default;
  Processes(const Processes&) = delete;
  Processes& operator=(const Processes&) = delete;
  virtual ~Processes() = default;

  // CreateProcessA with a zeroed start-up record, no handle inheritance, no creation flags and the
  // caller's environment; on failure none, with the thread's last error in `error`.
  virtual ProcessHandle Create(const ProcessStart& start, std::uint32_t& error) = 0;
  // WaitForSingleObject on the process.
  virtual std::uint32_t Wait(ProcessHandle process, std::uint32_t timeoutMs) = 0;
  // GetExitCodeProcess; nullopt when it cannot be read.
  virtual std::optional<std::uint32_t> ExitCode(ProcessHandle process) = 0;
  // Closes the thread and the process handle.
  virtual void Close(ProcessHandle process) = 0;
  // FormatMessageA from the system for an error code; nullopt when the system has no text.
  virtual std::optional<std::string> SystemMessage(std::uint32_t error) = 0;
};
