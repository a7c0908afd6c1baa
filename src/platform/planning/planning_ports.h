#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/event_log.h"
#include "platform/features.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/runtime.h"
#include "platform/shell.h"

// The services a run that only plans reaches instead of the machine's: they answer as the machine would
// when a change succeeds and make none. What they were asked to do is kept for the plan.

// The end of a run that only plans: the exit code it would have ended with.
struct PlannedRunEnded {
  std::uint32_t exitCode = 0;
};

// The process's runtime (COM is started as for any run: the setup that plans has not started it), except
// that the run that plans claims no mutex, writes nothing to standard output, does not pause, and ends by
// throwing PlannedRunEnded rather than ending the process.
class PlanningRuntime final : public Runtime {
 public:
  explicit PlanningRuntime(Runtime& real) : real_(real) {}
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
  Runtime& real_;
};

// Programs are not started: each would run and end with 0, writing nothing.
class PlanningProcesses final : public Processes {
 public:
  explicit PlanningProcesses(Processes& real) : real_(real) {}
  ProcessHandle Create(const ProcessStart& start, std::uint32_t& error) override;
  std::uint32_t Wait(ProcessHandle process, std::uint32_t timeoutMs) override;
  std::optional<std::uint32_t> ExitCode(ProcessHandle process) override;
  void Close(ProcessHandle process) override;
  std::optional<Pipe> CreateOutputPipe() override;
  std::optional<std::uint32_t> BytesWaiting(FileHandle read) override;
  std::optional<std::string> ReadPipe(FileHandle read, std::size_t maxBytes) override;
  void ClosePipeEnd(FileHandle end) override;
  std::optional<std::string> SystemMessage(std::uint32_t error) override;

  // The programs the run would start (their full paths and command lines), in order.
  std::vector<ProcessStart> started;

 private:
  Processes& real_;
  std::uintptr_t nextHandle_ = 0x7D000000;
};

// DISM is not asked: every feature would be enabled.
class PlanningFeatures final : public Features {
 public:
  std::int32_t Initialize(std::int32_t logLevel) override;
  std::int32_t OpenSession(std::u16string_view imagePath, FeatureSession& session) override;
  std::int32_t EnableFeature(FeatureSession session, std::u16string_view featureNames, bool limitAccess,
                             bool enableAll, const Progress& progress) override;
  std::int32_t CloseSession(FeatureSession session) override;
  std::int32_t Shutdown() override;

  // The feature lists the run would enable.
  std::vector<std::u16string> enabled;
};

// Shortcuts are saved into the files the run sees (the overlay), not by the shell; the folder dialog is
// the shell's.
class PlanningShell final : public Shell {
 public:
  PlanningShell(Shell& real, Files& files, Runtime& runtime)
      : real_(real), files_(files), runtime_(runtime) {}
  std::int32_t CreateFolderDialog(std::unique_ptr<FolderDialog>& dialog) override;
  std::int32_t CreateShellLink(std::unique_ptr<ShellLink>& link) override;

 private:
  Shell& real_;
  Files& files_;
  Runtime& runtime_;
};

// No event is written.
class PlanningEventLog final : public EventLog {
 public:
  EventSourceHandle Register(const std::u16string& source) override;
  bool Report(EventSourceHandle source, std::uint16_t type, std::uint32_t eventId,
              const std::vector<std::u16string>& strings) override;
  bool Deregister(EventSourceHandle source) override;
};
