#include "check/preflight.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <map>
#include <optional>
#include <tuple>

#include "core/blank_text.h"
#include "core/hex_text.h"
#include "core/leading_number.h"
#include "core/path_text.h"
#include "core/port_guards.h"
#include "plan/setup_plan.h"
#include "product/setup_state.h"
#include "steps/download/http_session.h"
#include "steps/download/package_probe.h"
#include "steps/download/publisher_check.h"
#include "steps/iis/iis_website.h"
#include "steps/server/server_setup.h"
#include "steps/sql/sql_server_setup.h"
#include "steps/toolkit/mapped_drive.h"
#include "steps/toolkit/product_registration.h"
#include "steps/toolkit/runtime_check.h"
#include "steps/undo/last_update.h"

namespace {

constexpr char kOk[] = "OK  ";
constexpr char kWarn[] = "WARN";
constexpr char kFail[] = "FAIL";
constexpr char kGoesAhead[] = "The setup would go ahead";
constexpr char kStops[] = "The setup would not go ahead: checks failed: ";

constexpr char kRightsName[] = "Administrator rights";
constexpr char kElevated[] = "the setup runs elevated";
constexpr char kNotElevated[] = "the setup does not run elevated: start it as administrator";
constexpr char kTokenUnread[] = "the process's token cannot be read";

constexpr char kWindowsName[] = "Windows";
constexpr char kWindowsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char kEnvironmentKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr char kWindowsUnread[] = "the version cannot be read";
constexpr char kWindowsTooOld[] =
    ": older than Windows 10 and Windows Server 2016, which SQL Server Express and IIS of this setup are "
    "made for";
constexpr char kNotX64[] = ": a 64-bit Windows (x64) is needed";
constexpr char kEmulated[] = ": the setup runs under x64 emulation";
constexpr std::uint32_t kOldestMajorVersion = 10;

constexpr char kSourceName[] = "Package source";
constexpr char kStartFolderName[] = "Start folder";
constexpr char kSpaceName[] = "Free space on ";
constexpr char kPortName[] = "Website port ";
constexpr char kSqlName[] = "SQL Server";
constexpr char kRuntimesName[] = "Visual C++ runtimes";
constexpr char kOnePackage[] = " package, ";
constexpr char kPackages[] = " packages, ";
constexpr char kDismName[] = "DISM";
constexpr char kPublisherPinned[] =
    " publisher key(s) pinned: a package runs only with a signature they lead to";
constexpr char kRestartName[] = "Pending restart";
constexpr char kOtherSetupName[] = "Other setups";
constexpr char kUndoName[] = "Undo";
constexpr char kNothingToUndo[] = "nothing to undo";
constexpr char kLastUpdateOf[] = "the last update of ";
constexpr char kUpdateOn[] = " on ";
constexpr char kCanBeTakenBack[] = " can be taken back";
constexpr char kNoServer[] = "not needed: no server is chosen";

constexpr char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr char kPendingRenames[] = "PendingFileRenameOperations";
constexpr char kServicingKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\RebootPending";
constexpr char kUpdateKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update\\RebootRequired";

constexpr std::u16string_view kInstallerMutex = u"Global\\_MSIExecute";

constexpr std::uint32_t kSecureFailure = 12175;  // ERROR_WINHTTP_SECURE_FAILURE
constexpr std::uint32_t kStatusOk = 200;

CheckLine Line(CheckVerdict verdict, const char* name, std::string figure) {
  return CheckLine{verdict, name, std::move(figure)};
}

std::optional<RegistryValue> ReadValue(Registry& registry, const char* keyPath, const char* name) {
  UniqueKey key(registry);
  if (registry.OpenKey(RegistryKey::localMachine, keyPath, Registry::kRead | Registry::kView64,
                       key.Receive()) != Registry::kSuccess) {
    return std::nullopt;
  }
  RegistryValue value;
  if (registry.QueryValue(key.get(), name, value) != Registry::kSuccess) {
    return std::nullopt;
  }
  return value;
}

bool KeyExists(Registry& registry, const char* keyPath) {
  UniqueKey key(registry);
  return registry.OpenKey(RegistryKey::localMachine, keyPath, Registry::kRead | Registry::kView64,
                          key.Receive()) == Registry::kSuccess;
}

// A REG_SZ as its text up to the first NUL; nullopt for another type.
std::optional<std::string> TextOf(const std::optional<RegistryValue>& value) {
  if (!value || (value->type != Registry::kTypeString && value->type != Registry::kTypeExpandString)) {
    return std::nullopt;
  }
  return std::string(value->data.data(), std::min(value->data.size(), value->data.find('\0')));
}

std::optional<std::uint32_t> DwordOf(const std::optional<RegistryValue>& value) {
  if (!value || value->type != Registry::kTypeDword || value->data.size() != 4) {
    return std::nullopt;
  }
  std::uint32_t number = 0;
  for (std::size_t i = 4; i-- > 0;) {
    number = (number << 8U) | static_cast<unsigned char>(value->data[i]);
  }
  return number;
}

std::string Megabytes(std::uint64_t bytes) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text.data();
}

