#include "journal/install_record.h"

#include <algorithm>
#include <array>
#include <utility>

#include "core/file_reading.h"
#include "core/hex_text.h"
#include "core/leading_number.h"
#include "core/path_text.h"
#include "core/port_guards.h"

namespace {

constexpr char kHeader[] = "Nembric setup install record 2";
// The former format: the same lines, but a run's mark without its id. It is read, and rewritten in the
// present format by the first run that writes to it.
constexpr char kFormerHeader[] = "Nembric setup install record 1";
constexpr char kNoValue[] = "-";
constexpr char kCreateCall[] = "CreateFile";
constexpr char kWriteCall[] = "WriteFile";
constexpr char kFlushCall[] = "FlushFileBuffers";
constexpr char kCopyCall[] = "CopyFile";
// A record longer than this is not one the setup wrote.
constexpr std::size_t kMaxRecordBytes = std::size_t{64} * 1024 * 1024;

struct KindName {
  RecordEntry::Kind kind;
  const char* name;
  std::size_t fields;
};

constexpr std::array<KindName, 18> kKinds = {{
    {RecordEntry::Kind::file, "file", 3},
    {RecordEntry::Kind::folder, "folder", 1},
    {RecordEntry::Kind::key, "key", 3},
    {RecordEntry::Kind::value, "value", 6},
    {RecordEntry::Kind::site, "site", 1},
    {RecordEntry::Kind::siteKept, "site-kept", 3},
    {RecordEntry::Kind::pool, "pool", 1},
    {RecordEntry::Kind::poolKept, "pool-kept", 2},
    {RecordEntry::Kind::poolStopped, "pool-stopped", 1},
    {RecordEntry::Kind::restriction, "restriction", 1},
    {RecordEntry::Kind::binding, "binding", 3},
    {RecordEntry::Kind::msi, "msi", 1},
    {RecordEntry::Kind::setupCopy, "setup", 1},
    {RecordEntry::Kind::backup, "backup", 2},
    {RecordEntry::Kind::run, "run", 3},
    {RecordEntry::Kind::plan, "plan", 1},
    {RecordEntry::Kind::commit, "commit", 0},
    {RecordEntry::Kind::end, "end", 0},
}};

constexpr std::array<std::pair<RecordScope, const char*>, 3> kScopes = {{
    {RecordScope::shared, "shared"},
    {RecordScope::client, "client"},
    {RecordScope::server, "server"},
}};

std::string LowerText(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return text;
}

std::optional<std::string> Unhex(const std::string& text) {
  if (text.size() % 2 != 0) {
    return std::nullopt;
  }
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigitValue(text[i]);
    const int low = HexDigitValue(text[i + 1]);
    if (high < 0 || low < 0) {
      return std::nullopt;
    }
    bytes += static_cast<char>((high << 4) | low);
  }
  return bytes;
}

// Fields are separated by tabs; a tab, a line break or a percent sign inside one is written as %XX.
std::string Escape(const std::string& field) {
  std::string text;
  for (const char c : field) {
    if (c == '%' || c == '\t' || c == '\r' || c == '\n') {
      text += '%';
      text += HexText(std::string_view(&c, 1));
    } else {
      text += c;
    }
  }
  return text;
}

std::optional<std::string> Unescape(const std::string& text) {
  std::string field;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      field += text[i];
      continue;
    }
    const std::optional<std::string> byte = i + 2 < text.size() ? Unhex(text.substr(i + 1, 2)) : std::nullopt;
    if (!byte) {
      return std::nullopt;
    }
    field += *byte;
    i += 2;
  }
  return field;
}

// A path as the record keeps it: a doubled separator (a folder with its backslash joined to a name with
// another) written once.
std::string CleanPath(const std::string& path) {
  std::string clean;
  for (const char c : path) {
    if (!(c == '\\' && clean.size() > 1 && clean.back() == '\\')) {
      clean += c;
    }
  }
  return clean;
}

}  // namespace

std::string RecordedValueText(const std::optional<RegistryValue>& value) {
  return value ? std::to_string(value->type) + ":" + HexText(value->data) : kNoValue;
}

