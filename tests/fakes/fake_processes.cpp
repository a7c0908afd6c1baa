#include "fake_processes.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr std::uint32_t kFileNotFound = 2;

}  // namespace

std::string FakeProcesses::Key(std::string path) {
  std::transform(path.begin(), path.end(), path.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return path;
}

void FakeProcesses::AddProgram(const std::string& path, Program program) {
  programs_[Key(path)] = std::move(program);
}

ProcessHandle FakeProcesses::Create(const ProcessStart& start, std::uint32_t& error) {
  starts.push_back(start);
  std::string path = start.applicationName.value_or(start.commandLine.substr(0, start.commandLine.find(' ')));
  const auto found = programs_.find(Key(path));
  if (found == programs_.end()) {
    error = kFileNotFound;
    return ProcessHandle::none;
  }
  const auto process = static_cast<ProcessHandle>(next_++);
  running_[process] = found->second;
  return process;
}

std::uint32_t FakeProcesses::Wait(ProcessHandle process, std::uint32_t timeoutMs) {
  waits.push_back(timeoutMs);
  const auto found = running_.find(process);
  if (found == running_.end()) {
    return 0xFFFFFFFF;  // WAIT_FAILED
  }
  if (found->second.effect) {
    found->second.effect();
    found->second.effect = nullptr;
  }
  return kWaitObject0;
}

std::optional<std::uint32_t> FakeProcesses::ExitCode(ProcessHandle process) {
  const auto found = running_.find(process);
  if (found == running_.end() || found->second.exitCodeUnreadable) {
    return std::nullopt;
  }
  return found->second.exitCode;
}

std::optional<std::string> FakeProcesses::SystemMessage(std::uint32_t error) {
  if (error == kFileNotFound) {
    return "The system cannot find the file specified.\r\n";
  }
  return std::nullopt;
}
