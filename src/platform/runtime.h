#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct Machine;

// Work that goes on beside the run, on a thread of its own. Going, it waits for the work's end.
class BesideJob {
 public:
  BesideJob() = default;
  BesideJob(const BesideJob&) = delete;
  BesideJob& operator=(const BesideJob&) = delete;
  virtual ~BesideJob() = default;
  // Waits until the work has ended (its thread's windows answering meanwhile).
  virtual void Wait() = 0;
};

// Process-wide services: COM start and security, UTF-8/UTF-16 conversion, standard output, process exit.
class Runtime {
 public:
  // CoInitializeEx flags and CoInitializeSecurity levels, as Windows numbers them.
  static constexpr std::uint32_t kCoinitMultithreaded = 0x0;
  static constexpr std::uint32_t kCoinitApartmentThreaded = 0x2;
  static constexpr std::uint32_t kAuthnLevelConnect = 2;
  static constexpr std::uint32_t kImpLevelImpersonate = 3;

  Runtime() = default;
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;
  virtual ~Runtime() = default;

  // CoInitializeEx(nullptr, flags); returns the HRESULT.
  virtual std::int32_t InitializeCom(std::uint32_t flags) = 0;
  // CoInitializeSecurity with no descriptor, COM-chosen authentication services, no authentication list
  // and no capabilities, at the given levels; returns the HRESULT.
  virtual std::int32_t InitializeSecurity(std::uint32_t authenticationLevel,
                                          std::uint32_t impersonationLevel) = 0;
  virtual void UninitializeCom() = 0;
  // Drops any impersonation of the calling thread (RevertToSelf).
  virtual bool RevertToSelf() = 0;

  // Conversions between UTF-16 and UTF-8, the encoding of every text the ports carry; nullopt when the
  // text is not valid (bytes that are no UTF-8, half a surrogate pair).
  virtual std::optional<std::string> WideToUtf8(std::u16string_view text) = 0;
  virtual std::optional<std::u16string> Utf8ToWide(std::string_view text) = 0;
  // A text in the system's ANSI code page (an answer file saved by an older editor) as UTF-8
  // (MultiByteToWideChar with the system locale's ANSI code page, not the process's, which the manifest makes
  // UTF-8); nullopt when the code page refuses it.
  virtual std::optional<std::string> AnsiToUtf8(std::string_view text) = 0;

  // Writes the bytes to the process's standard output handle; false when there is none or it fails.
  virtual bool WriteStandardOutput(std::string_view text) = 0;

  // Ends the process at once with the exit code (ExitProcess).
  // CreateMutexW of a named mutex, kept for the life of the process: false when another process already
  // holds one of the name (ERROR_ALREADY_EXISTS, or access denied when another user's setup made it) or
  // it cannot be made.
  virtual bool ClaimNamedMutex(std::u16string_view name) = 0;
  // OpenMutexW(SYNCHRONIZE) of a named mutex, closed again at once: true when one of the name exists (also
  // when it is another user's and access is denied), false when none does.
  virtual bool NamedMutexExists(std::u16string_view name) = 0;
  // GetTokenInformation(TokenElevation) of the process's own token: whether it runs elevated; nullopt when
  // the token cannot be read.
  virtual std::optional<bool> ProcessElevated() = 0;
  // AdjustTokenPrivileges of the process's own token (OpenProcessToken, LookupPrivilegeValueW): enables a
  // privilege such as "SeTakeOwnershipPrivilege"; false when the token does not hold it.
  virtual bool EnablePrivilege(const std::string& name) = 0;
  // GetTokenInformation(TokenUser) of the process's own token, as a SID text (ConvertSidToStringSidW);
  // nullopt when it cannot be read.
  virtual std::optional<std::string> ProcessUserSid() = 0;
  // GetLocalTime as yyyymmdd.
  virtual std::string LocalDate() = 0;
  // The thread waits this many milliseconds, its windows answering meanwhile (MsgWaitForMultipleObjects).
  virtual void Pause(std::uint32_t milliseconds) = 0;
  // GetTickCount64: the milliseconds since Windows started, for the time an operation took.
  virtual std::uint64_t Milliseconds() = 0;
  // Starts the work on a thread of its own (CreateThread), handing it a machine of its own: adapters that
  // share no state with the caller's (a last error kept between two calls). What else the work reaches (a
  // WinHTTP session, which serves several threads, the objects it fills) is the caller's to keep alive
  // until the job has ended. nullptr when no thread can be started: the caller does the work itself.
  virtual std::unique_ptr<BesideJob> RunBeside(std::function<void(Machine&)> work) = 0;

  [[noreturn]] virtual void ExitProcess(std::uint32_t exitCode) = 0;
};

// An HRESULT counts as failure when its severity bit is set.
constexpr bool ComFailed(std::int32_t hresult) {
  return hresult < 0;
}
