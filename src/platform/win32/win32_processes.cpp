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

HANDLE ToHandle(FileHandle file) {
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(file));
}

FileHandle FromHandle(HANDLE handle) {
  return static_cast<FileHandle>(reinterpret_cast<std::uintptr_t>(handle));
}

}  // namespace

static_assert(Processes::kInfinite == INFINITE && Processes::kWaitObject0 == WAIT_OBJECT_0);

ProcessHandle Win32Processes::Create(const ProcessStart& start, std::uint32_t& error) {
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  if (start.standardOutput != FileHandle::none) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = ToHandle(start.standardOutput);
    startup.hStdError = ToHandle(start.standardOutput);
  }
  // Without an application name CreateProcess would search for the program, the setup's own folder and
  // the current folder first: such a start is never made.
  if (start.applicationName.empty()) {
    error = ERROR_INVALID_PARAMETER;
    return ProcessHandle::none;
  }
  PROCESS_INFORMATION information{};
  // CreateProcessA may write into the command line: it gets a copy of its own.
  std::vector<char> commandLine(start.commandLine.begin(), start.commandLine.end());
  commandLine.push_back('\0');
  if (CreateProcessA(start.applicationName.c_str(), commandLine.data(), nullptr, nullptr,
                     start.inheritHandles ? TRUE : FALSE, start.noWindow ? CREATE_NO_WINDOW : 0, nullptr,
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

std::optional<Pipe> Win32Processes::CreateOutputPipe() {
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof(attributes);
  attributes.bInheritHandle = TRUE;
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  if (CreatePipe(&read, &write, &attributes, 0) == FALSE) {
    return std::nullopt;
  }
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  return Pipe{FromHandle(read), FromHandle(write)};
}

std::optional<std::uint32_t> Win32Processes::BytesWaiting(FileHandle read) {
  DWORD available = 0;
  if (PeekNamedPipe(ToHandle(read), nullptr, 0, nullptr, &available, nullptr) == FALSE) {
    return std::nullopt;
  }
  return available;
}

std::optional<std::string> Win32Processes::ReadPipe(FileHandle read, std::size_t maxBytes) {
  std::string bytes(maxBytes, '\0');
  DWORD count = 0;
  if (ReadFile(ToHandle(read), bytes.data(), static_cast<DWORD>(maxBytes), &count, nullptr) == FALSE) {
    return std::nullopt;
  }
  bytes.resize(count);
  return bytes;
}

void Win32Processes::ClosePipeEnd(FileHandle end) {
  CloseHandle(ToHandle(end));
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
