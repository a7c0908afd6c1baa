#pragma once

#include <string>
#include <vector>

#include "product/setup_choices.h"

struct RunContext;
struct SetupState;
class SqlServerSetup;

// The verdict of one pre-flight check: a FAIL line stops the run that was checked.
enum class CheckVerdict { ok, warn, fail };

struct CheckLine {
  CheckVerdict verdict = CheckVerdict::ok;
  std::string name;
  // What was found, with its figure ("412.3 MB needed, 20.1 GB free").
  std::string figure;
  bool operator==(const CheckLine&) const = default;
};

struct PreflightReport {
  std::vector<CheckLine> lines;
  // No line failed: the run with these choices would go ahead.
  bool WouldGoAhead() const;
};

// What a run with the choices needs of this machine, judged without changing anything: administrator
// rights, Windows and its architecture, the package source, free space for the packages, the website's
// port, SQL Server (as the detection that `sql` holds found it), the runtimes, DISM, a pending restart and
// other setups. `anotherSetup`: another of this product's setups is running.
PreflightReport RunPreflight(SetupState& state, const SqlServerSetup& sql, const SetupChoices& choices,
                             bool anotherSetup);

// "OK   NAME: FIGURE" (WARN, FAIL), as the console, the log and the dialog show a line; the last line of
// a report says whether the run would go ahead.
std::string CheckLineText(const CheckLine& line);
std::string ReportEndText(const PreflightReport& report);

// The report as a JSON object for distribution tools: {"wouldGoAhead": ..., "checks": [{"name", "result",
// "figure"}]}, non-ASCII characters of the UTF-8 texts written as \u escapes of their UTF-16 units.
std::string PreflightJson(RunContext& run, const PreflightReport& report);
