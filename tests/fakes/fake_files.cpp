#include "fake_files.h"

#include <algorithm>
#include <cctype>

#include "core/utf8_text.h"

std::string FakeFiles::Key(const std::string& path) {
  // Names compare without case, and repeated separators after the start name one, as Windows reads them.
  std::string key;
  key.reserve(path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char c = path[i] == '/' ? '\\' : path[i];
    if (c == '\\' && i > 1 && !key.empty() && key.back() == '\\') {
      continue;
    }
    key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return key;
}

std::string FakeFiles::ParentKey(const std::string& key) {
  const std::size_t separator = key.find_last_of('\\');
  return separator == std::string::npos ? std::string() : key.substr(0, separator);
}

namespace {

// The root of C: as Windows 10 and 11 set it: Authenticated Users may make folders there and modify
// everything below them.
constexpr char kRootSecurity[] =
    "O:SYD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;;0x4;;;AU)(A;OICIIO;0x1301bf;;;AU)";
// The system's own folders: only administrators and the system change them.
constexpr char kSystemFolderSecurity[] =
    "O:S-1-5-80-956008885-3425186549-2983580390-2908806716-3401183720"
    "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
constexpr char kTakeOwnership[] = "SeTakeOwnershipPrivilege";
constexpr std::uint32_t kGenericFileWrite = 0x120116;

SecurityText Parsed(const std::string& sddl) {
  return ParseSecurityText(sddl).value_or(SecurityText{});
}

}  // namespace

FakeFiles::FakeFiles() {
  for (const char* folder :
       {"C:\\Program Files", "C:\\Program Files (x86)", "C:\\Windows\\system32", "C:\\Windows\\Temp",
        "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"}) {
    AddDirectory(folder);
  }
  SetSecurityText("C:", kRootSecurity);
  for (const char* folder :
       {"C:\\Program Files", "C:\\Program Files (x86)", "C:\\Windows", "C:\\ProgramData"}) {
    SetSecurityText(folder, kSystemFolderSecurity);
  }
}

void FakeFiles::SetSecurityText(const std::string& path, const std::string& sddl) {
  security_[FollowJunctions(Key(Resolve(path)))] = Parsed(sddl);
}

SecurityText FakeFiles::EffectiveSecurity(const std::string& path) const {
  return EffectiveFor(FollowJunctions(Key(Resolve(path))));
}

SecurityText FakeFiles::EffectiveFor(const std::string& key) const {
  SecurityText result;
  const auto own = security_.find(key);
  if (own != security_.end()) {
    result = own->second;
  }
  const std::string parent = ParentKey(key);
  if (parent.empty()) {
    // A root of another drive, or of a share, is set as C:'s.
    return own != security_.end() ? result : Parsed(kRootSecurity);
  }
  if (result.owner.empty()) {
    result.owner = "BA";  // what a test put there, as an administrator would have
  }
  if (result.protectedDacl) {
    return result;
  }
  const bool directory = directories_.count(key) != 0;
  for (const AccessEntry& entry : EffectiveFor(parent).entries) {
    const bool toFiles = HasInheritance(entry.inheritance, Inheritance::objects);
    const bool toFolders = HasInheritance(entry.inheritance, Inheritance::containers);
    AccessEntry inherited = entry;
    if (directory && toFolders) {
      inherited.inheritance = HasInheritance(entry.inheritance, Inheritance::noPropagate)
                                  ? Inheritance::inherited
                                  : (toFiles ? Inheritance::objects : Inheritance::none) |
                                        Inheritance::containers | Inheritance::inherited;
    } else if (directory && toFiles) {
      inherited.inheritance = Inheritance::objects | Inheritance::inheritOnly | Inheritance::inherited;
    } else if (!directory && toFiles) {
      inherited.inheritance = Inheritance::inherited;
    } else {
      continue;
    }
    result.entries.push_back(inherited);
  }
  return result;
}

bool FakeFiles::Allowed(const std::string& key, std::uint32_t rights) const {
  const SecurityText security = EffectiveFor(key);
  const std::set<std::string> sids = standardUser_
                                         ? std::set<std::string>{kStandardUser, "BU", "AU", "WD", "IU"}
                                         : std::set<std::string>{"BA", "BU", "AU", "WD", "IU"};
  std::uint32_t granted = 0;
  std::uint32_t denied = 0;
  for (const AccessEntry& entry : security.entries) {
    if (HasInheritance(entry.inheritance, Inheritance::inheritOnly) || sids.count(entry.sid) == 0) {
      continue;
    }
    std::uint32_t mask = entry.rights;
    if ((mask & access_rights::kGenericAll) != 0) {
      mask |= access_rights::kFileAll;
    }
    if ((mask & access_rights::kGenericWrite) != 0) {
      mask |= kGenericFileWrite;
    }
    (entry.allowed ? granted : denied) |= mask;
  }
  if (sids.count(security.owner) != 0) {
    granted |= access_rights::kReadControl | access_rights::kWriteDac;
  }
  if (!standardUser_ && enabledPrivileges != nullptr && enabledPrivileges->count(kTakeOwnership) != 0) {
    granted |= access_rights::kWriteOwner;
  }
  granted &= ~denied;
  return (granted & rights) == rights;
}

bool FakeFiles::MayChange(const std::string& key, std::uint32_t rights) {
  if (Allowed(key, rights)) {
    return true;
  }
  accessDenied.push_back(key);
  return false;
}

bool FakeFiles::MayDelete(const std::string& key) {
  if (Allowed(key, access_rights::kDelete) || Allowed(ParentKey(key), access_rights::kDeleteChild)) {
    return true;
  }
  accessDenied.push_back(key);
  return false;
}

void FakeFiles::MadeBy(const std::string& key) {
  security_[key] = SecurityText{ActorOwner(), false, {}};
}

bool FakeFiles::SharingRefuses(const std::string& key, std::uint32_t access, std::uint32_t share) const {
  return std::any_of(open_.begin(), open_.end(), [&](const auto& entry) {
    const OpenFile& open = entry.second;
    return open.key == key && (((access & kGenericWrite) != 0 && (open.share & kShareWrite) == 0) ||
                               ((access & kGenericRead) != 0 && (open.share & kShareRead) == 0) ||
                               ((open.access & kGenericWrite) != 0 && (share & kShareWrite) == 0) ||
                               ((open.access & kGenericRead) != 0 && (share & kShareRead) == 0));
  });
}

bool FakeFiles::Among(const std::set<std::string>& paths, const std::string& key) {
  return std::any_of(paths.begin(), paths.end(),
                     [&key](const std::string& other) { return Key(other) == key; });
}

bool FakeFiles::DeleteRefused(const std::string& key) const {
  return std::any_of(open_.begin(), open_.end(), [&](const auto& entry) {
    return entry.second.key == key && (entry.second.share & kShareDelete) == 0;
  });
}

void FakeFiles::AddJunction(const std::string& path, const std::string& target) {
  const std::string key = Key(Resolve(path));
  AddDirectory(ParentKey(key));
  directories_.insert(key);
  junctions_[key] = Key(Resolve(target));
}

std::string FakeFiles::FollowJunctions(std::string key) const {
  // A junction leads to its target for everything below it; a chain of them is followed a few times over.
  for (int hops = 0; hops < 8 && !junctions_.empty(); ++hops) {
    bool followed = false;
    for (std::size_t end = 0; end != std::string::npos;) {
      end = key.find('\\', end + 1);
      const std::string prefix = key.substr(0, end);
      const auto junction = junctions_.find(prefix);
      if (junction != junctions_.end()) {
        key = junction->second + (end == std::string::npos ? std::string() : key.substr(end));
        followed = true;
        break;
      }
    }
    if (!followed) {
      break;
    }
  }
  return key;
}

std::string FakeFiles::Where(const std::string& path, bool followLast) const {
  const std::string key = Key(Resolve(path));
  if (followLast) {
    return FollowJunctions(key);
  }
  const std::string parent = ParentKey(key);
  return parent.empty() ? key : FollowJunctions(parent) + key.substr(parent.size());
}

void FakeFiles::AddDirectory(const std::string& path) {
  std::string key = Key(path);
  while (!key.empty() && (key.back() == '\\' || key.back() == '/')) {
    key.pop_back();
  }
  for (; !key.empty(); key = ParentKey(key)) {
    directories_.insert(key);
  }
}

bool FakeFiles::DirectoryExists(const std::string& path) const {
  std::string key = Key(path);
  while (!key.empty() && (key.back() == '\\' || key.back() == '/')) {
    key.pop_back();
  }
  if (key.size() == 2 && key[1] == ':') {
    return drives.count(static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])))) != 0;
  }
  return directories_.count(key) != 0;
}

