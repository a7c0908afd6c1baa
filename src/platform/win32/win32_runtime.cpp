#include "platform/win32/win32_runtime.h"

#include <windows.h>

#include <objbase.h>
#include <sddl.h>

#include <climits>
#include <cstdio>
#include <vector>

#include "platform/win32/answering_wait.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_machine.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 texts are wchar_t texts on Windows");
static_assert(Runtime::kCoinitMultithreaded == COINIT_MULTITHREADED &&
              Runtime::kCoinitApartmentThreaded == COINIT_APARTMENTTHREADED);

std::int32_t Win32Runtime::InitializeCom(std::uint32_t flags) {
  return CoInitializeEx(nullptr, flags);
}

std::int32_t Win32Runtime::InitializeSecurity(std::uint32_t authenticationLevel,
                                              std::uint32_t impersonationLevel) {
  return CoInitializeSecurity(nullptr, -1, nullptr, nullptr, authenticationLevel, impersonationLevel, nullptr,
                              EOAC_NONE, nullptr);
}

void Win32Runtime::UninitializeCom() {
  CoUninitialize();
}

bool Win32Runtime::RevertToSelf() {
  return ::RevertToSelf() != FALSE;
}

std::optional<std::string> Win32Runtime::WideToUtf8(std::u16string_view text) {
  return WideToUtf8Text(std::wstring_view(reinterpret_cast<const wchar_t*>(text.data()), text.size()));
}

std::optional<std::u16string> Win32Runtime::Utf8ToWide(std::string_view text) {
  std::optional<std::wstring> wide = Utf8ToWideText(text);
  if (!wide) {
    return std::nullopt;
  }
  return std::u16string(reinterpret_cast<const char16_t*>(wide->data()), wide->size());
}

std::optional<std::string> Win32Runtime::AnsiToUtf8(std::string_view text) {
  return SystemAnsiToUtf8Text(text);
}

bool Win32Runtime::WriteStandardOutput(std::string_view text) {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) {
    return false;
  }
  DWORD written = 0;
  return WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != FALSE &&
         written == text.size();
}

void Win32Runtime::ExitProcess(std::uint32_t exitCode) {
  ::ExitProcess(exitCode);
}

Win32Runtime::~Win32Runtime() {
  if (mutex_ != nullptr) {
    CloseHandle(mutex_);
  }
}

bool Win32Runtime::ClaimNamedMutex(std::u16string_view name) {
  const std::wstring wide(name.begin(), name.end());
  HANDLE mutex = CreateMutexW(nullptr, FALSE, wide.c_str());
  if (mutex == nullptr) {
    return false;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return false;
  }
  mutex_ = mutex;
  return true;
}

bool Win32Runtime::NamedMutexExists(std::u16string_view name) {
  const std::wstring wide(name.begin(), name.end());
  HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, wide.c_str());
  if (mutex == nullptr) {
    return GetLastError() == ERROR_ACCESS_DENIED;
  }
  CloseHandle(mutex);
  return true;
}

std::optional<bool> Win32Runtime::ProcessElevated() {
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  // The pseudo handle of the process's own token needs no opening and no closing.
  if (GetTokenInformation(GetCurrentProcessToken(), TokenElevation, &elevation, sizeof elevation, &size) ==
      FALSE) {
    return std::nullopt;
  }
  return elevation.TokenIsElevated != 0;
}

bool Win32Runtime::EnablePrivilege(const std::string& name) {
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token) == FALSE) {
    return false;
  }
  const unique_kernel_handle owned(token);
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  const std::optional<std::wstring> wide = Utf8ToWideText(name);
  if (!wide || LookupPrivilegeValueW(nullptr, wide->c_str(), &privileges.Privileges[0].Luid) == FALSE) {
    return false;
  }
  // The call succeeds without enabling a privilege the token does not hold; its last error tells.
  return AdjustTokenPrivileges(owned.get(), FALSE, &privileges, sizeof privileges, nullptr, nullptr) !=
             FALSE &&
         GetLastError() == ERROR_SUCCESS;
}

std::optional<std::string> Win32Runtime::ProcessUserSid() {
  DWORD size = 0;
  GetTokenInformation(GetCurrentProcessToken(), TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  if (size == 0 ||
      GetTokenInformation(GetCurrentProcessToken(), TokenUser, buffer.data(), size, &size) == FALSE) {
    return std::nullopt;
  }
  wchar_t* text = nullptr;
  if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text) == FALSE) {
    return std::nullopt;
  }
  std::optional<std::string> sid = WideToUtf8Text(text);
  LocalFree(text);
  return sid;
}

std::uint64_t Win32Runtime::Milliseconds() {
  return GetTickCount64();
}

namespace {

// The thread of a job beside the run: it makes the job's own machine and does the work.
DWORD WINAPI RunBesideThread(LPVOID parameter) {
  const auto* work = static_cast<const std::function<void(Machine&)>*>(parameter);
  Win32Machine own(GetModuleHandleW(nullptr));
  (*work)(own.machine());
  return 0;
}

class Win32BesideJob final : public BesideJob {
 public:
  explicit Win32BesideJob(std::function<void(Machine&)> work) : work_(std::move(work)) {}
  ~Win32BesideJob() override { Wait(); }
  Win32BesideJob(const Win32BesideJob&) = delete;
  Win32BesideJob& operator=(const Win32BesideJob&) = delete;

  bool Start() {
    thread_.reset(CreateThread(nullptr, 0, RunBesideThread, &work_, 0, nullptr));
    return static_cast<bool>(thread_);
  }
  void Wait() override {
    if (!thread_) {
      return;
    }
    const HANDLE thread = thread_.get();
    while (WaitAnswering(&thread, 1, INFINITE) == WAIT_TIMEOUT) {
    }
    thread_.reset();
  }

 private:
  // Lives as long as the job: the thread reads it until its end.
  std::function<void(Machine&)> work_;
  unique_kernel_handle thread_;
};

}  // namespace

std::unique_ptr<BesideJob> Win32Runtime::RunBeside(std::function<void(Machine&)> work) {
  auto job = std::make_unique<Win32BesideJob>(std::move(work));
  if (!job->Start()) {
    return nullptr;
  }
  return job;
}

void Win32Runtime::Pause(std::uint32_t milliseconds) {
  // The pauses of a run (a pool stopping, a package still held) are taken on the dialog's thread: its
  // windows keep answering.
  WaitAnswering(nullptr, 0, milliseconds);
}

std::string Win32Runtime::LocalDate() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char date[16] = {};
  std::snprintf(date, sizeof date, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
  return date;
}
