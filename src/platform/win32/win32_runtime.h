#pragma once

#include "platform/runtime.h"

class Win32Runtime final : public Runtime {
 public:
  Win32Runtime() = default;
  Win32Runtime(const Win32Runtime&) = delete;
  Win32Runtime& operator=(const Win32Runtime&) = delete;
  ~Win32Runtime() override;

  std::int32_t InitializeCom(std::uint32_t flags) override;
  std::int32_t InitializeSecurity(std::uint32_t authenticationLevel,
                                  std::uint32_t impersonationLevel) override;
  void UninitializeCom() override;
  bool RevertToSelf() override;
  std::optional<std::string> WideToUtf8(std::u16string_view text) override;
  std::optional<std::u16string> Utf8ToWide(std::string_view text) override;
  std::optional<std::string> AnsiToUtf8(std::string_view text) override;
  bool WriteStandardOutput(std::string_view text) override;
  bool ClaimNamedMutex(std::u16string_view name) override;
  bool NamedMutexExists(std::u16string_view name) override;
  std::optional<bool> ProcessElevated() override;
  bool EnablePrivilege(const std::string& name) override;
  std::optional<std::string> ProcessUserSid() override;
  std::string LocalDate() override;
  void Pause(std::uint32_t milliseconds) override;
  std::uint64_t Milliseconds() override;
  std::unique_ptr<BesideJob> RunBeside(std::function<void(Machine&)> work) override;
  [[noreturn]] void ExitProcess(std::uint32_t exitCode) override;

 private:
  // The claimed mutex, held until the runtime goes (or the process ends).
  void* mutex_ = nullptr;
};
