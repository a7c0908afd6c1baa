#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct SetupContext;

// The component tag of a log line; the first bit found in the order client, server, user interface, SQL
// Server install chooses the prefix.
using LogFlags = std::uint32_t;
inline constexpr LogFlags kLogClient = 0x200;
inline constexpr LogFlags kLogServer = 0x400;
inline constexpr LogFlags kLogUserInterface = 0x10000;
inline constexpr LogFlags kLogSqlInstall = 0x800;

inline constexpr char kLogFileName[] = "Halvorn NembricAI  Setup v10.1.3.Log";
inline constexpr char kInfoCaption[] = "Halvorn Nembric Version 10.1 App";

// The line as it is written: prefix, text, ";detail" for each detail given, CR LF.
std::string FormatLogLine(LogFlags flags, std::string_view text, std::optional<std::string_view> detail1,
                          std::optional<std::string_view> detail2);

// Where the log goes: the start directory without trailing blanks, a backslash unless it ends in one, and
// the log file name.
std::string LogFilePath(std::string_view startDirectory);

// Writes one line to the status line of the showing dialog and to the setup log, which the first line
// creates anew. Always returns 1; a log that cannot be created is not tried again, and the status line
// still shows every line.
int WriteLog(SetupContext& context, LogFlags flags, std::string_view text,
             std::optional<std::string_view> detail1 = std::nullopt,
             std::optional<std::string_view> detail2 = std::nullopt);

// Closes the setup log at the end of a run; nothing is written to it afterwards.
void CloseLog(SetupContext& context);

// An information box with the program's caption and no owner; returns 0 once it is closed.
int ShowInfo(SetupContext& context, const std::string& text);

// Adds the weight to the progress done and moves the progress bar to done/total in percent.
void AdvanceProgress(SetupContext& context, double weight);

// Progress of the IIS feature step, shown in the status line only (never logged).
void ReportFeatureProgress(SetupContext& context, std::uint32_t current, std::uint32_t total);

// The percentage shown for done out of total: truncated, 0 when there is no total, never beyond 0..100.
int ProgressPercent(double done, double total);
