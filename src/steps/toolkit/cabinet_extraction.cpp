#include "steps/toolkit/cabinet_extraction.h"

#include <array>
#include <string>

#include "core/path_text.h"
#include "core/port_guards.h"
#include "product/run_context.h"
#include "steps/actions/module_at_restart.h"
#include "steps/toolkit/cabinet_callbacks.h"

namespace {

constexpr std::array<const char*, 12> kCabinetErrorTexts = {
    "No error",
    "Cabinet not found",
    "Not valid cabinet",
    "Unknown cabinet version",
    "Corrupt cabinet",
    "Memory allocation failed",
    "Unknown compression type",
    "Failure decompressing data",
    "Failure writing to target file",
    "Cabinets in set have different RESERVE sizes",
    "Cabinet returned on fdintNEXT_CABINET is incorrect",
    "Application aborted",
};
constexpr char kUnknownCabinetError[] = "Unknown error";
constexpr char kCopyFailedLine[] = "FDICopy failed with error code ";
constexpr char kDestroyFailedLine[] = "FDIDestroy failed with error code ";
constexpr char kEntryRejected[] = "Cabinet entry rejected: ";

constexpr int kCabinetAttempts = 5;
constexpr char kCreateCall[] = "FDICreate";
constexpr char kCopyCall[] = "FDICopy";

// "<what> failed with error code N: text", as printed on standard output.
void PrintCabinetFailure(RunContext& run, const char* line, int code) {
  std::string text = line;
  text += std::to_string(code);
  text += ": ";
  text += CabinetErrorText(code);
  text += '\n';
  WriteOutput(run, text);
}

}  // namespace

const char* CabinetErrorText(int code) {
  if (code < 0 || static_cast<std::size_t>(code) >= kCabinetErrorTexts.size()) {
    return kUnknownCabinetError;
  }
  return kCabinetErrorTexts.at(static_cast<std::size_t>(code));
}

int ReportCabinetError(RunContext& run, int code) {
  return WriteLog(run, LogTag::server, CabinetErrorText(code));
}

ActionResult ExtractCabinet(RunContext& run, const std::string& cabinetName,
                            const std::string& cabinetDirectory, const std::string& destination,
                            InUseTargets inUse) {
  if (cabinetName.find(kCabinetMark) == std::string::npos) {
    return ActionResult::Done();
  }
  return CopyCabinet(run, cabinetName, WithTrailingBackslash(cabinetDirectory),
                     WithTrailingBackslash(destination), inUse);
}

ActionResult CopyCabinet(RunContext& run, const std::string& cabinetName, const std::string& cabinetDirectory,
                         const std::string& destination, InUseTargets inUse) {
  Machine& machine = run.machine;
  CabinetCallbacks callbacks(machine.files, &run.record);
  CabinetErrorRecord record;
  UniqueCabinetContext context(machine.cabinet,
                               machine.cabinet.Create(callbacks, Cabinet::kCpuUnknown, record));
  if (!context.IsOpen()) {
    ReportCabinetError(run, record.oper);
    return ActionResult::Failed(kCreateCall, record.oper, CabinetErrorText(record.oper));
  }
  record.oper = 0;

  ActionResult result = ActionResult::Done();
  for (int attempt = 0; attempt < kCabinetAttempts;) {
    CabinetTarget target{destination, {}, {}, inUse == InUseTargets::replaceAtRestart, {}};
    if (machine.cabinet.Copy(context.get(), cabinetName, cabinetDirectory, 0, callbacks, &target)) {
      ReplaceAtRestart(run, target.writtenBeside);
      result = ActionResult::Done();
      break;
    }
    if (!target.rejectionReason.empty()) {
      // The cabinet itself is at fault: another attempt would meet the same entry.
      const std::string entry = kEntryRejected + target.rejectedEntry;
      WriteLog(run, LogTag::server, entry, target.rejectionReason);
      result = ActionResult::Failed(kCopyCall, record.oper, entry + ";" + target.rejectionReason);
      break;
    }
    result = ActionResult::Failed(kCopyCall, record.oper, CabinetErrorText(record.oper));
    if (record.oper != static_cast<int>(CabinetError::userAbort)) {
      ReportCabinetError(run, record.oper);
      PrintCabinetFailure(run, kCopyFailedLine, record.oper);
      break;
    }
    ++attempt;
  }

  if (!context.Close()) {
    ReportCabinetError(run, record.oper);
    PrintCabinetFailure(run, kDestroyFailedLine, record.oper);
  }
  return result;
}
