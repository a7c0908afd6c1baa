#include "platform/planning/planning_ports.h"

#include <memory>

std::int32_t PlanningRuntime::InitializeCom(std::uint32_t flags) {
  return real_.InitializeCom(flags);
}

std::int32_t PlanningRuntime::InitializeSecurity(std::uint32_t authenticationLevel,
                                                 std::uint32_t impersonationLevel) {
  return real_.InitializeSecurity(authenticationLevel, impersonationLevel);
}

void PlanningRuntime::UninitializeCom() {
  real_.UninitializeCom();
}

bool PlanningRuntime::RevertToSelf() {
  return real_.RevertToSelf();
}

std::optional<std::string> PlanningRuntime::WideToUtf8(std::u16string_view text) {
  return real_.WideToUtf8(text);
}

std::optional<std::u16string> PlanningRuntime::Utf8ToWide(std::string_view text) {
  return real_.Utf8ToWide(text);
}

std::optional<std::string> PlanningRuntime::AnsiToUtf8(std::string_view text) {
  return real_.AnsiToUtf8(text);
}

bool PlanningRuntime::WriteStandardOutput(std::string_view /*text*/) {
  return true;
}

bool PlanningRuntime::ClaimNamedMutex(std::u16string_view /*name*/) {
  return true;
}

bool PlanningRuntime::NamedMutexExists(std::u16string_view name) {
  return real_.NamedMutexExists(name);
}

std::optional<bool> PlanningRuntime::ProcessElevated() {
  return real_.ProcessElevated();
}

bool PlanningRuntime::EnablePrivilege(const std::string& name) {
  return real_.EnablePrivilege(name);
}

std::optional<std::string> PlanningRuntime::ProcessUserSid() {
  return real_.ProcessUserSid();
}

std::string PlanningRuntime::LocalDate() {
  return real_.LocalDate();
}

void PlanningRuntime::Pause(std::uint32_t /*milliseconds*/) {}

std::uint64_t PlanningRuntime::Milliseconds() {
  return real_.Milliseconds();
}

// A plan fetches nothing ahead: no work goes beside it.
std::unique_ptr<BesideJob> PlanningRuntime::RunBeside(std::function<void(Machine&)> /*work*/) {
  return nullptr;
}

void PlanningRuntime::ExitProcess(std::uint32_t exitCode) {
  throw PlannedRunEnded{exitCode};
}

ProcessHandle PlanningProcesses::Create(const ProcessStart& start, std::uint32_t& error) {
  if (start.applicationName.empty()) {
    error = 87;  // ERROR_INVALID_PARAMETER, as the adapter refuses it
    return ProcessHandle::none;
  }
  started.push_back(start);
  error = 0;
  return static_cast<ProcessHandle>(nextHandle_++);
}

std::uint32_t PlanningProcesses::Wait(ProcessHandle /*process*/, std::uint32_t /*timeoutMs*/) {
  return kWaitObject0;
}

std::optional<std::uint32_t> PlanningProcesses::ExitCode(ProcessHandle /*process*/) {
  return 0U;
}

void PlanningProcesses::Close(ProcessHandle /*process*/) {}

std::optional<Pipe> PlanningProcesses::CreateOutputPipe() {
  const auto read = static_cast<FileHandle>(nextHandle_++);
  const auto write = static_cast<FileHandle>(nextHandle_++);
  return Pipe{read, write};
}

std::optional<std::uint32_t> PlanningProcesses::BytesWaiting(FileHandle /*read*/) {
  return 0U;
}

std::optional<std::string> PlanningProcesses::ReadPipe(FileHandle /*read*/, std::size_t /*maxBytes*/) {
  return std::string();
}

void PlanningProcesses::ClosePipeEnd(FileHandle /*end*/) {}

std::optional<std::string> PlanningProcesses::SystemMessage(std::uint32_t error) {
  return real_.SystemMessage(error);
}

std::int32_t PlanningFeatures::Initialize(std::int32_t /*logLevel*/) {
  return 0;
}

std::int32_t PlanningFeatures::OpenSession(std::u16string_view /*imagePath*/, FeatureSession& session) {
  session = static_cast<FeatureSession>(1);
  return 0;
}

std::int32_t PlanningFeatures::EnableFeature(FeatureSession /*session*/, std::u16string_view featureNames,
                                             bool /*limitAccess*/, bool /*enableAll*/,
                                             const Progress& progress) {
  enabled.emplace_back(featureNames);
  if (progress) {
    progress(1, 1);
  }
  return 0;
}

std::int32_t PlanningFeatures::CloseSession(FeatureSession /*session*/) {
  return 0;
}

std::int32_t PlanningFeatures::Shutdown() {
  return 0;
}

namespace {

constexpr auto kFailed = static_cast<std::int32_t>(0x80004005U);  // E_FAIL

// A shortcut saved as a file of the files the run sees; its bytes are its target and working folder.
class PlannedLink final : public ShellLink {
 public:
  PlannedLink(Files& files, Runtime& runtime) : files_(files), runtime_(runtime) {}
  std::int32_t SetPath(const std::string& target) override {
    target_ = target;
    return 0;
  }
  std::int32_t SetDescription(const std::string& /*description*/) override { return 0; }
  std::int32_t SetWorkingDirectory(const std::string& directory) override {
    directory_ = directory;
    return 0;
  }
  std::int32_t Save(const std::u16string& fileName, bool /*remember*/) override {
    const std::optional<std::string> path = runtime_.WideToUtf8(fileName);
    const FileHandle file =
        path ? files_.Create(*path, Files::kGenericWrite, 0, Files::kCreateAlways, Files::kAttributeNormal)
             : FileHandle::invalid;
    if (file == FileHandle::invalid) {
      return kFailed;
    }
    const bool written = files_.Write(file, target_ + "\r\n" + directory_ + "\r\n");
    return files_.Close(file) && written ? 0 : kFailed;
  }

 private:
  Files& files_;
  Runtime& runtime_;
  std::string target_;
  std::string directory_;
};

}  // namespace

std::int32_t PlanningShell::CreateFolderDialog(std::unique_ptr<FolderDialog>& dialog) {
  return real_.CreateFolderDialog(dialog);
}

std::int32_t PlanningShell::CreateShellLink(std::unique_ptr<ShellLink>& link) {
  link = std::make_unique<PlannedLink>(files_, runtime_);
  return 0;
}

EventSourceHandle PlanningEventLog::Register(const std::u16string& /*source*/) {
  return static_cast<EventSourceHandle>(1);
}

bool PlanningEventLog::Report(EventSourceHandle /*source*/, std::uint16_t /*type*/, std::uint32_t /*eventId*/,
                              const std::vector<std::u16string>& /*strings*/) {
  return true;
}

bool PlanningEventLog::Deregister(EventSourceHandle /*source*/) {
  return true;
}
