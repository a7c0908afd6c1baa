#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/runtime.h"

// Thrown by FakeRuntime::ExitProcess: the test sees the exit code where the process would have ended.
struct ProcessExit {
  std::uint32_t exitCode;
};

// COM start results and conversions set by the test; everything the program does is recorded.
// Texts convert between UTF-16 and UTF-8 as strictly as Windows' wide calls: invalid ones give nullopt.
class FakeRuntime final : public Runtime {
 public:
  std::int32_t InitializeCom(std::uint32_t flags) override;
  std::int32_t InitializeSecurity(std::uint32_t authenticationLevel,
                                  std::uint32_t impersonationLevel) override;
  void UninitializeCom() override { ++uninitializeCalls; }
  bool RevertToSelf() override {
    ++revertToSelfCalls;
    return true;
  }
  std::optional<std::string> WideToUtf8(std::u16string_view text) override;
  std::optional<std::u16string> Utf8ToWide(std::string_view text) override;
  // The ANSI code page is Latin-1.
  std::optional<std::string> AnsiToUtf8(std::string_view text) override;
  bool WriteStandardOutput(std::string_view text) override {
    standardOutput += text;
    return true;
  }
  bool ClaimNamedMutex(std::u16string_view name) override {
    claimedMutexes.emplace_back(name);
    return !anotherInstance;
  }
  bool NamedMutexExists(std::u16string_view name) override {
    return existingMutexes.count(std::u16string(name)) != 0;
  }
  std::optional<bool> ProcessElevated() override { return elevated; }
  std::optional<std::string> ProcessUserSid() override { return userSid; }
  bool EnablePrivilege(const std::string& name) override {
    if (heldPrivileges.count(name) == 0) {
      return false;
    }
    enabledPrivileges.insert(name);
    return true;
  }
  std::string LocalDate() override { return localDate; }
  // Recorded, never waited.
  // A pause moves the clock on by its length; `milliseconds` is the clock. Work waiting beside the run
  // gets its turn meanwhile.
  void Pause(std::uint32_t milliseconds) override {
    pauses.push_back(milliseconds);
    RunWorkBeside();
    if (paused) {
      paused();
    }
    clock += milliseconds;
  }
  // Work beside the run is given this machine and done on the caller's thread: at once, or, with
  // `besideLater`, at the caller's next pause or wait for it (both are what a thread of its own may do).
  std::unique_ptr<BesideJob> RunBeside(std::function<void(Machine&)> work) override;
  // Does the work waiting beside the run.
  void RunWorkBeside();
  Machine* machine = nullptr;
  bool besideLater = false;
  // No thread can be started: nothing is run beside the run.
  bool besideRefused = false;
  int besideJobs = 0;
  std::vector<std::shared_ptr<std::function<void(Machine&)>>> besideWaiting;
  std::uint64_t Milliseconds() override { return clock; }
  std::uint64_t clock = 0;
  std::vector<std::uint32_t> pauses;
  // Called after each pause: what other processes do meanwhile (one ends and lets a file go).
  std::function<void()> paused;
  [[noreturn]] void ExitProcess(std::uint32_t exitCode) override { throw ProcessExit{exitCode}; }

  // Set by the test: another setup holds the mutex; today's date.
  bool anotherInstance = false;
  std::string localDate = "20261208";
  std::vector<std::u16string> claimedMutexes;
  // Mutexes other processes hold; whether the process runs elevated (nullopt: the token cannot be read).
  std::set<std::u16string> existingMutexes;
  std::optional<bool> elevated = true;
  // The privileges the token holds (an elevated administrator's), and those enabled.
  std::set<std::string> heldPrivileges = {"SeTakeOwnershipPrivilege", "SeRestorePrivilege",
                                          "SeBackupPrivilege"};
  std::set<std::string> enabledPrivileges;
  // The administrator the setup runs as.
  std::optional<std::string> userSid = "S-1-5-21-1004336348-1177238915-682003330-500";

  // Set by the test.
  std::int32_t comResult = 0;
  std::int32_t securityResult = 0;

  // Recorded.
  int comCalls = 0;
  int securityCalls = 0;
  int uninitializeCalls = 0;
  int revertToSelfCalls = 0;
  std::uint32_t comFlags = 0xFFFFFFFF;
  std::uint32_t authenticationLevel = 0;
  std::uint32_t impersonationLevel = 0;
  std::size_t longestConversion = 0;
  std::string standardOutput;
};