std::optional<RegistryValue> RecordedValue(const std::string& text) {
  const std::size_t colon = text.find(':');
  if (colon == 0 || colon == std::string::npos || colon > 10) {
    return std::nullopt;
  }
  std::uint64_t type = 0;
  for (std::size_t i = 0; i < colon; ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return std::nullopt;
    }
    type = type * 10 + static_cast<std::uint64_t>(text[i] - '0');
  }
  const std::optional<std::string> data = Unhex(text.substr(colon + 1));
  if (!data || type > UINT32_MAX) {
    return std::nullopt;
  }
  return RegistryValue{static_cast<std::uint32_t>(type), *data};
}

std::string RootName(RegistryKey root) {
  return root == RegistryKey::currentUser ? "HKCU" : "HKLM";
}

std::optional<RegistryKey> RootNamed(const std::string& name) {
  if (name == "HKCU") {
    return RegistryKey::currentUser;
  }
  if (name == "HKLM") {
    return RegistryKey::localMachine;
  }
  return std::nullopt;
}

std::string FormatRecordLine(const RecordEntry& entry) {
  std::string line;
  for (const auto& [scope, name] : kScopes) {
    if (scope == entry.scope) {
      line = name;
    }
  }
  for (const KindName& kind : kKinds) {
    if (kind.kind == entry.kind) {
      line += std::string("\t") + kind.name;
    }
  }
  for (const std::string& field : entry.fields) {
    line += '\t' + Escape(field);
  }
  return line + "\r\n";
}

std::optional<RecordEntry> ParseRecordLine(const std::string& line, bool former) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t tab = line.find('\t');; tab = line.find('\t', start)) {
    const std::optional<std::string> part = Unescape(line.substr(start, tab - start));
    if (!part) {
      return std::nullopt;
    }
    parts.push_back(*part);
    if (tab == std::string::npos) {
      break;
    }
    start = tab + 1;
  }
  if (parts.size() < 2) {
    return std::nullopt;
  }
  RecordEntry entry;
  bool scoped = false;
  for (const auto& [scope, name] : kScopes) {
    if (parts[0] == name) {
      entry.scope = scope;
      scoped = true;
    }
  }
  // A mark of the former format gets an id in the place where the present one keeps it (0: none yet).
  if (former && parts[1] == "run") {
    parts.insert(parts.begin() + 2, "0");
  }
  for (const KindName& kind : kKinds) {
    if (scoped && parts[1] == kind.name && parts.size() == kind.fields + 2) {
      entry.kind = kind.kind;
      entry.fields.assign(parts.begin() + 2, parts.end());
      return entry;
    }
  }
  return std::nullopt;
}

ActionResult InstallRecord::Add(RecordEntry::Kind kind, std::vector<std::string> fields) {
  if (!recording) {
    return ActionResult::Done();
  }
  // What stays unchanged when the line cannot be written: the change's first field names it.
  const std::string what = fields.empty() ? std::string() : fields.front();
  return Append(FormatRecordLine({scope, kind, std::move(fields)}), what);
}

std::string RunComponentsText(bool client, bool server) {
  std::string text = client ? kClientComponent : "";
  if (server) {
    text += text.empty() ? kServerComponent : std::string(" ") + kServerComponent;
  }
  return text;
}

std::string InstallRecord::NextRunId() {
  std::uint64_t highest = 0;
  for (const RecordEntry& entry : Read().value_or(std::vector<RecordEntry>())) {
    if (entry.kind == RecordEntry::Kind::run) {
      highest = std::max(highest, DecimalNumber(std::string_view(entry.fields[0])).value_or(0));
    }
  }
  return std::to_string(highest + 1);
}

void InstallRecord::BeginRun(const std::string& mode, bool client, bool server) {
  recording = true;
  touched_.clear();
  runOpen_ = true;
  // A mark that cannot be written leaves the run without one: each change's own line then fails, and the
  // change with it.
  static_cast<void>(Append(FormatRecordLine({RecordScope::shared,
                                             RecordEntry::Kind::run,
                                             {NextRunId(), mode, RunComponentsText(client, server)}}),
                           path));
}