void FakeFiles::SetContent(const std::string& path, std::string content) {
  const std::string key = FollowJunctions(Key(path));
  names_[key] = path.substr(path.find_last_of("\\/") + 1);
  AddDirectory(ParentKey(key));
  files_[key] = std::move(content);
  lastWrites_[key] = ++clock_;
}

std::optional<FakeFiles::Times> FakeFiles::TimesOf(const std::string& path) const {
  const auto found = times_.find(FollowJunctions(Key(path)));
  if (found == times_.end()) {
    return std::nullopt;
  }
  return found->second;
}

std::map<std::string, std::string> FakeFiles::FilesUnder(const std::string& folder) const {
  const std::string prefix = Key(folder);
  std::map<std::string, std::string> found;
  for (auto file = files_.lower_bound(prefix); file != files_.end() && file->first.starts_with(prefix);
       ++file) {
    found.insert(*file);
  }
  return found;
}

FakeFiles::OpenFile* FakeFiles::Find(FileHandle file) {
  const auto found = open_.find(file);
  return found == open_.end() ? nullptr : &found->second;
}

std::optional<std::string> FakeFiles::ContentThrough(FileHandle file) const {
  const auto found = open_.find(file);
  if (found == open_.end() || (found->second.access & kGenericRead) == 0) {
    return std::nullopt;
  }
  return Content(found->second.key);
}

