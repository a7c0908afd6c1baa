#include "platform/win32/win32_processes.h"

#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "platform/win32/answering_wait.h"
#include "platform/win32/system_message.h"
#include "platform/win32/wide_text.h"

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

namespace {

// The attribute list of a start that hands its child the standard handles alone
// (PROC_THREAD_ATTRIBUTE_HANDLE_LIST): whatever else the setup holds inheritable (the standard handles a
// deployment tool gave it, among others) stays with the setup. Deleted when it goes.
class InheritedHandles {
 public:
  explicit InheritedHandles(HANDLE standardOutput) : handles_{standardOutput} {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    buffer_.resize(size);
    list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
    ready_ = InitializeProcThreadAttributeList(list_, 1, 0, &size) != FALSE;
    ready_ = ready_ && UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                                 sizeof(HANDLE) * handles_.size(), nullptr, nullptr) != FALSE;
  }
  ~InheritedHandles() {
    if (list_ != nullptr && !buffer_.empty()) {
      DeleteProcThreadAttributeList(list_);
    }
  }
  InheritedHandles(const InheritedHandles&) = delete;
  InheritedHandles& operator=(const InheritedHandles&) = delete;
  // The list, or nullptr when it could not be made (GetLastError tells why).
  LPPROC_THREAD_ATTRIBUTE_LIST list() const { return ready_ ? list_ : nullptr; }

 private:
  std::array<HANDLE, 1> handles_;
  std::vector<unsigned char> buffer_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
  bool ready_ = false;
};

}  // namespace

ProcessHandle Win32Processes::Create(const ProcessStart& start, std::uint32_t& error) {
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof(startup.StartupInfo);
  DWORD flags = start.noWindow ? CREATE_NO_WINDOW : 0;
  std::optional<InheritedHandles> inherited;
  if (start.standardOutput != FileHandle::none) {
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdOutput = ToHandle(start.standardOutput);
    startup.StartupInfo.hStdError = ToHandle(start.standardOutput);
    if (start.inheritHandles) {
      inherited.emplace(ToHandle(start.standardOutput));
      if (inherited->list() == nullptr) {
        error = GetLastError();
        return ProcessHandle::none;
      }
      startup.StartupInfo.cb = sizeof(startup);
      startup.lpAttributeList = inherited->list();
      flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
  }
  // Without an application name CreateProcess would search for the program, the setup's own folder and
  // the current folder first: such a start is never made.
  if (start.applicationName.empty()) {
    error = ERROR_INVALID_PARAMETER;
    return ProcessHandle::none;
  }
  const std::optional<std::wstring> application = Utf8ToWideText(start.applicationName);
  // CreateProcessW may write into the command line: it gets a copy of its own.
  std::optional<std::wstring> commandLine = Utf8ToWideText(start.commandLine);
  const std::optional<std::wstring> directory = Utf8ToWideText(start.currentDirectory);
  if (!application || !commandLine || !directory) {
    error = ERROR_NO_UNICODE_TRANSLATION;
    return ProcessHandle::none;
  }
  PROCESS_INFORMATION information{};
  if (CreateProcessW(application->c_str(), commandLine->data(), nullptr, nullptr,
                     start.inheritHandles ? TRUE : FALSE, flags, nullptr,
                     directory->empty() ? nullptr : directory->c_str(), &startup.StartupInfo,
                     &information) == FALSE) {
    error = GetLastError();
    return ProcessHandle::none;
  }
  auto* started = new Started{information.hProcess, information.hThread};
  return static_cast<ProcessHandle>(reinterpret_cast<std::uintptr_t>(started));
}

std::uint32_t Win32Processes::Wait(ProcessHandle process, std::uint32_t timeoutMs) {
  const HANDLE handle = ToStarted(process)->process;
  return WaitAnswering(&handle, 1, timeoutMs);
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
  return SystemMessageText(error, nullptr);
}