CheckLine CheckRights(Runtime& runtime) {
  const std::optional<bool> elevated = runtime.ProcessElevated();
  if (!elevated) {
    return Line(CheckVerdict::warn, kRightsName, kTokenUnread);
  }
  return *elevated ? Line(CheckVerdict::ok, kRightsName, kElevated)
                   : Line(CheckVerdict::fail, kRightsName, kNotElevated);
}

// A part of a version text that is a decimal number.
std::optional<std::uint32_t> VersionPart(std::string_view text) {
  const std::optional<std::uint64_t> number = DecimalNumber(text);
  if (!number || *number > 0xFFFF) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(*number);
}

CheckLine CheckWindows(Registry& registry) {
  // Windows 10 and later give their version as numbers; earlier ones as "6.1" (and so do later ones, for
  // old programs), which is read only where the numbers are missing.
  std::optional<std::uint32_t> major = DwordOf(ReadValue(registry, kWindowsKey, "CurrentMajorVersionNumber"));
  std::optional<std::uint32_t> minor = DwordOf(ReadValue(registry, kWindowsKey, "CurrentMinorVersionNumber"));
  if (!major) {
    const std::string version = TextOf(ReadValue(registry, kWindowsKey, "CurrentVersion")).value_or("");
    const std::size_t dot = version.find('.');
    major = VersionPart(std::string_view(version).substr(0, dot));
    minor = dot == std::string::npos ? std::nullopt : VersionPart(std::string_view(version).substr(dot + 1));
  }
  const std::optional<std::string> build = TextOf(ReadValue(registry, kWindowsKey, "CurrentBuildNumber"));
  const std::optional<std::string> product = TextOf(ReadValue(registry, kWindowsKey, "ProductName"));
  const std::optional<std::string> architecture =
      TextOf(ReadValue(registry, kEnvironmentKey, "PROCESSOR_ARCHITECTURE"));
  if (!major || !architecture) {
    return Line(CheckVerdict::warn, kWindowsName, kWindowsUnread);
  }
  std::string figure = product.value_or("Windows");
  figure += ' ';
  figure += std::to_string(*major) + "." + std::to_string(minor.value_or(0)) + "." + build.value_or("0");
  figure += ", " + *architecture;
  if (SameName(*architecture, "ARM64")) {
    return Line(CheckVerdict::warn, kWindowsName, figure + kEmulated);
  }
  if (!SameName(*architecture, "AMD64")) {
    return Line(CheckVerdict::fail, kWindowsName, figure + kNotX64);
  }
  if (*major < kOldestMajorVersion) {
    return Line(CheckVerdict::warn, kWindowsName, figure + kWindowsTooOld);
  }
  return Line(CheckVerdict::ok, kWindowsName, figure);
}

// A planned package with the folder its component writes it to and what it takes there: a cabinet is
// counted twice, for the package and for what is unpacked from it beside it.
struct SpaceNeed {
  std::string directory;
  const PlannedPackage* package;
};

