#include "app/setup_log.h"

#include <cmath>

#include "app/blank_text.h"
#include "app/path_text.h"
#include "app/setup_context.h"
#include "resources/resource.h"

namespace {

constexpr char kFeatureProgressPrefix[] = "Updating IIS Features:";
constexpr char kFeatureProgressSuffix[] = " perc completed";

std::string_view PrefixFor(LogFlags flags) {
  if ((flags & kLogClient) != 0) {
    return "Client Setup:";
  }
  if ((flags & kLogServer) != 0) {
    return "Server Setup:";
  }
  if ((flags & kLogUserInterface) != 0) {
    return "User Interface:";
  }
  if ((flags & kLogSqlInstall) != 0) {
    return "SQL Server Install:";
  }
  return {};
}

void SetStatusLine(SetupContext& context, const std::string& text) {
  // Before a dialog exists there is no status line to show the text.
  if (context.dialogWindow != WindowHandle::none) {
    context.machine.dialogs.SetControlText(context.dialogWindow, IDC_STATUS_LINE, text);
  }
}

}  // namespace

std::string FormatLogLine(LogFlags flags, std::string_view text, std::optional<std::string_view> detail1,
                          std::optional<std::string_view> detail2) {
  std::string line(PrefixFor(flags));
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

int WriteLog(SetupContext& context, LogFlags flags, std::string_view text,
             std::optional<std::string_view> detail1, std::optional<std::string_view> detail2) {
  const std::string line = FormatLogLine(flags, text, detail1, detail2);
  SetStatusLine(context, line);

  Files& files = context.machine.files;
  if (context.logFile == FileHandle::none) {
    context.logFile =
        files.Create(LogFilePath(context.startDirectory), Files::kGenericRead | Files::kGenericWrite,
                     Files::kShareRead | Files::kShareWrite, Files::kCreateAlways, Files::kAttributeNormal);
  }
  if (context.logFile != FileHandle::invalid) {
    files.SeekToEnd(context.logFile);
    files.Write(context.logFile, line);
  }
  return 1;
}

void CloseLog(SetupContext& context) {
  if (context.logFile != FileHandle::none && context.logFile != FileHandle::invalid) {
    context.machine.files.Close(context.logFile);
  }
  // A closed log stays closed: later lines reach the status line only.
  context.logFile = FileHandle::invalid;
}

int ShowInfo(SetupContext& context, const std::string& text) {
  context.machine.dialogs.ShowMessageBox(WindowHandle::none, text, kInfoCaption,
                                         DialogView::kIconInformation);
  return 0;
}

int ProgressPercent(double done, double total) {
  if (!(total > 0) || !(done > 0)) {
    return 0;
  }
  const double percent = std::trunc(done / total * 100.0);
  return percent >= 100.0 ? 100 : static_cast<int>(percent);
}

void AdvanceProgress(SetupContext& context, double weight) {
  context.progressDone += weight;
  context.machine.dialogs.SetProgressPosition(context.dialogWindow, IDC_PROGRESS_BAR,
                                              ProgressPercent(context.progressDone, context.progressTotal));
}

void ReportFeatureProgress(SetupContext& context, std::uint32_t current, std::uint32_t total) {
  const int percent = ProgressPercent(current, total);
  context.featureProgressPercent = percent;
  SetStatusLine(context, kFeatureProgressPrefix + std::to_string(percent) + kFeatureProgressSuffix);
  DialogView& dialogs = context.machine.dialogs;
  dialogs.InvalidateWindow(context.dialogWindow, true);
  if (percent % 5 == 0) {
    dialogs.UpdateWindow(context.dialogWindow);
  }
}