std::vector<std::string> FakeFiles::FilePaths() const {
  std::vector<std::string> paths;
  paths.reserve(files_.size());
  for (const auto& [key, content] : files_) {
    paths.push_back(key);
  }
  return paths;
}

std::string FakeFiles::Resolve(const std::string& path) const {
  std::string text = path.starts_with("\\\\?\\") ? path.substr(4) : path;
  std::string full;
  if (text.size() >= 2 && text[1] == ':') {
    const bool sameDrive =
        !currentDirectory.empty() && std::tolower(static_cast<unsigned char>(currentDirectory[0])) ==
                                         std::tolower(static_cast<unsigned char>(text[0]));
    if (text.size() > 2 && (text[2] == '\\' || text[2] == '/')) {
      full = text;
    } else {  // "C:name" is relative to the current directory of drive C:
      full = (sameDrive ? currentDirectory : text.substr(0, 2) + "\\") + "\\" + text.substr(2);
    }
  } else if (!text.empty() && (text[0] == '\\' || text[0] == '/')) {
    full = currentDirectory.substr(0, 2) + text;
  } else {
    full = currentDirectory + "\\" + text;
  }
  // One separator between names, none at the end but after a drive.
  std::string normal;
  for (const char c : full) {
    const char separator = c == '/' ? '\\' : c;
    if (separator == '\\' && !normal.empty() && normal.back() == '\\') {
      continue;
    }
    normal += separator;
  }
  while (normal.size() > 3 && normal.back() == '\\') {
    normal.pop_back();
  }
  if (normal.size() == 2 && normal[1] == ':') {
    normal += '\\';
  }
  return normal;
}

bool FakeFiles::Refused(const std::string& path) const {
  // The wide call is never made with a name that is no UTF-8.
  if (!Utf8ToUtf16(path)) {
    return true;
  }
  const std::string key = Key(path);
  return std::any_of(refusedPaths.begin(), refusedPaths.end(),
                     [&key](const std::string& refused) { return Key(refused) == key; });
}

std::uint32_t FakeFiles::ChangeDirectory(const std::string& path) {
  const std::string full = Resolve(path);
  const std::string key = FollowJunctions(Key(full));
  if (!DirectoryExists(key)) {
    return files_.count(key) != 0 ? 267U : 2U;  // ERROR_DIRECTORY, ERROR_FILE_NOT_FOUND
  }
  currentDirectory = full;
  return 0;
}