std::string DriveRoot(const std::string& directory) {
  if (directory.size() >= 2 && directory[1] == ':' &&
      std::isalpha(static_cast<unsigned char>(directory[0])) != 0) {
    return std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(directory[0])))) + ":\\";
  }
  return {};
}

struct SourceFindings {
  CheckLine line;
  std::map<std::string, std::uint64_t> sizes;
  std::size_t unknownSizes = 0;
};

SourceFindings CheckSource(DownloadContext& run, const std::vector<const PlannedPackage*>& packages,
                           const std::string& proxy) {
  SourceFindings found;
  const bool layout = !run.packageSource.empty();
  const std::string where = layout ? "the layout " + run.packageSource : "https://" + run.downloadHost;
  std::uint64_t total = 0;
  for (const PlannedPackage* package : packages) {
    if (found.sizes.contains(package->name)) {
      continue;
    }
    bool listed = true;
    const PackageProbe probe = ProbePackage(run, package->name, &listed);
    if (!probe.answered) {
      if (layout) {
        found.line = Line(CheckVerdict::fail, kSourceName, where + " cannot be read");
      } else if (probe.error == kSecureFailure) {
        found.line = Line(
            CheckVerdict::fail, kSourceName,
            where + ": its certificate is not valid (WinHTTP error " + std::to_string(probe.error) + ")");
      } else {
        found.line =
            Line(CheckVerdict::fail, kSourceName,
                 where + " cannot be reached" + (proxy.empty() ? "" : " through the proxy " + proxy) + ": " +
                     NetworkErrorText(run, probe.error));
      }
      return found;
    }
    if (probe.status == kStatusProxyAuthentication) {
      found.line = Line(CheckVerdict::fail, kSourceName,
                        where + ": " + kProxyCredentials + AuthSchemeNames(probe.proxySchemes));
      return found;
    }
    if (probe.status != kStatusOk) {
      found.line =
          Line(CheckVerdict::fail, kSourceName,
               where + " does not have " + package->name + " (" + std::to_string(probe.status) + ")");
      return found;
    }
    if (!listed) {
      found.line = Line(CheckVerdict::fail, kSourceName,
                        where + " lists no digest for " + package->name + ": it would be refused");
      return found;
    }
    found.sizes[package->name] = probe.size.value_or(0);
    found.unknownSizes += probe.size ? 0U : 1U;
    total += probe.size.value_or(0);
  }
  std::string figure = where;
  if (!layout) {
    figure += proxy.empty() ? " directly" : " through the proxy " + proxy;
    figure += ", certificate valid";
  }
  figure += ": " + std::to_string(found.sizes.size()) + (found.sizes.size() == 1 ? kOnePackage : kPackages) +
            Megabytes(total);
  if (found.unknownSizes != 0) {
    found.line = Line(CheckVerdict::warn, kSourceName,
                      figure + ", " + std::to_string(found.unknownSizes) + " of unknown size");
  } else {
    found.line = Line(CheckVerdict::ok, kSourceName, figure);
  }
  return found;
}

std::vector<CheckLine> CheckSpace(Files& files, const std::vector<SpaceNeed>& needs,
                                  const SourceFindings& source) {
  // Bytes by the volume that holds each folder: a folder on a volume mounted below a drive, or on a share,
  // is measured there, not at the drive's root.
  std::map<std::string, std::uint64_t> needed;
  for (const SpaceNeed& need : needs) {
    const auto size = source.sizes.find(need.package->name);
    const std::uint64_t bytes = size == source.sizes.end() ? 0 : size->second;
    const bool unpacked =
        need.package->use == PlannedPackage::Use::cabinet || need.package->use == PlannedPackage::Use::box;
    needed[files.VolumeOf(need.directory).value_or(DriveRoot(need.directory))] +=
        unpacked ? 2 * bytes : bytes;
  }
  std::vector<CheckLine> lines;
  for (const auto& [root, bytes] : needed) {
    const std::string name = kSpaceName + (root.empty() ? std::string("the target drive") : root);
    const std::optional<std::uint64_t> free = root.empty() ? std::nullopt : files.DiskFreeBytes(root);
    const std::uint64_t freeBytes = free.value_or(0);
    CheckLine line{CheckVerdict::ok, name, Megabytes(bytes) + " needed"};
    if (!free.has_value()) {
      line.verdict = CheckVerdict::fail;
      line.figure += ", the free space of the drive cannot be read";
    } else {
      line.figure += ", " + Megabytes(freeBytes) + " free";
      if (freeBytes < bytes) {
        line.verdict = CheckVerdict::fail;
      } else if (source.unknownSizes != 0) {
        line.verdict = CheckVerdict::warn;
        line.figure += " (without the packages of unknown size)";
      }
    }
    lines.push_back(line);
  }
  return lines;
}