RecordEntry InstallRecord::MarkUninstall(bool client, bool server) {
  RecordEntry mark{RecordScope::shared,
                   RecordEntry::Kind::run,
                   {NextRunId(), kUninstallMode, RunComponentsText(client, server)}};
  static_cast<void>(Append(FormatRecordLine(mark), path));
  return mark;
}

void InstallRecord::AddPlan(RecordScope component, const std::string& packages) {
  if (runOpen_) {
    static_cast<void>(Append(FormatRecordLine({component, RecordEntry::Kind::plan, {packages}}), path));
  }
}

void InstallRecord::CloseCutOffRun() {
  // Without its end the cut run is settled again by the next run, which finds nothing left to do.
  static_cast<void>(Append(FormatRecordLine({RecordScope::shared, RecordEntry::Kind::end, {}}), path));
}

bool InstallRecord::Commit(RecordScope component, bool withShared) {
  // Committed first, and on disk: a run cut off between the two has its copies dropped by the next, and a
  // power cut never leaves the copies deleted with the commit lost.
  if (!runOpen_) {
    return true;
  }
  std::string lines = FormatRecordLine({component, RecordEntry::Kind::commit, {}});
  if (withShared) {
    lines = FormatRecordLine({RecordScope::shared, RecordEntry::Kind::commit, {}}) + lines;
  }
  // Each line is on disk as it is appended: the commit is before the copies it frees go.
  if (!Append(lines, path)) {
    return false;
  }
  if (withShared) {
    DropBackups(RecordScope::shared);
  }
  DropBackups(component);
  return true;
}

void InstallRecord::EndRun() {
  if (runOpen_) {
    runOpen_ = false;
    // A run whose end could not be written is settled by the next, which finds its components committed.
    static_cast<void>(Append(FormatRecordLine({RecordScope::shared, RecordEntry::Kind::end, {}}), path));
  }
}

ActionResult InstallRecord::AddFile(const std::string& filePath) {
  if (!recording) {
    return ActionResult::Done();
  }
  touched_.insert(LowerText(filePath));
  const std::optional<Files::Stamp> stamp = files_.StampOf(filePath);
  if (!stamp) {
    return ActionResult::Done();
  }
  return Add(RecordEntry::Kind::file,
             {CleanPath(filePath), std::to_string(stamp->size), std::to_string(stamp->lastWrite)});
}

bool IsBackupCopy(const std::string& path, const std::string& backupFolder) {
  const std::string folder = backupFolder + "\\";
  if (path.size() <= folder.size() || !SameName(std::string_view(path).substr(0, folder.size()), folder)) {
    return false;
  }
  const std::string name = path.substr(folder.size());
  return name.find_first_of("\\/:*?\"<>|") == std::string::npos && name != "." && name != "..";
}