std::uint32_t FakeFiles::MakeDirectory(const std::string& path) {
  const std::string full = Resolve(path);
  const std::string key = FollowJunctions(Key(full));
  if (DirectoryExists(key) || files_.count(key) != 0) {
    return 183;  // ERROR_ALREADY_EXISTS
  }
  if (!DirectoryExists(ParentKey(key))) {
    return 3;  // ERROR_PATH_NOT_FOUND
  }
  if (Refused(full) || !MayChange(ParentKey(key), access_rights::kAppendData)) {
    return 5;  // ERROR_ACCESS_DENIED
  }
  directories_.insert(key);
  MadeBy(key);
  Changed();
  return 0;
}

std::uint32_t FakeFiles::MakeDirectoryWithSecurity(const std::string& path, const std::string& sddl) {
  const std::optional<SecurityText> security = ParseSecurityText(sddl);
  if (!security) {
    return 1336;  // ERROR_INVALID_ACL
  }
  if (!security->owner.empty() && security->owner != ActorOwner()) {
    return 1307;  // ERROR_INVALID_OWNER
  }
  const std::uint32_t error = MakeDirectory(path);
  if (error == 0) {
    SecurityText& made = security_[FollowJunctions(Key(Resolve(path)))];
    made.protectedDacl = security->protectedDacl;
    made.entries = security->entries;
  }
  return error;
}

std::optional<std::string> FakeFiles::SecurityOf(const std::string& path) {
  const std::string key = Where(path);
  if ((files_.count(key) == 0 && !DirectoryExists(key)) || !Allowed(key, access_rights::kReadControl)) {
    return std::nullopt;
  }
  return SecurityTextOf(EffectiveFor(key));
}

std::uint32_t FakeFiles::SetSecurity(const std::string& path, SecurityPart part, const std::string& sddl) {
  const std::optional<SecurityText> security = ParseSecurityText(sddl);
  const std::string key = Where(path);
  if (!security) {
    return 87;  // ERROR_INVALID_PARAMETER
  }
  if (files_.count(key) == 0 && !DirectoryExists(key)) {
    return 2;  // ERROR_FILE_NOT_FOUND
  }
  SecurityText& own = security_[key];
  if (part == SecurityPart::owner) {
    // Only a SID of one's own token may own what one sets.
    if (security->owner != ActorOwner()) {
      return 1307;  // ERROR_INVALID_OWNER
    }
    if (!MayChange(key, access_rights::kWriteOwner)) {
      return 5;
    }
    own.owner = security->owner;
  } else {
    if (!MayChange(key, access_rights::kWriteDac)) {
      return 5;
    }
    own.protectedDacl = true;
    own.entries.clear();
    for (const AccessEntry& entry : security->entries) {
      if (!HasInheritance(entry.inheritance, Inheritance::inherited)) {
        own.entries.push_back(entry);
      }
    }
  }
  Changed();
  return 0;
}

std::optional<std::vector<Files::DirectoryEntry>> FakeFiles::ListDirectory(const std::string& pattern) {
  const std::string full = Resolve(pattern);
  const std::string folder = FollowJunctions(ParentKey(Key(full)));
  if (!DirectoryExists(folder) || full.substr(full.find_last_of('\\') + 1) != "*.*") {
    return std::nullopt;
  }
  std::vector<DirectoryEntry> entries = {{".", kAttributeDirectory, 0}, {"..", kAttributeDirectory, 0}};
  const std::string prefix = folder + "\\";
  const auto below = [&prefix](const std::string& key) {
    return key.starts_with(prefix) && key.find('\\', prefix.size()) == std::string::npos;
  };
  for (const std::string& directory : directories_) {
    if (below(directory)) {
      entries.push_back(
          {names_.count(directory) != 0 ? names_.at(directory) : directory.substr(prefix.size()),
           junctions_.count(directory) != 0 ? kAttributeDirectory | kAttributeReparsePoint
                                            : kAttributeDirectory,
           0});
    }
  }
  for (const auto& [key, content] : files_) {
    if (below(key)) {
      entries.push_back(
          {names_.count(key) != 0 ? names_.at(key) : key.substr(prefix.size()), 0x20, content.size()});
    }
  }
  return entries;
}