CheckLine CheckPort(RunContext& run, const SetupChoices& choices) {
  const std::string name = kPortName + std::to_string(choices.port);
  if (!ChoosesServer(choices.setupType)) {
    return CheckLine{CheckVerdict::ok, name, kNoServer};
  }
  IisWebsite website(run);
  if (!website.OpenSections(false)) {
    return CheckLine{CheckVerdict::ok, name, "free: IIS is not installed yet, the setup turns it on"};
  }
  website.port = choices.port;
  website.siteName = ServerSetup::SiteNameFor(choices.port);
  if (!website.FindPortConflict()) {
    return CheckLine{CheckVerdict::ok, name, "free: no other site binds it"};
  }
  std::string figure = "held by the site \"" + website.conflictingSiteName + "\"";
  if (const auto moved = website.PlannedRebinding()) {
    figure += ": its binding " + moved->first + " would move to " + moved->second;
  }
  return CheckLine{CheckVerdict::warn, name, figure};
}

CheckLine CheckSql(const SqlServerSetup& sql, const SetupChoices& choices) {
  if (!ChoosesServer(choices.setupType)) {
    return Line(CheckVerdict::ok, kSqlName, kNoServer);
  }
  if (sql.instanceCount != 0) {
    std::string figure =
        "present: " + std::to_string(sql.instanceCount) + " instance(s) of version 12 or later";
    if (sql.nativeClientMissing) {
      figure += "; the SQL Server Native Client 11 is to be installed";
    }
    return Line(CheckVerdict::ok, kSqlName, figure);
  }
  if (choices.installSqlServer) {
    return Line(CheckVerdict::ok, kSqlName, "to be installed: SQL Server Express");
  }
  return Line(CheckVerdict::warn, kSqlName, "not present, and not to be installed: the server needs one");
}

CheckLine CheckDism(Features& features, const SetupChoices& choices) {
  if (!ChoosesServer(choices.setupType)) {
    return Line(CheckVerdict::ok, kDismName, kNoServer);
  }
  const std::int32_t started = features.Initialize(Features::kLogErrorsWarningsInfo);
  if (ComFailed(started)) {
    return Line(CheckVerdict::fail, kDismName,
                std::string("DismApi.dll cannot be started (") +
                    StatusCodeText(static_cast<std::uint32_t>(started)) +
                    "): the IIS features cannot be turned on");
  }
  features.Shutdown();
  return Line(CheckVerdict::ok, kDismName, "DismApi.dll answers: the IIS features can be turned on");
}

CheckLine CheckRestart(Registry& registry) {
  std::vector<std::string> reasons;
  const std::optional<RegistryValue> renames = ReadValue(registry, kSessionManagerKey, kPendingRenames);
  if (renames && renames->data.find_first_not_of('\0') != std::string::npos) {
    reasons.emplace_back("files to be replaced at the restart (PendingFileRenameOperations)");
  }
  if (KeyExists(registry, kServicingKey)) {
    reasons.emplace_back("servicing (Component Based Servicing\\RebootPending)");
  }
  if (KeyExists(registry, kUpdateKey)) {
    reasons.emplace_back("Windows Update (WindowsUpdate\\Auto Update\\RebootRequired)");
  }
  if (reasons.empty()) {
    return Line(CheckVerdict::ok, kRestartName, "none");
  }
  std::string figure = "Windows waits for a restart: ";
  for (std::size_t i = 0; i < reasons.size(); ++i) {
    figure += (i == 0 ? "" : ", ") + reasons[i];
  }
  return Line(CheckVerdict::warn, kRestartName, figure);
}

