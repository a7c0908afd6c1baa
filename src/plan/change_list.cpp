#include "plan/change_list.h"

#include <algorithm>
#include <map>
#include <set>

#include "journal/install_record.h"

namespace {

constexpr char kPartSuffix[] = ".part";
constexpr char kShortcutSuffix[] = ".lnk";
constexpr std::uint32_t kView32 = 0x0200;

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return text;
}

std::string NameOf(const std::string& path) {
  return path.substr(path.find_last_of('\\') + 1);
}

std::string RootText(RegistryKey root) {
  switch (root) {
    case RegistryKey::localMachine:
      return "HKLM";
    case RegistryKey::currentUser:
      return "HKCU";
    case RegistryKey::classesRoot:
      return "HKCR";
    default:
      return "?";
  }
}

// A key as the registry editor shows it, the 32-bit view's WOW6432Node written out.
std::string KeyText(const std::string& root, const std::string& view, const std::string& path) {
  const bool redirected = view == std::to_string(kView32) && Lowered(path).starts_with("software\\") &&
                          !Lowered(path).starts_with("software\\wow6432node\\");
  return root + "\\" + (redirected ? path.substr(0, 9) + "WOW6432Node\\" + path.substr(9) : path);
}

std::string ScopeText(RecordScope scope) {
  switch (scope) {
    case RecordScope::client:
      return "client";
    case RecordScope::server:
      return "server";
    default:
      return "shared";
  }
}

// What the record tells of the changes: whose each path and key is, the packages, and the information
// server's changes of the last run.
struct RecordKnowledge {
  std::map<std::string, std::string> owners;  // lower-case path or key (and "|name"), component
  std::set<std::string> packages;             // lower-case file names
};

void Learn(const std::string& text, RecordKnowledge& known) {
  std::size_t start = text.find('\n');
  while (start != std::string::npos && start + 1 < text.size()) {
    const std::size_t end = text.find('\n', start + 1);
    std::string line = text.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
    start = end;
    if (line.ends_with('\r')) {
      line.pop_back();
    }
    const std::optional<RecordEntry> entry = ParseRecordLine(line);
    if (!entry) {
      continue;
    }
    const std::string owner = ScopeText(entry->scope);
    const std::vector<std::string>& fields = entry->fields;
    switch (entry->kind) {
      case RecordEntry::Kind::file:
      case RecordEntry::Kind::folder:
      case RecordEntry::Kind::setupCopy:
      case RecordEntry::Kind::restriction:
        known.owners[Lowered(fields[0])] = owner;
        break;
      case RecordEntry::Kind::backup:
        known.owners[Lowered(fields[0])] = owner;
        known.owners[Lowered(fields[1])] = owner;
        break;
      case RecordEntry::Kind::key:
        known.owners[Lowered(KeyText(fields[0], fields[1], fields[2]))] = owner;
        break;
      case RecordEntry::Kind::value:
        known.owners[Lowered(KeyText(fields[0], fields[1], fields[2])) + "|" + Lowered(fields[3])] = owner;
        known.owners[Lowered(KeyText(fields[0], fields[1], fields[2]))] = owner;
        break;
      case RecordEntry::Kind::plan:
        for (std::size_t at = 0; at < fields[0].size();) {
          const std::size_t blank = std::min(fields[0].find(' ', at), fields[0].size());
          known.packages.insert(Lowered(fields[0].substr(at, blank - at)));
          at = blank + 1;
        }
        break;
      default:
        break;
    }
  }
}

std::string OwnerOf(const RecordKnowledge& known, const std::string& lowered, const std::string& fallback) {
  const auto found = known.owners.find(lowered);
  return found != known.owners.end() ? found->second : fallback;
}

// SQL Server's own packages and programs are the sql component's, whichever record scope took them.
std::string Component(const std::string& owner, const std::string& path) {
  return owner == "server" && Lowered(NameOf(path)).find("sql") != std::string::npos ? "sql" : owner;
}

std::string FileKind(const RecordKnowledge& known, const std::string& path) {
  std::string name = Lowered(NameOf(path));
  if (name.ends_with(kShortcutSuffix)) {
    return "shortcut";
  }
  if (name.ends_with(kPartSuffix)) {
    name.resize(name.size() - std::string_view(kPartSuffix).size());
  }
  return known.packages.contains(name) ? "package" : "file";
}

// The kind of a configuration change by the section it lies in.
std::string ConfigurationKind(const ConfigurationChange& change) {
  if (change.what == "location") {
    return "config";
  }
  if (change.section.ends_with("/sites")) {
    return change.tag == "binding" ? "binding" : "site";
  }
  if (change.section.ends_with("/applicationPools")) {
    return "pool";
  }
  if (change.section.ends_with("/isapiCgiRestriction")) {
    return "restriction";
  }
  return change.section.ends_with("/handlers") ? "handlers" : "config";
}

