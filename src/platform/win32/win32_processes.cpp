#include "platform/win32/win32_processes.h"

#include <windows.h>

#include <memory>
#include <vector>

namespace {

// The handles of one started process, kept until Close.
struct Started {
  HANDLE process;
  HANDLE thread;
};

Started* ToStarted(ProcessHandle process) {
  return reinterpret_cast<Started*>(static_cast<std::uintptr_t>(process));
}

}  // namespace

static_assert(Processes::kInfinite == INFINITE && Processes::kWaitObject0 == WAIT_OBJECT_0);

ProcessHandle Win32Processes::Create(const ProcessStart& start, std::uint32_t& error) {
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION information{};
  // CreateProcessA may write into the command line: it gets a copy of its own.
  std::vector<char> commandLine(start.commandLine.begin(), start.commandLine.end());
  commandLine.push_back('\0');
  if (CreateProcessA(start.applicationName ? start.applicationName->c_str() : nullptr, commandLine.data(),
                     nullptr, nullptr, FALSE, 0, nullptr,
                     start.currentDirectory.empty() ? nullptr : start.currentDirectory.c_str(), &startup,
                     &information) == FALSE) {
    error = GetLastError();
    return ProcessHandle::none;
  }
  auto* started = new Started{information.hProcess, information.hThread};
  return static_cast<ProcessHandle>(reinterpret_cast<std::uintptr_t>(started));
}

std::uint32_t Win32Processes::Wait(ProcessHandle process, std::uint32_t timeoutMs) {
  return WaitForSingleObject(ToStarted(process)->process, timeoutMs);
}

std::optional<std::uint32_t> Win32Processes::ExitCode(ProcessHandle process) {
  DWORD code = 0;
  if (GetExitCodeProcess(ToStarted(process)->process, &code) == FALSE) {
    return std::nullopt;
  }
  return code;
}

void Win32Processes::Close(ProcessHandle process) {
  const std::unique_ptr<Started> started(ToStarted(process));
  CloseHandle(started->thread);
  CloseHandle(started->process);
}

std::optional<std::string> Win32Processes::SystemMessage(std::uint32_t error) {
  LPSTR text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
      error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) {
    return std::nullopt;
  }
  std::string message(text, length);
  LocalFree(text);
  return message;
}