bool FakeFiles::Remove(const std::string& path) {
  const std::string key = Where(path);
  removed.push_back(path);
  if (Among(heldOpen, key) || Among(runningImages, key) || DeleteRefused(key) ||
      (files_.count(key) != 0 && !MayDelete(key))) {
    return false;
  }
  times_.erase(key);
  security_.erase(key);
  durable_.erase(key);
  if (files_.erase(key) == 0) {
    return false;
  }
  Changed();
  return true;
}

bool FakeFiles::RemoveAtRestart(const std::string& path) {
  // Windows only notes the path (an administrator's right); it must exist.
  const std::string key = Where(path);
  if (files_.count(key) == 0 && !DirectoryExists(key)) {
    return false;
  }
  restartRemovals.push_back(path);
  return true;
}

bool FakeFiles::ReplaceAtRestart(const std::string& source, const std::string& target) {
  // Windows only notes the pair (an administrator's right); the source must exist.
  if (files_.count(Where(source)) == 0) {
    return false;
  }
  restartReplacements.emplace_back(source, target);
  Changed();
  return true;
}

bool FakeFiles::Replace(const std::string& source, const std::string& target) {
  const std::string from = Where(source);
  const std::string to = Where(target);
  const auto found = files_.find(from);
  if (found == files_.end() || refusedPaths.count(target) != 0 || !DirectoryExists(ParentKey(to)) ||
      DeleteRefused(from) || (files_.count(to) != 0 && DeleteRefused(to)) || Among(heldOpen, from) ||
      Among(heldOpen, to) || Among(runningImages, to)) {
    return false;
  }
  if (!MayDelete(from) || !MayChange(ParentKey(to), access_rights::kWriteData) ||
      (files_.count(to) != 0 && !MayDelete(to))) {
    return false;
  }
  // The file keeps its own security where it goes.
  const auto own = security_.find(from);
  if (own != security_.end()) {
    security_[to] = own->second;
    security_.erase(own);
  }
  std::string content = std::move(found->second);
  files_.erase(found);
  times_.erase(from);
  files_[to] = std::move(content);
  // The move is written through: the target is what the source had on disk.
  if (const auto durable = durable_.find(from); durable != durable_.end()) {
    durable_[to] = std::move(durable->second);
    durable_.erase(durable);
  } else {
    durable_.erase(to);
  }
  lastWrites_[to] = lastWrites_[from];
  // A running program moved is still the one running, under its new name.
  if (Among(runningImages, from)) {
    std::erase_if(runningImages, [&from](const std::string& other) { return Key(other) == from; });
    runningImages.insert(to);
  }
  Changed();
  return true;
}

bool FakeFiles::CopyTo(const std::string& source, const std::string& target, std::uint32_t& error) {
  copies.emplace_back(source, target);
  const std::string from = Where(source);
  const std::string to = Resolve(target);
  const std::string toKey = Where(target);
  const bool exists = files_.count(toKey) != 0;
  error = 0;
  if (files_.count(from) == 0) {
    error = 2;  // ERROR_FILE_NOT_FOUND
  } else if (!DirectoryExists(ParentKey(toKey))) {
    error = 3;  // ERROR_PATH_NOT_FOUND
  } else if (toKey == from || SharingRefuses(toKey, kGenericWrite, kShareRead) || Among(heldOpen, toKey) ||
             Among(runningImages, toKey)) {
    // A file another process holds (a module a worker process has loaded) cannot be copied over.
    error = 32;  // ERROR_SHARING_VIOLATION
  } else if (Refused(to) || !MayChange(exists ? toKey : ParentKey(toKey), access_rights::kWriteData)) {
    error = 5;  // ERROR_ACCESS_DENIED
  }
  if (error != 0) {
    return false;
  }
  if (!exists) {
    MadeBy(toKey);
  }
  names_[toKey] = to.substr(to.find_last_of('\\') + 1);
  files_[toKey] = files_[from];
  // CopyFile gives the copy the last-write time of its source.
  lastWrites_[toKey] = lastWrites_[from];
  Changed();
  return true;
}

std::optional<std::string> FakeFiles::ModulePath(std::size_t maxChars) {
  if (modulePath.empty() || modulePath.size() > maxChars) {
    return std::nullopt;
  }
  return modulePath;
}

