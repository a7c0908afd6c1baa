#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/handles.h"

// A started process (its process and thread handles, owned until Close).
enum class ProcessHandle : std::uintptr_t { none = 0 };

// How a process is started (CreateProcessW). The program is always named by its full path: the system
// never searches for it (the setup's own folder and the current folder come first in that search, and
// both may hold files that any user can plant). The command line starts with that path in double quotes,
// since the program reads its own name as the command line's first word (core/command_text.h).
// A process may inherit the caller's inheritable handles and write its standard output and error into one
// of them (STARTF_USESTDHANDLES), with no standard input; Windows hands such a handle to the child only
// when the handles are inherited. A program without a window of its own (a console helper) is started
// with `noWindow` (CREATE_NO_WINDOW), so no console flashes up.
struct ProcessStart {
  std::string applicationName;
  std::string commandLine;
  std::string currentDirectory;
  bool inheritHandles = false;
  FileHandle standardOutput = FileHandle::none;
  bool noWindow = false;
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

  // CreateProcessW with a zeroed start-up record (but for the standard handles when given), handles
  // inherited as `inheritHandles` says, CREATE_NO_WINDOW when asked and the caller's environment; on
  // failure none, with the thread's last error in `error`. A start without an application name is refused
  // (ERROR_INVALID_PARAMETER) before Windows is asked.
  virtual ProcessHandle Create(const ProcessStart& start, std::uint32_t& error) = 0;
  // Waits for the process to end, for at most `timeoutMs` (kInfinite: without a limit): 0 once it has
  // ended, kWaitTimeout, or WAIT_FAILED. The calling thread's windows keep answering meanwhile (messages
  // sent to them are answered, they are painted, input is dropped): MsgWaitForMultipleObjects.
  virtual std::uint32_t Wait(ProcessHandle process, std::uint32_t timeoutMs) = 0;
  // GetExitCodeProcess; nullopt when it cannot be read.
  virtual std::optional<std::uint32_t> ExitCode(ProcessHandle process) = 0;
  // Closes the thread and the process handle.
  virtual void Close(ProcessHandle process) = 0;
  // CreatePipe with inheritable handles and the default buffer size, then SetHandleInformation so that
  // the read end is not inherited; nullopt when the pipe cannot be made.
  virtual std::optional<Pipe> CreateOutputPipe() = 0;
  // PeekNamedPipe: the number of bytes waiting; nullopt when the call fails. The pipe holds about 4 KiB: a
  // child that writes more waits until the reader has taken it.
  virtual std::optional<std::uint32_t> BytesWaiting(FileHandle read) = 0;
  // ReadFile of at most maxBytes; nullopt when it fails.
  virtual std::optional<std::string> ReadPipe(FileHandle read, std::size_t maxBytes) = 0;
  // CloseHandle of a pipe end.
  virtual void ClosePipeEnd(FileHandle end) = 0;

  // FormatMessageW from the system for an error code; nullopt when the system has no text.
  virtual std::optional<std::string> SystemMessage(std::uint32_t error) = 0;
};