ActionResult InstallRecord::BackUp(const std::string& filePath) {
  if (!recording || !files_.StampOf(filePath) || touched_.count(LowerText(filePath)) != 0) {
    return ActionResult::Done();
  }
  const std::string what = CleanPath(filePath);
  if (!files_.FileAttributes(backupFolder)) {
    if (ActionResult recorded = Add(RecordEntry::Kind::folder, {backupFolder}); !recorded) {
      return ActionResult::Failed(recorded.failedCall, recorded.code, kNotRecorded + what);
    }
    if (const std::uint32_t error = files_.MakeDirectory(backupFolder); error != 0) {
      return ActionResult::Failed(kCopyCall, error, kNoCopyKept + what);
    }
  }
  const std::size_t slash = filePath.find_last_of('\\');
  const std::string name = slash == std::string::npos ? filePath : filePath.substr(slash + 1);
  std::string copy;
  do {
    copy = backupFolder + "\\" + std::to_string(++backups_) + "-" + name;
  } while (files_.FileAttributes(copy));
  // The copy is the run's from its first byte: a run cut off while making it leaves nothing unnamed.
  if (ActionResult recorded = AddNewFile(copy); !recorded) {
    return ActionResult::Failed(recorded.failedCall, recorded.code, kNotRecorded + what);
  }
  std::uint32_t error = 0;
  if (!files_.CopyTo(filePath, copy, error)) {
    return ActionResult::Failed(kCopyCall, error, kNoCopyKept + what);
  }
  // The file is about to be overwritten or deleted: its copy, and the line that names it, are on disk
  // first, or a power cut could leave neither the file nor its copy.
  {
    const UniqueFile kept(files_, files_.Create(copy, Files::kGenericWrite, Files::kShareRead,
                                                Files::kOpenExisting, Files::kAttributeNormal));
    if (!kept.IsOpen() || !files_.Flush(kept.get())) {
      return ActionResult::Failed(kFlushCall, 0, kNoCopyKept + what);
    }
  }
  if (ActionResult recorded = Add(RecordEntry::Kind::backup, {what, copy}); !recorded) {
    return recorded;
  }
  touched_.insert(LowerText(filePath));
  return ActionResult::Done();
}

ActionResult InstallRecord::BeforeWriting(const std::string& filePath) {
  if (!recording) {
    return ActionResult::Done();
  }
  // What was there before the run is kept; a file this run made or kept already is the run's again from its
  // first byte (a cut second write leaves a file the record owns, whatever its size and time).
  if (files_.FileAttributes(filePath) && touched_.count(LowerText(filePath)) == 0) {
    return BackUp(filePath);
  }
  return AddNewFile(filePath);
}

void InstallRecord::DropBackups(RecordScope component) {
  const std::optional<std::vector<RecordEntry>> entries = Read();
  if (!entries) {
    return;
  }
  // The last run's copies of a component stay: its changes can be taken back after its commit, until the
  // component's next commit drops them. The shared part's (an earlier setup program) are of no use to an
  // undo, which leaves the setup program as it is: they go with the commit.
  const auto lastRun = component == RecordScope::shared
                           ? entries->end()
                           : std::find_if(entries->rbegin(), entries->rend(), [](const RecordEntry& entry) {
                               return entry.kind == RecordEntry::Kind::run;
                             }).base();
  for (auto entry = entries->begin(); entry != lastRun; ++entry) {
    if (entry->kind == RecordEntry::Kind::backup && entry->scope == component &&
        IsBackupCopy(entry->fields[1], backupFolder)) {
      files_.Remove(entry->fields[1]);
    }
  }
}

ActionResult InstallRecord::AddNewFile(const std::string& filePath) {
  ActionResult recorded = Add(RecordEntry::Kind::file, {CleanPath(filePath), kNoValue, kNoValue});
  if (recorded && recording) {
    touched_.insert(LowerText(filePath));
  }
  return recorded;
}

ActionResult InstallRecord::AddFolder(const std::string& folderPath) {
  return Add(RecordEntry::Kind::folder, {CleanPath(folderPath)});
}

ActionResult InstallRecord::Append(const std::string& text, const std::string& what) {
  if (!formatChecked_) {
    formatChecked_ = true;
    ConvertFormerRecord();
  }
  // Lines that could not be written yet (the folders above the record's own, made before it) go first.
  // Until the record's own folder is there, they wait in memory: that folder is made right after them.
  pending_ += text;
  const std::size_t slash = path.find_last_of('\\');
  if (slash != std::string::npos && !files_.FileAttributes(path.substr(0, slash))) {
    return ActionResult::Done();
  }
  const bool fresh = !files_.StampOf(path).has_value();
  const UniqueFile file(files_, files_.Create(path, Files::kGenericWrite, Files::kShareRead,
                                              Files::kOpenAlways, Files::kAttributeNormal));
  ActionResult written = ActionResult::Done();
  if (!file.IsOpen()) {
    written = ActionResult::Failed(kCreateCall, files_.LastCreateError(), kNotRecorded + what);
  } else if (!files_.SeekToEnd(file.get()) ||
             !files_.Write(file.get(), fresh ? std::string(kHeader) + "\r\n" + pending_ : pending_)) {
    written = ActionResult::Failed(kWriteCall, 0, kNotRecorded + what);
  } else if (!files_.Flush(file.get())) {
    // On disk before the change it names: after a power cut the file system keeps a file or a folder made
    // (its name is journaled) while the lines in the cache are lost.
    written = ActionResult::Failed(kFlushCall, 0, kNotRecorded + what);
  }
  // A line that is not on disk names no change: the change it was for is not made.
  if (written) {
    pending_.clear();
  } else {
    pending_.resize(pending_.size() - text.size());
  }
  return written;
}