std::optional<std::string> FakeFiles::CurrentDirectory(std::size_t maxChars) {
  if (currentDirectory.size() > maxChars) {
    return std::nullopt;
  }
  return currentDirectory;
}

FileHandle FakeFiles::Create(const std::string& path, std::uint32_t access, std::uint32_t share,
                             std::uint32_t disposition, std::uint32_t attributes) {
  creates.push_back({path, access, share, disposition, attributes});
  const std::string full = Resolve(path);
  const std::string key = Where(path);
  if (Refused(full)) {
    lastCreateError_ = 5;  // ERROR_ACCESS_DENIED
    return FileHandle::invalid;
  }
  const bool exists = files_.count(key) != 0;
  if (disposition == kOpenExisting && !exists) {
    lastCreateError_ = 2;  // ERROR_FILE_NOT_FOUND
    return FileHandle::invalid;
  }
  if (!exists && !DirectoryExists(ParentKey(key))) {
    lastCreateError_ = 3;
    return FileHandle::invalid;  // ERROR_PATH_NOT_FOUND
  }
  const bool held = Among(heldOpen, key) || Among(runningImages, key);
  const std::uint32_t writing = disposition == kCreateAlways ? access | kGenericWrite : access;
  if ((held && (writing & kGenericWrite) != 0) || SharingRefuses(key, writing, share)) {
    lastCreateError_ = 32;
    return FileHandle::invalid;  // ERROR_SHARING_VIOLATION
  }
  if (!exists ? !MayChange(ParentKey(key), access_rights::kWriteData)
              : ((writing & kGenericWrite) != 0 && !MayChange(key, access_rights::kWriteData)) ||
                    ((access & kGenericRead) != 0 && !Allowed(key, access_rights::kReadData))) {
    lastCreateError_ = 5;
    return FileHandle::invalid;  // ERROR_ACCESS_DENIED
  }
  lastCreateError_ = 0;
  if (disposition == kCreateAlways || !exists) {
    if (!exists) {
      names_[key] = full.substr(full.find_last_of('\\') + 1);
      MadeBy(key);
    }
    files_[key].clear();
    times_.erase(key);
    lastWrites_[key] = ++clock_;
  }
  const auto handle = static_cast<FileHandle>(nextHandle_++);
  open_[handle] = OpenFile{key, 0, access, share};
  if (disposition == kCreateAlways || !exists) {
    Changed();
  }
  return handle;
}

bool FakeFiles::SeekToEnd(FileHandle file) {
  const auto found = open_.find(file);
  if (found == open_.end()) {
    return false;
  }
  found->second.position = files_[found->second.key].size();
  return true;
}

bool FakeFiles::Write(FileHandle file, std::string_view bytes) {
  const auto found = open_.find(file);
  if (found == open_.end()) {
    return false;
  }
  std::string& content = files_[found->second.key];
  std::size_t& position = found->second.position;
  if (content.size() < position + bytes.size()) {
    content.resize(position + bytes.size());
  }
  content.replace(position, bytes.size(), bytes);
  position += bytes.size();
  lastWrites_[found->second.key] = ++clock_;
  Changed();
  return true;
}

bool FakeFiles::Flush(FileHandle file) {
  const auto found = open_.find(file);
  // FlushFileBuffers needs a handle that may write.
  if (found == open_.end() || (found->second.access & kGenericWrite) == 0) {
    return false;
  }
  durable_[found->second.key] = files_[found->second.key];
  flushes.push_back(found->second.key);
  if (flushed) {
    flushed();
  }
  return true;
}

void FakeFiles::PowerCut(bool torn) {
  for (auto& [key, content] : files_) {
    const auto durable = durable_.find(key);
    std::string left = durable == durable_.end() ? std::string() : durable->second;
    left.resize(std::max(left.size(), content.size()), '\0');
    if (torn) {
      const auto differs = std::mismatch(content.begin(), content.end(), left.begin()).first;
      const auto from = static_cast<std::size_t>(differs - content.begin());
      const std::size_t reached = from + (content.size() - from) / 2;
      std::copy_n(content.begin() + static_cast<std::ptrdiff_t>(from), reached - from,
                  left.begin() + static_cast<std::ptrdiff_t>(from));
    }
    content = std::move(left);
  }
  open_.clear();
}

