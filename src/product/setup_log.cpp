#include "product/setup_log.h"

#include <cmath>

#include "core/blank_text.h"
#include "core/path_text.h"
#include "product/run_context.h"

namespace {

constexpr char kFeatureProgressPrefix[] = "Updating IIS Features:";
constexpr char kFeatureProgressSuffix[] = " perc completed";

std::string_view PrefixFor(LogTag tag) {
  switch (tag) {
    case LogTag::client:
      return "Client Setup:";
    case LogTag::server:
      return "Server Setup:";
    case LogTag::userInterface:
      return "User Interface:";
    case LogTag::sqlInstall:
      return "SQL Server Install:";
    case LogTag::layout:
      return "Layout:";
    case LogTag::check:
      return "Check:";
  }
  return {};
}

}  // namespace

void SetupLog::Append(std::string_view startDirectory, std::string_view line) {
  if (!opened_) {
    opened_ = true;
    file_.Receive() =
        files_.Create(path.empty() ? LogFilePath(startDirectory) : path,
                      Files::kGenericRead | Files::kGenericWrite, Files::kShareRead | Files::kShareWrite,
                      append ? Files::kOpenAlways : Files::kCreateAlways, Files::kAttributeNormal);
  }
  if (file_.IsOpen()) {
    files_.SeekToEnd(file_.get());
    files_.Write(file_.get(), line);
  }
}

void SetupLog::Close() {
  opened_ = true;
  file_.Close();
}

std::string FormatLogLine(LogTag tag, std::string_view text, std::optional<std::string_view> detail1,
                          std::optional<std::string_view> detail2) {
  std::string line(PrefixFor(tag));
  line += text;
  for (const auto& detail : {detail1, detail2}) {
    if (detail) {
      line += ';';
      line += *detail;
    }
  }
  line += "\r\n";
  return line;
}

std::string LogFilePath(std::string_view startDirectory) {
  return JoinPath(TrimTrailingBlanks(startDirectory), kLogFileName);
}

std::string FileBesideLog(const RunContext& run, std::string_view name) {
  const std::string& path = run.log.path;
  const std::size_t folderEnd = path.find_last_of("\\/");
  if (path.empty() || folderEnd == std::string::npos) {
    return JoinPath(TrimTrailingBlanks(run.startDirectory), name);
  }
  return path.substr(0, folderEnd + 1).append(name);
}

std::string MaskSecrets(std::string line, const std::vector<std::string>& secrets) {
  for (const std::string& secret : secrets) {
    if (secret.empty()) {
      continue;
    }
    for (std::size_t at = line.find(secret); at != std::string::npos; at = line.find(secret, at)) {
      line.replace(at, secret.size(), kMaskedSecret);
      at += std::string_view(kMaskedSecret).size();
    }
  }
  return line;
}

int WriteLog(RunContext& run, LogTag tag, std::string_view text, std::optional<std::string_view> detail1,
             std::optional<std::string_view> detail2) {
  const std::string line = MaskSecrets(FormatLogLine(tag, text, detail1, detail2), run.secrets);
  run.lastTag = tag;
  if (run.heldLines != nullptr) {
    run.heldLines->push_back({tag, line});
    return 1;
  }
  run.reporter.ShowStatus(line);
  run.log.Append(run.startDirectory, line);
  return 1;
}

void WriteHeldLines(RunContext& run, const std::vector<HeldLine>& lines) {
  for (const HeldLine& held : lines) {
    run.lastTag = held.tag;
    run.reporter.ShowStatus(held.line);
    run.log.Append(run.startDirectory, held.line);
  }
}

void WriteOutput(RunContext& run, const std::string& text) {
  run.machine.runtime.WriteStandardOutput(MaskSecrets(text, run.secrets));
}

void CloseLog(RunContext& run) {
  run.log.Close();
}

int ShowInfo(RunContext& run, const std::string& text) {
  run.reporter.ShowMessage(text, kInfoCaption, DialogView::kIconInformation);
  return 0;
}

int ProgressPercent(double done, double total) {
  if (!(total > 0) || !(done > 0)) {
    return 0;
  }
  const double percent = std::trunc(done / total * 100.0);
  return percent >= 100.0 ? 100 : static_cast<int>(percent);
}

void AdvanceProgress(RunContext& run, double weight) {
  run.progressDone += weight;
  run.reporter.ShowProgress(ProgressPercent(run.progressDone, run.progressTotal));
}

void ReportFeatureProgress(RunContext& run, std::uint32_t current, std::uint32_t total) {
  const int percent = ProgressPercent(current, total);
  run.featureProgressPercent = percent;
  run.reporter.ShowStatus(kFeatureProgressPrefix + std::to_string(percent) + kFeatureProgressSuffix);
  run.reporter.Repaint(percent % 5 == 0);
}
