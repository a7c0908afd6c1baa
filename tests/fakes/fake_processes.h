#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/processes.h"

// Programs of the in-memory machine, by the full path of their application name, with the exit code they
// end with and what they do meanwhile. As strict as Windows, and stricter where the setup's rules are:
// - a start without an application name is refused (ERROR_INVALID_PARAMETER), as the adapter refuses it;
// - a program reads its arguments from the command line by the C runtime's rules, its own name being the
//   first word (`Arguments`), so a command line that does not start with the program is read wrongly;
// - standard handles reach the program only when handles are inherited; otherwise its output is lost;
// - the output pipe holds kPipeBytes: a program that has more to say waits until the reader took some.
class FakeProcesses final : public Processes {
 public:
  // Called after each program started (the crash tests stop a run there).
  std::function<void()> changed;
  struct Program {
    std::uint32_t exitCode = 0;
    std::function<void()> effect;
    bool exitCodeUnreadable = false;
    // What it writes to its standard output, one piece per wait of the caller (as much of it as the pipe
    // takes; the rest waits for the next wait).
    std::vector<std::string> output;
  };

  ProcessHandle Create(const ProcessStart& start, std::uint32_t& error) override;
  std::uint32_t Wait(ProcessHandle process, std::uint32_t timeoutMs) override;
  std::optional<std::uint32_t> ExitCode(ProcessHandle process) override;
  void Close(ProcessHandle process) override { running_.erase(process); }
  std::optional<Pipe> CreateOutputPipe() override;
  std::optional<std::uint32_t> BytesWaiting(FileHandle read) override;
  std::optional<std::string> ReadPipe(FileHandle read, std::size_t maxBytes) override;
  void ClosePipeEnd(FileHandle end) override { openPipeEnds_.erase(end); }
  std::optional<std::string> SystemMessage(std::uint32_t error) override;
  std::size_t OpenPipeEnds() const { return openPipeEnds_.size(); }

  // Set by the test: programs by path, compared without case.
  void AddProgram(const std::string& path, Program program);

  static constexpr std::size_t kPipeBytes = 4096;

  // Recorded.
  std::vector<ProcessStart> starts;
  // The arguments the program of start `index` read from its command line (its own name left out).
  std::vector<std::string> Arguments(std::size_t index) const;
  std::vector<std::uint32_t> waits;
  std::size_t OpenHandles() const { return running_.size(); }

 private:
  static std::string Key(std::string path);
  std::map<std::string, Program> programs_;
  std::map<ProcessHandle, Program> running_;
  std::map<ProcessHandle, FileHandle> outputOf_;
  std::map<FileHandle, std::string> pipes_;  // by read end: what waits in the pipe
  std::set<FileHandle> openPipeEnds_;
  std::uintptr_t next_ = 0x300;
};
