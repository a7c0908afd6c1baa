#include "fake_processes.h"

#include <algorithm>
#include <cctype>

#include "core/command_text.h"

namespace {

constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kInvalidParameter = 87;

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
  if (start.applicationName.empty()) {
    error = kInvalidParameter;
    return ProcessHandle::none;
  }
  const auto found = programs_.find(Key(start.applicationName));
  if (found == programs_.end()) {
    error = kFileNotFound;
    return ProcessHandle::none;
  }
  const auto process = static_cast<ProcessHandle>(next_++);
  running_[process] = found->second;
  if (changed) {
    changed();
  }
  // Windows hands the standard handles over only with the inherited ones.
  if (start.standardOutput != FileHandle::none && start.inheritHandles) {
    // The read end is the write end's twin.
    outputOf_[process] = static_cast<FileHandle>(static_cast<std::uintptr_t>(start.standardOutput) - 1);
  }
  return process;
}

std::vector<std::string> FakeProcesses::Arguments(std::size_t index) const {
  std::vector<std::string> words = SplitCommandLine(starts.at(index).commandLine);
  words.erase(words.begin());
  return words;
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
  // A program with output left writes its next piece, as much as the pipe takes, and is still running.
  std::vector<std::string>& output = found->second.output;
  if (output.empty()) {
    return kWaitObject0;
  }
  const auto pipe = outputOf_.find(process);
  if (pipe == outputOf_.end()) {
    output.erase(output.begin());  // written to no handle at all
    return kWaitTimeout;
  }
  std::string& waiting = pipes_[pipe->second];
  const std::size_t room = kPipeBytes - std::min(kPipeBytes, waiting.size());
  waiting += output.front().substr(0, room);
  output.front().erase(0, room);
  if (output.front().empty()) {
    output.erase(output.begin());
  }
  return kWaitTimeout;
}

std::optional<std::uint32_t> FakeProcesses::ExitCode(ProcessHandle process) {
  const auto found = running_.find(process);
  if (found == running_.end() || found->second.exitCodeUnreadable) {
    return std::nullopt;
  }
  return found->second.exitCode;
}

std::optional<Pipe> FakeProcesses::CreateOutputPipe() {
  const auto read = static_cast<FileHandle>(next_++);
  const auto write = static_cast<FileHandle>(next_++);
  openPipeEnds_.insert(read);
  openPipeEnds_.insert(write);
  pipes_[read];
  return Pipe{read, write};
}

std::optional<std::uint32_t> FakeProcesses::BytesWaiting(FileHandle read) {
  const auto found = pipes_.find(read);
  if (found == pipes_.end() || openPipeEnds_.count(read) == 0) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(found->second.size());
}

std::optional<std::string> FakeProcesses::ReadPipe(FileHandle read, std::size_t maxBytes) {
  const auto found = pipes_.find(read);
  if (found == pipes_.end() || openPipeEnds_.count(read) == 0) {
    return std::nullopt;
  }
  std::string bytes = found->second.substr(0, maxBytes);
  found->second.erase(0, bytes.size());
  return bytes;
}

std::optional<std::string> FakeProcesses::SystemMessage(std::uint32_t error) {
  if (error == kFileNotFound) {
    return "The system cannot find the file specified.\r\n";
  }
  return std::nullopt;
}