bool FakeFiles::Close(FileHandle file) {
  return open_.erase(file) != 0;
}

std::optional<std::uint32_t> FakeFiles::Read(FileHandle file, void* buffer, std::uint32_t count) {
  OpenFile* open = Find(file);
  if (open == nullptr) {
    return std::nullopt;
  }
  const std::string& content = files_[open->key];
  const std::size_t available = open->position < content.size() ? content.size() - open->position : 0;
  const auto read = static_cast<std::uint32_t>(std::min<std::size_t>(count, available));
  std::copy_n(content.data() + open->position, read, static_cast<char*>(buffer));
  open->position += read;
  return read;
}

std::optional<std::uint32_t> FakeFiles::WritePart(FileHandle file, const void* bytes, std::uint32_t count) {
  const std::uint32_t fits =
      freeBytes ? static_cast<std::uint32_t>(std::min<std::size_t>(count, *freeBytes)) : count;
  if (!Write(file, std::string_view(static_cast<const char*>(bytes), fits))) {
    return std::nullopt;
  }
  if (freeBytes) {
    *freeBytes -= fits;
  }
  return fits;
}

std::optional<std::uint32_t> FakeFiles::Seek(FileHandle file, std::int32_t distance, std::uint32_t method) {
  OpenFile* open = Find(file);
  if (open == nullptr || method > kFileEnd) {
    return std::nullopt;
  }
  std::int64_t origin = 0;
  if (method == kFileCurrent) {
    origin = static_cast<std::int64_t>(open->position);
  } else if (method == kFileEnd) {
    origin = static_cast<std::int64_t>(files_[open->key].size());
  }
  const std::int64_t position = origin + distance;
  if (position < 0 || position > UINT32_MAX - 1) {
    return std::nullopt;  // ERROR_NEGATIVE_SEEK
  }
  open->position = static_cast<std::size_t>(position);
  return static_cast<std::uint32_t>(position);
}

std::optional<std::uint64_t> FakeFiles::DosDateTimeToFileTime(std::uint16_t date, std::uint16_t time) {
  const int year = 1980 + (date >> 9U);
  const int month = (date >> 5U) & 0xF;
  const int day = date & 0x1F;
  const int hour = time >> 11U;
  const int minute = (time >> 5U) & 0x3F;
  const int second = (time & 0x1F) * 2;
  static constexpr int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month < 1 || month > 12 || day < 1 || day > kDaysInMonth[month - 1] ||
      (month == 2 && day == 29 && !leap) || hour > 23 || minute > 59 || second > 59) {
    return std::nullopt;
  }
  // Days since 1 January 1601 of the civil date.
  const int shiftedYear = month <= 2 ? year - 1 : year;
  const int era = shiftedYear / 400;
  const int yearOfEra = shiftedYear - era * 400;
  const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const std::int64_t daysSinceEpoch1970 = static_cast<std::int64_t>(era) * 146097 + dayOfEra - 719468;
  constexpr std::int64_t kDays1601To1970 = 134774;
  const std::int64_t seconds = (daysSinceEpoch1970 + kDays1601To1970) * 86400 + std::int64_t{hour} * 3600 +
                               std::int64_t{minute} * 60 + second;
  return static_cast<std::uint64_t>(seconds) * 10000000U;
}

std::optional<std::uint64_t> FakeFiles::LocalFileTimeToFileTime(std::uint64_t localTime) {
  return static_cast<std::uint64_t>(static_cast<std::int64_t>(localTime) + utcBiasMinutes * 600000000);
}

bool FakeFiles::SetFileTimes(FileHandle file, std::uint64_t creation, std::uint64_t lastAccess,
                             std::uint64_t lastWrite) {
  OpenFile* open = Find(file);
  if (open == nullptr) {
    return false;
  }
  times_[open->key] = Times{creation, lastAccess, lastWrite};
  lastWrites_[open->key] = lastWrite;
  Changed();
  return true;
}

std::optional<std::string> FakeFiles::Content(const std::string& path) const {
  const auto found = files_.find(FollowJunctions(Key(path)));
  if (found == files_.end()) {
    return std::nullopt;
  }
  return found->second;
}

