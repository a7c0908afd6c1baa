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
  AddDirectory(ParentKey(key));
  files_[key] = std::move(content);
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

std::optional<std::string> FakeFiles::CurrentDirectory(std::size_t maxChars) {
  if (currentDirectory.size() > maxChars) {
    return std::nullopt;
  }
  return currentDirectory;
}

FileHandle FakeFiles::Create(const std::string& path, std::uint32_t access, std::uint32_t share,
                             std::uint32_t disposition, std::uint32_t attributes) {
  creates.push_back({path, access, share, disposition, attributes});
  const std::string key = Key(path);
  if (refusedPaths.count(path) != 0) {
    return FileHandle::invalid;
  }
  const bool exists = files_.count(key) != 0;
  if (disposition == kOpenExisting && !exists) {
    return FileHandle::invalid;
  }
  if (!exists && !DirectoryExists(ParentKey(path))) {
    return FileHandle::invalid;  // ERROR_PATH_NOT_FOUND
  }
  const bool held = std::any_of(heldOpen.begin(), heldOpen.end(),
                                [&key](const std::string& other) { return Key(other) == key; });
  if (held && ((access & kGenericWrite) != 0 || disposition == kCreateAlways)) {
    return FileHandle::invalid;  // ERROR_SHARING_VIOLATION
  }
  if (disposition == kCreateAlways || !exists) {
    files_[key].clear();
    times_.erase(key);
  }
  const auto handle = static_cast<FileHandle>(nextHandle_++);
  open_[handle] = OpenFile{key, 0};
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
  if (!Write(file, std::string_view(static_cast<const char*>(bytes), count))) {
    return std::nullopt;
  }
  return count;
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
  return true;
}

std::optional<std::string> FakeFiles::Content(const std::string& path) const {
  const auto found = files_.find(Key(path));
  if (found == files_.end()) {
    return std::nullopt;
  }
  return found->second;
}

std::optional<std::uint32_t> FakeFiles::FileAttributes(const std::string& path) {
  attributeQueries.push_back(path);
  if (files_.count(Key(path)) == 0) {
    return std::nullopt;
  }
  return 0x20;  // FILE_ATTRIBUTE_ARCHIVE
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

std::optional<std::string> FakeFiles::KnownFolder(int folder) {
  const auto found = knownFolders.find(folder);
  if (found == knownFolders.end()) {
    return std::nullopt;
  }
  return found->second;
}
