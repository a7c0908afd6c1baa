#pragma once

#include "platform/processes.h"

class Win32Processes final : public Processes {
 public:
  ProcessHandle Create(const ProcessStart& start, std::uint32_t& error) override;
  std::uint32_t Wait(ProcessHandle process, std::uint32_t timeoutMs) override;
  std::optional<std::uint32_t> ExitCode(ProcessHandle process) override;
  void Close(ProcessHandle process) override;
  std::optional<Pipe> CreateOutputPipe() override;
  std::optional<std::uint32_t> BytesWaiting(FileHandle read) override;
  std::optional<std::string> ReadPipe(FileHandle read, std::size_t maxBytes) override;
  void ClosePipeEnd(FileHandle end) override;
  std::optional<std::string> SystemMessage(std::uint32_t error) override;
};