CheckLine CheckOtherSetups(Runtime& runtime, bool anotherSetup) {
  if (anotherSetup) {
    return Line(CheckVerdict::fail, kOtherSetupName, "another Halvorn Nembric setup is running");
  }
  if (runtime.NamedMutexExists(kInstallerMutex)) {
    return Line(
        CheckVerdict::warn, kOtherSetupName,
        "Windows Installer is busy with another installation: the runtimes' installers may have to wait");
  }
  return Line(CheckVerdict::ok, kOtherSetupName, "none running");
}

// What /undo would take back: the last update of each component that has one, with the day it was made.
CheckLine CheckUndo(RunContext& run) {
  const std::vector<RecordEntry> entries = run.record.Read().value_or(std::vector<RecordEntry>());
  std::string figure;
  for (const auto& [scope, component, name] :
       {std::tuple{RecordScope::server, ProductComponent::server, "the server"},
        std::tuple{RecordScope::client, ProductComponent::client, "the client"}}) {
    if (!FindLastUpdate(entries, scope)) {
      continue;
    }
    figure += figure.empty() ? kLastUpdateOf : " and of ";
    figure += name;
    if (const std::optional<std::string> day = RegisteredOn(run, component)) {
      figure += kUpdateOn + *day;
    }
  }
  return Line(CheckVerdict::ok, kUndoName, figure.empty() ? kNothingToUndo : figure + kCanBeTakenBack);
}

}  // namespace

bool PreflightReport::WouldGoAhead() const {
  return std::none_of(lines.begin(), lines.end(),
                      [](const CheckLine& line) { return line.verdict == CheckVerdict::fail; });
}

PreflightReport RunPreflight(SetupState& state, const SqlServerSetup& sql, const SetupChoices& choices,
                             bool anotherSetup) {
  Machine& machine = state.machine;
  PreflightReport report;
  report.lines.push_back(CheckRights(machine.runtime));
  report.lines.push_back(CheckWindows(machine.registry));
  // A setup started from a drive the signed-in user mapped finds neither its folder nor its log there.
  const std::string program = machine.files.ModulePath(kModulePathChars).value_or(std::string());
  if (const std::optional<std::string> drive = UnseenDrive(machine.files, program)) {
    report.lines.push_back(Line(CheckVerdict::warn, kStartFolderName,
                                UnseenDriveLine(program.substr(0, program.find_last_of('\\')), *drive)));
  }

  const bool server = ChoosesServer(choices.setupType);
  const bool installSqlExpress = server && choices.installSqlServer && sql.instanceCount == 0;
  const SetupPlan plan = PlanSetup(choices, installSqlExpress, server && sql.nativeClientMissing);

  // The runtimes the plan would install, and the packages it would fetch.
  std::vector<std::string> runtimes;
  std::vector<SpaceNeed> needs;
  std::vector<const PlannedPackage*> packages;
  std::map<RuntimeKind, bool> runtimeNeeded;
  const auto add = [&](const std::string& directory, const std::vector<PlannedPackage>& list) {
    for (const PlannedPackage& package : list) {
      if (package.use == PlannedPackage::Use::runtime) {
        if (!runtimeNeeded.contains(package.runtime)) {
          runtimeNeeded[package.runtime] = RuntimeMissing(state, package.runtime);
        }
        if (!runtimeNeeded[package.runtime]) {
          continue;
        }
      }
      needs.push_back({directory, &package});
      packages.push_back(&package);
    }
  };
  add(choices.clientDirectory, plan.clientPackages);
  add(choices.serverDirectory, plan.serverPackages);

  // The proxy the session goes through: none for a blank field, as the session decides.
  const std::string proxy =
      IsBlankText(choices.proxyServer) ? std::string() : TrimTrailingBlanks(choices.proxyServer);
  const SourceFindings source = CheckSource(state, packages, proxy);
  report.lines.push_back(source.line);
  if (source.line.verdict != CheckVerdict::fail) {
    for (CheckLine& line : CheckSpace(machine.files, needs, source)) {
      report.lines.push_back(std::move(line));
    }
  }
  // A build without pins checks signatures but not whose they are.
  report.lines.push_back(state.publisherPins.empty()
                             ? Line(CheckVerdict::warn, kPublisherCheckName, kPublisherNotPinned)
                             : Line(CheckVerdict::ok, kPublisherCheckName,
                                    std::to_string(state.publisherPins.size()) + kPublisherPinned));
  report.lines.push_back(CheckPort(state, choices));
  report.lines.push_back(CheckSql(sql, choices));

  std::string runtimeFigure;
  for (const auto& [kind, needed] : runtimeNeeded) {
    runtimeFigure += runtimeFigure.empty() ? "" : "; ";
    runtimeFigure += kind == RuntimeKind::vc2015 ? "2015 and later (x64) " : "2013 ";
    runtimeFigure += needed ? "to be installed" : "present";
  }
  report.lines.push_back(
      Line(CheckVerdict::ok, kRuntimesName, runtimeFigure.empty() ? "none needed" : runtimeFigure));
  report.lines.push_back(CheckDism(machine.features, choices));
  report.lines.push_back(CheckRestart(machine.registry));
  report.lines.push_back(CheckOtherSetups(machine.runtime, anotherSetup));
  report.lines.push_back(CheckUndo(state));
  return report;
}

