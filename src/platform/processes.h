#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/handles.h"

// A started process (its process and thread handles, owned until Close).
enum class ProcessHandle : std::uintptr_t { none = 0 };

// How a process is started (CreateProcessA): no application name lets the system find the program from
// the command line along its search path.
// A process may inherit the caller's inheritable handles and write its standard output and error into one
// of them (STARTF_USESTDHANDLES), with no standard input.
struct ProcessStart {
  std::optional<std::string> applicationName;
  std::string commandLine;
  std::string currentDirectory;
  bool inheritHandles = false;
  FileHandle standardOutput = FileHandle::none;
};

// An anonymous pipe: the read end stays with the caller, the write end is inheritable.
struct Pipe {
  FileHandle read = FileHandle::none;
  FileHandle write = FileHandle::none;
};

// Processes of the local machine.
class Processes {
 public:
  static constexpr std::uint32_t kInfinite = 0xFFFFFFFF;
  static constexpr std::uint32_t kWaitObject0 = 0;
  static constexpr std::uint32_t kWaitTimeout = 0x102;

  Processes() = default;
  Processes(const Processes&) = delete;
  Processes& operator=(const Processes&) = delete;
  virtual ~Processes() = default;

  // CreateProcessA with a zeroed start-up record (but for the standard handles when given), no creation
  // flags and the caller's environment; on failure none, with the thread's last error in `error`.
  virtual ProcessHandle Create(const ProcessStart& start, std::uint32_t& error) = 0;
  // WaitForSingleObject on the process.
  virtual std::uint32_t Wait(ProcessHandle process, std::uint32_t timeoutMs) = 0;
  // GetExitCodeProcess; nullopt when it cannot be read.
  virtual std::optional<std::uint32_t> ExitCode(ProcessHandle process) = 0;
  // Closes the thread and the process handle.
  virtual void Close(ProcessHandle process) = 0;
  // CreatePipe with inheritable handles and the default buffer size, then SetHandleInformation so that
  // the read end is not inherited; nullopt when the pipe cannot be made.
  virtual std::optional<Pipe> CreateOutputPipe() = 0;
  // PeekNamedPipe: the number of bytes waiting; nullopt when the call fails.
  virtual std::optional<std::uint32_t> BytesWaiting(FileHandle read) = 0;
  // ReadFile of at most maxBytes; nullopt when it fails.
  virtual std::optional<std::string> ReadPipe(FileHandle read, std::size_t maxBytes) = 0;
  // CloseHandle of a pipe end.
  virtual void ClosePipeEnd(FileHandle end) = 0;

  // FormatMessageA from the system for an error code; nullopt when the system has no text.
  virtual std::optional<std::string> SystemMessage(std::uint32_t error) = 0;
};
