#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/port_guards.h"

struct RunContext;

// The component tag of a log line, which chooses its prefix.
enum class LogTag : std::uint32_t {
  client = 0x200,
  server = 0x400,
  userInterface = 0x10000,
  sqlInstall = 0x800,
  layout = 0x20000,
  check = 0x40000,
};

inline constexpr char kLogFileName[] = "Halvorn NembricAI  Setup v10.1.3.Log";
inline constexpr char kInfoCaption[] = "Halvorn Nembric Version 10.1 App";

// The setup log file: created anew by the first line, appended to line by line, closed for good at the
// end of a run. A log that cannot be created is not tried again.
class SetupLog {
 public:
  explicit SetupLog(Files& files) : files_(files), file_(files) {}

  void Append(std::string_view startDirectory, std::string_view line);
  // Nothing is written to the log afterwards.
  void Close();
  // The log file is open for writing.
  bool IsOpen() const { return file_.IsOpen(); }

  // Where the log goes when it is not the start directory's log file (/log=FILE); empty for that one.
  std::string path;
  // The first line is added to what the file holds instead of starting it anew (a second setup that must
  // not touch the running one's log).
  bool append = false;

 private:
  Files& files_;
  UniqueFile file_;
  bool opened_ = false;
};

// The line as it is written: prefix, text, ";detail" for each detail given, CR LF.
std::string FormatLogLine(LogTag tag, std::string_view text, std::optional<std::string_view> detail1,
                          std::optional<std::string_view> detail2);

// What a log line shows in place of a secret.
inline constexpr char kMaskedSecret[] = "********";

// The line with every occurrence of each (non-empty) secret replaced by kMaskedSecret.
std::string MaskSecrets(std::string line, const std::vector<std::string>& secrets);

// Where the log goes: the start directory without trailing blanks, a backslash unless it ends in one, and
// the log file name.
std::string LogFilePath(std::string_view startDirectory);
// A file of that name in the log's folder (the start directory when the log's path names no folder).
std::string FileBesideLog(const RunContext& run, std::string_view name);

// A line of a step done ahead of its turn (a package fetched beside the run), held until its turn comes:
// its tag and the line as it is written.
struct HeldLine {
  LogTag tag;
  std::string line;
};
// Writes the held lines, in their order, as `WriteLog` would have written them.
void WriteHeldLines(RunContext& run, const std::vector<HeldLine>& lines);

// Writes one line to the status line and to the setup log. Always returns 1; the status line still shows
// every line when the log cannot be written.
int WriteLog(RunContext& run, LogTag tag, std::string_view text,
             std::optional<std::string_view> detail1 = std::nullopt,
             std::optional<std::string_view> detail2 = std::nullopt);

// Writes the text to standard output, every secret masked as in the log.
void WriteOutput(RunContext& run, const std::string& text);

// Closes the setup log at the end of a run; nothing is written to it afterwards.
void CloseLog(RunContext& run);

// An information box with the program's caption and no owner; returns 0 once it is closed.
int ShowInfo(RunContext& run, const std::string& text);

// Adds the weight to the progress done and moves the progress bar to done/total in percent.
void AdvanceProgress(RunContext& run, double weight);

// Progress of the IIS feature step, shown in the status line only (never logged).
void ReportFeatureProgress(RunContext& run, std::uint32_t current, std::uint32_t total);

// The percentage shown for done out of total: truncated, 0 when there is no total, never beyond 0..100.
int ProgressPercent(double done, double total);