std::string CheckLineText(const CheckLine& line) {
  const char* verdict = line.verdict == CheckVerdict::ok     ? kOk
                        : line.verdict == CheckVerdict::warn ? kWarn
                                                             : kFail;
  std::string text = verdict;
  text += ' ';
  text += line.name;
  text += ": ";
  text += line.figure;
  return text;
}

std::string ReportEndText(const PreflightReport& report) {
  if (report.WouldGoAhead()) {
    return kGoesAhead;
  }
  std::string text = kStops;
  bool first = true;
  for (const CheckLine& line : report.lines) {
    if (line.verdict == CheckVerdict::fail) {
      text += first ? "" : ", ";
      text += line.name;
      first = false;
    }
  }
  return text;
}

std::string PreflightJson(RunContext& run, const PreflightReport& report) {
  const auto quoted = [&run](const std::string& text) {
    const std::u16string wide = run.machine.runtime.Utf8ToWide(text).value_or(u"");
    std::string json = "\"";
    for (const char16_t unit : wide) {
      if (unit == u'"' || unit == u'\\') {
        json += '\\';
        json += static_cast<char>(unit);
      } else if (unit >= 0x20 && unit < 0x7F) {
        json += static_cast<char>(unit);
      } else {
        std::array<char, 8> escape{};
        std::snprintf(escape.data(), escape.size(), "\\u%04x", static_cast<unsigned>(unit));
        json += escape.data();
      }
    }
    return json + "\"";
  };
  std::string json = "{\"wouldGoAhead\": ";
  json += report.WouldGoAhead() ? "true" : "false";
  json += ", \"checks\": [";
  for (std::size_t i = 0; i < report.lines.size(); ++i) {
    const CheckLine& line = report.lines[i];
    const char* result = line.verdict == CheckVerdict::ok     ? "OK"
                         : line.verdict == CheckVerdict::warn ? "WARN"
                                                              : "FAIL";
    json += i == 0 ? "\r\n  " : ",\r\n  ";
    json += "{\"name\": " + quoted(line.name) + ", \"result\": \"" + result +
            "\", \"figure\": " + quoted(line.figure) + "}";
  }
  json += "\r\n]}\r\n";
  return json;
}
