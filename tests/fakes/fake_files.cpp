#include "fake_files.h"

#include <algorithm>
#include <cctype>

std::string FakeFiles::Key(const std::string& path) {
  std::string key = path;
  std::transform(key.begin(), key.end(), key.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return key;
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
  if (disposition == kCreateAlways || !exists) {
    files_[key].clear();
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
