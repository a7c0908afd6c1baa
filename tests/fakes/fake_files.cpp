#include "fake_files.h"

#include <algorithm>
#include <cctype>

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
  const std::string key = Key(path);
  names_[key] = path.substr(path.find_last_of("\\/") + 1);
  AddDirectory(ParentKey(key));
  files_[key] = std::move(content);
  lastWrites_[key] = ++clock_;
}

std::optional<FakeFiles::Times> FakeFiles::TimesOf(const std::string& path) const {
  const auto found = times_.find(Key(path));
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
  const std::string key = Key(path);
  return std::any_of(refusedPaths.begin(), refusedPaths.end(),
                     [&key](const std::string& refused) { return Key(refused) == key; });
}

std::uint32_t FakeFiles::ChangeDirectory(const std::string& path) {
  const std::string full = Resolve(path);
  if (!DirectoryExists(full)) {
    return files_.count(Key(full)) != 0 ? 267U : 2U;  // ERROR_DIRECTORY, ERROR_FILE_NOT_FOUND
  }
  currentDirectory = full;
  return 0;
}

std::uint32_t FakeFiles::MakeDirectory(const std::string& path) {
  const std::string full = Resolve(path);
  if (DirectoryExists(full) || files_.count(Key(full)) != 0) {
    return 183;  // ERROR_ALREADY_EXISTS
  }
  if (!DirectoryExists(ParentKey(Key(full)))) {
    return 3;  // ERROR_PATH_NOT_FOUND
  }
  if (Refused(full)) {
    return 5;  // ERROR_ACCESS_DENIED
  }
  directories_.insert(Key(full));
  Changed();
  return 0;
}

std::optional<std::vector<Files::DirectoryEntry>> FakeFiles::ListDirectory(const std::string& pattern) {
  const std::string full = Resolve(pattern);
  const std::string folder = ParentKey(Key(full));
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
           kAttributeDirectory, 0});
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
  const std::string key = Key(Resolve(path));
  removed.push_back(path);
  const bool held = std::any_of(heldOpen.begin(), heldOpen.end(),
                                [&key](const std::string& other) { return Key(other) == key; });
  if (held) {
    return false;
  }
  times_.erase(key);
  if (files_.erase(key) == 0) {
    return false;
  }
  Changed();
  return true;
}

bool FakeFiles::ReplaceAtRestart(const std::string& source, const std::string& target) {
  // Windows only notes the pair (an administrator's right); the source must exist.
  if (files_.count(Key(Resolve(source))) == 0) {
    return false;
  }
  restartReplacements.emplace_back(source, target);
  Changed();
  return true;
}

bool FakeFiles::Replace(const std::string& source, const std::string& target) {
  const std::string from = Key(Resolve(source));
  const std::string to = Key(Resolve(target));
  const auto found = files_.find(from);
  if (found == files_.end() || refusedPaths.count(target) != 0 || !DirectoryExists(ParentKey(to))) {
    return false;
  }
  std::string content = std::move(found->second);
  files_.erase(found);
  times_.erase(from);
  files_[to] = std::move(content);
  lastWrites_[to] = lastWrites_[from];
  Changed();
  return true;
}

bool FakeFiles::CopyTo(const std::string& source, const std::string& target, std::uint32_t& error) {
  copies.emplace_back(source, target);
  const std::string from = Key(Resolve(source));
  const std::string to = Resolve(target);
  error = 0;
  if (files_.count(from) == 0) {
    error = 2;  // ERROR_FILE_NOT_FOUND
  } else if (!DirectoryExists(ParentKey(Key(to)))) {
    error = 3;  // ERROR_PATH_NOT_FOUND
  } else if (Refused(to) || Key(to) == from) {
    error = Key(to) == from ? 32U : 5U;  // ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED
  }
  if (error != 0) {
    return false;
  }
  names_[Key(to)] = to.substr(to.find_last_of('\\') + 1);
  files_[Key(to)] = files_[from];
  lastWrites_[Key(to)] = ++clock_;
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
  const std::string key = Key(full);
  if (Refused(full)) {
    return FileHandle::invalid;
  }
  const bool exists = files_.count(key) != 0;
  if (disposition == kOpenExisting && !exists) {
    return FileHandle::invalid;
  }
  if (!exists && !DirectoryExists(ParentKey(key))) {
    return FileHandle::invalid;  // ERROR_PATH_NOT_FOUND
  }
  const bool held = std::any_of(heldOpen.begin(), heldOpen.end(),
                                [&key](const std::string& other) { return Key(other) == key; });
  if (held && ((access & kGenericWrite) != 0 || disposition == kCreateAlways)) {
    return FileHandle::invalid;  // ERROR_SHARING_VIOLATION
  }
  if (disposition == kCreateAlways || !exists) {
    if (!exists) {
      names_[key] = full.substr(full.find_last_of('\\') + 1);
    }
    files_[key].clear();
    times_.erase(key);
    lastWrites_[key] = ++clock_;
  }
  const auto handle = static_cast<FileHandle>(nextHandle_++);
  open_[handle] = OpenFile{key, 0};
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
  const auto found = files_.find(Key(path));
  if (found == files_.end()) {
    return std::nullopt;
  }
  return found->second;
}

std::optional<Files::Stamp> FakeFiles::StampOf(const std::string& path) {
  const std::string key = Key(Resolve(path));
  const auto found = files_.find(key);
  if (found == files_.end()) {
    return std::nullopt;
  }
  return Stamp{found->second.size(), lastWrites_[key]};
}

bool FakeFiles::RemoveFolder(const std::string& path) {
  const std::string key = Key(Resolve(path));
  const std::string prefix = key + "\\";
  const auto inside = [&prefix](const std::string& other) { return other.starts_with(prefix); };
  // Windows refuses to remove a process's current directory.
  if (directories_.count(key) == 0 || std::any_of(directories_.begin(), directories_.end(), inside) ||
      std::any_of(files_.begin(), files_.end(), [&](const auto& file) { return inside(file.first); }) ||
      key == Key(currentDirectory)) {
    return false;
  }
  removed.push_back(path);
  if (directories_.erase(key) == 0) {
    return false;
  }
  Changed();
  return true;
}

std::optional<std::uint32_t> FakeFiles::FileAttributes(const std::string& path) {
  attributeQueries.push_back(path);
  const std::string full = Resolve(path);
  if (files_.count(Key(full)) != 0) {
    return 0x20;  // FILE_ATTRIBUTE_ARCHIVE
  }
  if (DirectoryExists(full)) {
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
  const auto found =
      root.empty() ? driveFreeBytes.end() : driveFreeBytes.find(static_cast<char>(std::toupper(root[0])));
  if (found == driveFreeBytes.end()) {
    return std::nullopt;
  }
  return found->second;
}

std::optional<std::string> FakeFiles::KnownFolder(int folder) {
  const auto found = knownFolders.find(folder);
  if (found == knownFolders.end()) {
    return std::nullopt;
  }
  return found->second;
}