std::optional<Files::Stamp> FakeFiles::StampOf(const std::string& path) {
  const std::string key = Where(path);
  const auto found = files_.find(key);
  if (found == files_.end()) {
    return std::nullopt;
  }
  return Stamp{found->second.size(), lastWrites_[key]};
}

bool FakeFiles::RemoveFolder(const std::string& path) {
  const std::string key = Where(path, false);
  // A junction goes by itself: what it leads to stays.
  if (junctions_.count(key) != 0) {
    if (!MayDelete(key)) {
      return false;
    }
    removed.push_back(path);
    junctions_.erase(key);
    directories_.erase(key);
    security_.erase(key);
    Changed();
    return true;
  }
  const std::string prefix = key + "\\";
  const auto inside = [&prefix](const std::string& other) { return other.starts_with(prefix); };
  // Windows refuses to remove a process's current directory.
  if (directories_.count(key) == 0 || std::any_of(directories_.begin(), directories_.end(), inside) ||
      std::any_of(files_.begin(), files_.end(), [&](const auto& file) { return inside(file.first); }) ||
      key == FollowJunctions(Key(currentDirectory)) || !MayDelete(key)) {
    return false;
  }
  removed.push_back(path);
  if (directories_.erase(key) == 0) {
    return false;
  }
  security_.erase(key);
  Changed();
  return true;
}

std::optional<std::uint32_t> FakeFiles::FileAttributes(const std::string& path) {
  attributeQueries.push_back(path);
  const std::string key = Where(path, false);
  if (junctions_.count(key) != 0) {
    return kAttributeDirectory | kAttributeReparsePoint;
  }
  if (files_.count(key) != 0) {
    return 0x20;  // FILE_ATTRIBUTE_ARCHIVE
  }
  if (DirectoryExists(key)) {
    return kAttributeDirectory;
  }
  return std::nullopt;
}

std::optional<std::string> FakeFiles::FindOnSearchPath(const std::string& fileName) {
  for (const std::string& folder : searchPath) {
    std::string path = folder;
    path += '\\';
    path += fileName;
    if (files_.count(Key(path)) != 0) {
      return path;
    }
  }
  return std::nullopt;
}

std::uint32_t FakeFiles::LogicalDrives() {
  std::uint32_t mask = 0;
  for (const auto& [letter, type] : drives) {
    mask |= 1U << static_cast<unsigned>(letter - 'A');
  }
  return mask;
}

std::uint32_t FakeFiles::DriveType(const std::string& root) {
  const auto found = root.empty() ? drives.end() : drives.find(static_cast<char>(std::toupper(root[0])));
  return found == drives.end() ? 1 : found->second;  // DRIVE_NO_ROOT_DIR
}

std::optional<std::uint64_t> FakeFiles::DiskFreeBytes(const std::string& root) {
  for (const auto& [volume, bytes] : volumeFreeBytes) {
    if (Key(volume) == Key(root)) {
      return bytes;
    }
  }
  const auto found =
      root.empty() ? driveFreeBytes.end() : driveFreeBytes.find(static_cast<char>(std::toupper(root[0])));
  if (found == driveFreeBytes.end()) {
    return std::nullopt;
  }
  return found->second;
}

std::optional<std::string> FakeFiles::VolumeOf(const std::string& path) {
  // The longest mounted volume or share the path lies on; else its drive's root.
  const std::string key = Key(path) + "\\";
  std::optional<std::string> found;
  for (const auto& [root, bytes] : volumeFreeBytes) {
    if (key.starts_with(Key(root)) && (!found || root.size() > found->size())) {
      found = root;
    }
  }
  if (found) {
    return found;
  }
  if (path.size() >= 2 && path[1] == ':' && drives.count(static_cast<char>(std::toupper(path[0]))) != 0) {
    return std::string(1, static_cast<char>(std::toupper(path[0]))) + ":\\";
  }
  return std::nullopt;
}

std::optional<std::string> FakeFiles::KnownFolder(int folder) {
  const auto found = knownFolders.find(folder);
  if (found == knownFolders.end()) {
    return std::nullopt;
  }
  return found->second;
}
