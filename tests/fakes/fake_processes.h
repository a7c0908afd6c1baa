#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/processes.h"

// Programs of the in-memory machine, by path (or by the first word of the command line when no
// application name is given), with the exit code they end with and what they do meanwhile.
class FakeProcesses final : public Processes {
 public:
  struct Program {
    std::uint32_t exitCode = 0;
    std::function<void()> effect;
    bool exitCodeUnreadable = false;
    // What it writes to its standard output, one piece per wait of the caller.
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

  // Recorded.
  std::vector<ProcessStart> starts;
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