// The information server's changes, once each: an element and what was done to it.
void AddConfigurationChanges(const std::vector<ConfigurationChange>& configuration,
                             std::vector<PlannedChange>& changes) {
  std::set<std::string> listed;
  for (const ConfigurationChange& change : configuration) {
    const std::string kind = ConfigurationKind(change);
    std::string item = change.name.empty() ? change.tag : change.name;
    if (kind == "config") {
      item = (change.what == "location" ? std::string("location ") : change.section + " ")
                 .append(change.what == "location" ? change.name : item);
    }
    const bool replaces = change.what != "add";
    std::string seen = kind;
    seen.append("|").append(change.path).append("|").append(item).append(replaces ? "|r" : "|a");
    if (listed.insert(seen).second) {
      changes.push_back({"server", kind, change.path, {}, {}, item, replaces});
    }
  }
}

// The package (or product code) of msiexec's /i or /x: the word after it, without its quotes.
std::string MsiPackageOf(const std::string& commandLine) {
  for (const char* option : {" /i ", " /x ", " /I ", " /X "}) {
    const std::size_t at = commandLine.find(option);
    if (at == std::string::npos) {
      continue;
    }
    std::size_t start = at + 4;
    const bool quoted = start < commandLine.size() && commandLine[start] == '"';
    start += quoted ? 1 : 0;
    const std::size_t end = commandLine.find(quoted ? '"' : ' ', start);
    return commandLine.substr(start, end == std::string::npos ? std::string::npos : end - start);
  }
  return commandLine;
}

std::string JsonText(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      constexpr char kHex[] = "0123456789abcdef";
      quoted += "\\u00";
      quoted += kHex[(c >> 4) & 0xF];
      quoted += kHex[c & 0xF];
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

}  // namespace

std::vector<PlannedChange> ListPlannedChanges(const PlannedRun& run) {
  RecordKnowledge known;
  Learn(run.recordBefore, known);
  Learn(run.recordAfter, known);
  std::vector<PlannedChange> changes;
  for (const OverlayFiles::Change& file : run.files) {
    const std::string owner = Component(OwnerOf(known, Lowered(file.path), "shared"), file.path);
    changes.push_back(
        {owner, file.folder ? "folder" : FileKind(known, file.path), file.path, {}, {}, {}, file.before});
  }
  for (const OverlayRegistry::Change& value : run.registry) {
    const std::string key = RootText(value.root) + "\\" + value.path;
    std::string lowered = Lowered(key);
    if (value.name) {
      lowered.append("|").append(Lowered(*value.name));
    }
    const std::string owner = OwnerOf(known, lowered, OwnerOf(known, Lowered(key), "shared"));
    changes.push_back(
        {owner, value.name ? "value" : "key", {}, key, value.name.value_or(""), {}, value.before});
  }
  for (const ProcessStart& program : run.programs) {
    const std::string name = Lowered(NameOf(program.applicationName));
    // The setup's own helpers change nothing of their own: what they delete is listed with the files.
    if (name == "cmd.exe") {
      continue;
    }
    // Windows Installer is named by the package it installs or removes.
    const std::string path =
        name == "msiexec.exe" ? MsiPackageOf(program.commandLine) : program.applicationName;
    const std::string owner = Component(OwnerOf(known, Lowered(path), "shared"), path);
    changes.push_back({owner, name == "msiexec.exe" ? "msi" : "installer", path, {}, {}, {}, false});
  }
  for (const std::string& features : run.features) {
    changes.push_back({"server", "feature", {}, {}, {}, features, false});
  }
  AddConfigurationChanges(run.configuration, changes);
  return changes;
}

std::string PlanJson(const std::vector<PlannedChange>& changes) {
  std::string json = "{\"changes\": [";
  for (std::size_t i = 0; i < changes.size(); ++i) {
    const PlannedChange& change = changes[i];
    json += i == 0 ? "\r\n  {" : ",\r\n  {";
    json += "\"component\": " + JsonText(change.component) + ", \"kind\": " + JsonText(change.kind);
    if (!change.path.empty()) {
      json += ", \"path\": " + JsonText(change.path);
    }
    if (!change.key.empty()) {
      json += ", \"key\": " + JsonText(change.key);
    }
    if (change.kind == "value") {
      json += ", \"name\": " + JsonText(change.name);
    }
    if (!change.item.empty()) {
      json += ", \"item\": " + JsonText(change.item);
    }
    json += std::string(", \"replaces\": ") + (change.replaces ? "true" : "false") + "}";
  }
  return json + "\r\n]}\r\n";
}

std::string PlanText(const std::vector<PlannedChange>& changes) {
  std::string text;
  for (const char* component : {"client", "server", "sql", "shared"}) {
    std::string lines;
    for (const PlannedChange& change : changes) {
      if (change.component != component) {
        continue;
      }
      std::string target = !change.path.empty() ? change.path : change.key;
      if (change.kind == "value") {
        target += " \"" + change.name + "\"";
      }
      if (!change.item.empty()) {
        target += (target.empty() ? "" : " ") + change.item;
      }
      lines += "  " + change.kind + " " + target + (change.replaces ? " (replaces)" : "") + "\r\n";
    }
    if (!lines.empty()) {
      text += std::string(component) + "\r\n" + lines;
    }
  }
  return text;
}