std::optional<std::string> InstallRecord::ReadText() {
  std::optional<std::string> text = ReadWholeFile(files_, path, kMaxRecordBytes);
  // A power cut can leave the record's last blocks allocated and never written: a tail of zeros is no
  // part of it.
  if (text) {
    text->erase(text->find_last_not_of('\0') + 1);
  }
  return text;
}

void InstallRecord::ConvertFormerRecord() {
  const std::optional<std::string> text = ReadText();
  // A run cut off while it made the record leaves it empty or with part of its first line: it holds
  // nothing, and is begun again.
  if (text && (std::string(kHeader) + "\r\n").starts_with(*text)) {
    files_.Remove(path);
    return;
  }
  if (text && text->starts_with(std::string(kFormerHeader) + "\r\n")) {
    if (const std::optional<std::vector<RecordEntry>> entries = Read()) {
      Rewrite(*entries);
    }
  }
}

std::optional<std::vector<RecordEntry>> InstallRecord::Read() {
  const std::optional<std::string> read = ReadText();
  if (!read) {
    return std::nullopt;
  }
  const std::string& text = *read;
  // Cut while it was made (or zeros where its first line should be): it holds nothing yet.
  if ((std::string(kHeader) + "\r\n").starts_with(text)) {
    return std::vector<RecordEntry>();
  }
  // A record of a format this setup does not know is not read: its lines could mean something else.
  const bool former = text.starts_with(std::string(kFormerHeader) + "\r\n");
  if (!former && !text.starts_with(std::string(kHeader) + "\r\n")) {
    return std::nullopt;
  }
  std::vector<RecordEntry> entries;
  std::size_t start = text.find('\n') + 1;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    // A line without its line break is one a run was cut off in the middle of writing: it is not read.
    if (end == std::string::npos) {
      break;
    }
    std::string line = text.substr(start, end - start);
    // No line holds a zero byte: zeros are blocks a power cut left unwritten, and what follows them was
    // appended after it.
    if (const std::size_t zero = line.find_last_of('\0'); zero != std::string::npos) {
      line.erase(0, zero + 1);
    }
    if (line.ends_with('\r')) {
      line.pop_back();
    }
    if (std::optional<RecordEntry> entry = ParseRecordLine(line, former)) {
      entries.push_back(std::move(*entry));
    }
    start = end + 1;
  }
  return entries;
}

bool InstallRecord::Rewrite(const std::vector<RecordEntry>& entries) {
  // The new record is written whole beside the old one and then put in its place: a run cut off on the
  // way leaves the old record or the new one, never an empty or a half one.
  const std::string fresh = path + kRecordRewriteSuffix;
  if (entries.empty()) {
    files_.Remove(fresh);
    return files_.Remove(path) || !files_.StampOf(path);
  }
  std::string text = std::string(kHeader) + "\r\n";
  for (const RecordEntry& entry : entries) {
    text += FormatRecordLine(entry);
  }
  {
    const UniqueFile file(files_, files_.Create(fresh, Files::kGenericWrite, Files::kShareRead,
                                                Files::kCreateAlways, Files::kAttributeNormal));
    // On disk before it takes the old one's place (the move is written through): after a power cut the
    // record is the old one or the new one, whole.
    if (!file.IsOpen() || !files_.Write(file.get(), text) || !files_.Flush(file.get())) {
      return false;
    }
  }
  return files_.Replace(fresh, path);
}
