#include "prereq/cabinet_extraction.h"

#include <array>
#include <string>

#include "app/path_text.h"
#include "app/setup_context.h"
#include "app/setup_log.h"
#include "packages/server_setup.h"
#include "prereq/cabinet_callbacks.h"

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
constexpr char kCabinetMark[] = "cab";

// "<what> failed with error code N: text", as printed on standard output.
void PrintCabinetFailure(SetupContext& context, const char* line, int code) {
  std::string text = line;
  text += std::to_string(code);
  text += ": ";
  text += CabinetErrorText(code);
  text += '\n';
  context.machine.runtime.WriteStandardOutput(text);
}

}  // namespace

const char* CabinetErrorText(int code) {
  if (code < 0 || static_cast<std::size_t>(code) >= kCabinetErrorTexts.size()) {
    return kUnknownCabinetError;
  }
  return kCabinetErrorTexts.at(static_cast<std::size_t>(code));
}

int ReportCabinetError(SetupContext& context, int code) {
  return WriteLog(context, kLogServer, CabinetErrorText(code));
}

bool ServerSetup::ExtractCabinet(const std::string& cabinetName, const std::string& cabinetDirectory,
                                 const std::string& destination) {
  if (cabinetName.find(kCabinetMark) == std::string::npos) {
    return true;
  }
  return CopyCabinet(cabinetName, WithTrailingBackslash(cabinetDirectory),
                     WithTrailingBackslash(destination));
}

bool ServerSetup::CopyCabinet(const std::string& cabinetName, const std::string& cabinetDirectory,
                              const std::string& destination) {
  Machine& machine = owner.machine;
  CabinetCallbacks callbacks(machine.files);
  CabinetErrorRecord record;
  const CabinetContext context = machine.cabinet.Create(callbacks, Cabinet::kCpuUnknown, record);
  if (context == CabinetContext::none) {
    ReportCabinetError(owner, record.oper);
    return false;
  }
  record.oper = 0;

  bool copied = false;
  for (int attempt = 0; attempt < kCabinetAttempts;) {
    CabinetTarget target{destination, {}, {}};
    if (machine.cabinet.Copy(context, cabinetName, cabinetDirectory, 0, callbacks, &target)) {
      copied = true;
      break;
    }
    if (!target.rejectedEntry.empty()) {
      // The cabinet itself is at fault: another attempt would meet the same entry.
      WriteLog(owner, kLogServer, kEntryRejected + target.rejectedEntry, target.rejectionReason);
      break;
    }
    if (record.oper != static_cast<int>(CabinetError::userAbort)) {
      ReportCabinetError(owner, record.oper);
      PrintCabinetFailure(owner, kCopyFailedLine, record.oper);
      break;
    }
    ++attempt;
  }

  if (!machine.cabinet.Destroy(context)) {
    ReportCabinetError(owner, record.oper);
    PrintCabinetFailure(owner, kDestroyFailedLine, record.oper);
  }
  return copied;
}
