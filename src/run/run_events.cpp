#include "run/run_events.h"

#include <string>

#include "core/port_guards.h"
#include "product/run_context.h"

namespace {

constexpr char kAnd[] = " and ";

struct EventOf {
  std::uint16_t type;
  std::uint32_t id;
  bool withExitCode;
};

EventOf EventFor(ComponentEnd end) {
  switch (end) {
    case ComponentEnd::installed:
      return {EventLog::kInformation, kEventInstalled, false};
    case ComponentEnd::repaired:
      return {EventLog::kInformation, kEventRepaired, false};
    case ComponentEnd::removed:
      return {EventLog::kInformation, kEventRemoved, false};
    case ComponentEnd::takenBack:
      return {EventLog::kError, kEventTakenBack, true};
    case ComponentEnd::left:
    default:
      return {EventLog::kError, kEventLeft, true};
  }
}

}  // namespace

void ReportRunEvents(RunContext& run, const std::vector<ComponentEvent>& events, std::uint32_t exitCode) {
  if (events.empty()) {
    return;
  }
  EventLog& log = run.machine.eventLog;
  const UniqueEventSource source(log, log.Register(kEventSource));
  if (!source.IsOpen()) {
    return;
  }
  Runtime& runtime = run.machine.runtime;
  const auto wide = [&runtime](const std::string& text) { return runtime.Utf8ToWide(text).value_or(u""); };
  const std::u16string logPath = wide(run.log.path.empty() ? LogFilePath(run.startDirectory) : run.log.path);
  std::string names;
  for (const ComponentEvent& event : events) {
    const EventOf of = EventFor(event.end);
    std::vector<std::u16string> strings{wide(event.component)};
    if (of.withExitCode) {
      strings.push_back(wide(std::to_string(exitCode)));
    }
    strings.push_back(logPath);
    log.Report(source.get(), of.type, of.id, strings);
    names += (names.empty() ? "" : kAnd) + std::string(event.component);
  }
  if (run.restartNeeded) {
    log.Report(source.get(), EventLog::kWarning, kEventRestartNeeded, {wide(names), logPath});
  }
}
