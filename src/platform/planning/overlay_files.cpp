#include "platform/planning/overlay_files.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <tuple>
#include <utility>

namespace {

// Windows' error codes the overlay answers with where the real call would.
constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kPathNotFound = 3;
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kAlreadyExists = 183;
// The last-write time of what the overlay writes: 1 January 2024, then a tick per change.
constexpr std::uint64_t kFirstWriteTime = 133485408000000000ULL;

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A name against a pattern of FindFirstFile ('*' any run, '?' one character), without regard to case.
bool Matches(std::string_view name, std::string_view mask) {
  if (mask == "*.*") {
    mask = "*";
  }
  std::size_t n = 0;
  std::size_t m = 0;
  std::size_t starMask = std::string_view::npos;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || Lower(mask[m]) == Lower(name[n]))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') {
    ++m;
  }
  return m == mask.size();
}

// The owner's SID text ("BA") and the DACL part ("D:P(...)") of an SDDL text; empty when it has none.
std::pair<std::string, std::string> SecurityParts(const std::string& sddl) {
  std::pair<std::string, std::string> parts;
  int depth = 0;
  std::size_t partStart = std::string::npos;
  char part = '\0';
  const auto close = [&](std::size_t end) {
    if (part == 'O') {
      parts.first = sddl.substr(partStart + 2, end - partStart - 2);
    } else if (part == 'D') {
      parts.second = sddl.substr(partStart, end - partStart);
    }
  };
  for (std::size_t at = 0; at < sddl.size(); ++at) {
    if (depth == 0 && at + 1 < sddl.size() && sddl[at + 1] == ':' &&
        std::string_view("OGDS").find(sddl[at]) != std::string_view::npos) {
      if (partStart != std::string::npos) {
        close(at);
      }
      partStart = at;
      part = sddl[at];
      ++at;
      continue;
    }
    depth += sddl[at] == '(' ? 1 : (sddl[at] == ')' ? -1 : 0);
  }
  if (partStart != std::string::npos) {
    close(sddl.size());
  }
  return parts;
}

std::string NameOf(const std::string& path) {
  return path.substr(path.find_last_of('\\') + 1);
}

}  // namespace

OverlayFiles::OverlayFiles(Files& real)
    : real_(real), current_(real.CurrentDirectory(SHRT_MAX).value_or("C:\\")) {}

std::string OverlayFiles::Full(const std::string& path) const {
  std::string text = path.starts_with("\\\\?\\") ? path.substr(4) : path;
  std::replace(text.begin(), text.end(), '/', '\\');
  std::string full;
  if (text.size() >= 2 && text[1] == ':') {
    full = text.size() > 2 && text[2] == '\\' ? text : current_ + "\\" + text.substr(2);
  } else if (text.starts_with("\\\\")) {
    full = text;
  } else if (text.starts_with("\\")) {
    full = current_.substr(0, 2) + text;
  } else {
    full = current_ + "\\" + text;
  }
  std::string normal;
  for (std::size_t i = 0; i < full.size(); ++i) {
    if (full[i] == '\\' && i > 1 && !normal.empty() && normal.back() == '\\') {
      continue;
    }
    normal += full[i];
  }
  while (normal.size() > 3 && normal.back() == '\\') {
    normal.pop_back();
  }
  if (normal.size() == 2 && normal[1] == ':') {
    normal += '\\';
  }
  return normal;
}

std::string OverlayFiles::Key(const std::string& full) {
  std::string key = full;
  std::transform(key.begin(), key.end(), key.begin(), Lower);
  return key;
}

std::string OverlayFiles::ParentOf(const std::string& key) {
  const std::size_t separator = key.find_last_of('\\');
  if (separator == std::string::npos || key.size() <= 3) {
    return {};
  }
  return separator == 2 ? key.substr(0, 3) : key.substr(0, separator);
}

const OverlayFiles::Node* OverlayFiles::Made(const std::string& key, bool& removed) const {
  removed = false;
  if (const auto found = nodes_.find(key); found != nodes_.end()) {
    removed = !found->second.has_value();
    return found->second ? &*found->second : nullptr;
  }
  for (std::string above = ParentOf(key); !above.empty(); above = ParentOf(above)) {
    if (const auto found = nodes_.find(above); found != nodes_.end()) {
      removed = !found->second.has_value();
      return nullptr;
    }
  }
  return nullptr;
}

bool OverlayFiles::Exists(const std::string& full, bool& folder) {
  bool removed = false;
  if (const Node* node = Made(Key(full), removed)) {
    folder = node->folder;
    return true;
  }
  if (removed) {
    return false;
  }
  const std::optional<std::uint32_t> attributes = real_.FileAttributes(full);
  folder = attributes && (*attributes & kAttributeDirectory) != 0;
  return attributes.has_value();
}

void OverlayFiles::Touch(const std::string& full) {
  const std::string key = Key(full);
  if (touchedAt_.contains(key)) {
    return;
  }
  const std::optional<std::uint32_t> attributes = real_.FileAttributes(full);
  touchedAt_[key] = touched_.size();
  touched_.push_back(
      {full, attributes && (*attributes & kAttributeDirectory) != 0, attributes.has_value(), false});
}

OverlayFiles::Node& OverlayFiles::Make(const std::string& full, bool folder) {
  Touch(full);
  std::optional<Node>& slot = nodes_[Key(full)];
  slot = Node{};
  slot->path = full;
  slot->folder = folder;
  slot->attributes = folder ? kAttributeDirectory : kAttributeNormal;
  slot->lastWrite = Tick();
  return *slot;
}

OverlayFiles::Node* OverlayFiles::NodeOf(FileHandle file) {
  const auto open = open_.find(static_cast<std::uintptr_t>(file));
  if (open == open_.end()) {
    return nullptr;
  }
  const auto node = nodes_.find(open->second.key);
  return node != nodes_.end() && node->second ? &*node->second : nullptr;
}

std::uint64_t OverlayFiles::Tick() {
  return kFirstWriteTime + clock_++;
}

std::optional<std::string> OverlayFiles::CurrentDirectory(std::size_t maxChars) {
  if (current_.size() > maxChars) {
    return std::nullopt;
  }
  return current_;
}

std::uint32_t OverlayFiles::ChangeDirectory(const std::string& path) {
  const std::string full = Full(path);
  bool folder = false;
  if (!Exists(full, folder)) {
    return kFileNotFound;
  }
  if (!folder) {
    return 267;  // ERROR_DIRECTORY
  }
  current_ = full;
  return 0;
}

std::uint32_t OverlayFiles::MakeDirectory(const std::string& path) {
  const std::string full = Full(path);
  bool folder = false;
  if (Exists(full, folder)) {
    return kAlreadyExists;
  }
  const std::string parent = ParentOf(Key(full));
  if (parent.empty() || !Exists(parent, folder) || !folder) {
    return kPathNotFound;
  }
  Make(full, true);
  return 0;
}

std::uint32_t OverlayFiles::MakeDirectoryWithSecurity(const std::string& path, const std::string& sddl) {
  const std::uint32_t made = MakeDirectory(path);
  if (made == 0) {
    auto [owner, dacl] = SecurityParts(sddl);
    nodes_[Key(Full(path))]->owner = std::move(owner);
    nodes_[Key(Full(path))]->dacl = std::move(dacl);
  }
  return made;
}

std::optional<std::string> OverlayFiles::SecurityOf(const std::string& path) {
  const std::string full = Full(path);
  bool removed = false;
  const Node* node = Made(Key(full), removed);
  if (node == nullptr) {
    return removed ? std::nullopt : real_.SecurityOf(full);
  }
  std::string dacl = node->dacl;
  if (dacl.empty()) {
    // What a new file or folder inherits from the folder above (its entries taken whole, not protected).
    const std::string parent = ParentOf(Key(full));
    const std::optional<std::string> above = parent.empty() ? std::nullopt : SecurityOf(parent);
    dacl = above ? SecurityParts(*above).second : std::string();
    if (dacl.starts_with("D:P")) {
      dacl.erase(2, 1);
    }
  }
  return "O:" + (node->owner.empty() ? std::string("BA") : node->owner) + dacl;
}

std::uint32_t OverlayFiles::SetSecurity(const std::string& path, SecurityPart part, const std::string& sddl) {
  const std::string full = Full(path);
  bool folder = false;
  if (!Exists(full, folder)) {
    return kFileNotFound;
  }
  bool removed = false;
  const bool made = Made(Key(full), removed) != nullptr;
  if (!made) {
    // A real file or folder whose security changes is a change of the run; its content stays the disk's.
    const std::optional<Stamp> stamp = folder ? std::nullopt : real_.StampOf(full);
    Node& node = Make(full, folder);
    node.backing = folder ? std::string() : full;
    node.size = stamp ? stamp->size : 0;
  }
  // A real file or folder keeps what it had of the part not set.
  Node& node = *nodes_[Key(full)];
  if (!made) {
    std::tie(node.owner, node.dacl) = SecurityParts(real_.SecurityOf(full).value_or(""));
  }
  auto [owner, dacl] = SecurityParts(sddl);
  if (part == SecurityPart::owner) {
    node.owner = std::move(owner);
  } else {
    node.dacl = std::move(dacl);
  }
  return 0;
}

std::optional<std::vector<Files::DirectoryEntry>> OverlayFiles::ListDirectory(const std::string& pattern) {
  const std::string full = Full(pattern);
  const std::string folderKey = ParentOf(Key(full));
  const std::string mask = NameOf(full);
  bool folder = false;
  if (folderKey.empty() || !Exists(folderKey, folder) || !folder) {
    return std::nullopt;
  }
  bool removed = false;
  const Node* made = Made(folderKey, removed);
  std::vector<DirectoryEntry> entries;
  if (made == nullptr || !made->backing.empty() || !made->owner.empty()) {
    entries = real_.ListDirectory(full).value_or(std::vector<DirectoryEntry>());
  }
  if (made != nullptr && entries.empty() && folderKey.size() > 3) {
    for (const char* dots : {".", ".."}) {
      if (Matches(dots, mask)) {
        entries.push_back({dots, kAttributeDirectory, 0});
      }
    }
  }
  // What the overlay removed or made in the folder replaces what the disk holds.
  std::erase_if(entries, [&](const DirectoryEntry& entry) {
    return nodes_.contains(Key(folderKey + (folderKey.size() == 3 ? "" : "\\") + entry.name));
  });
  for (const auto& [key, node] : nodes_) {
    if (node && ParentOf(key) == folderKey && Matches(NameOf(node->path), mask)) {
      entries.push_back({NameOf(node->path), node->folder ? kAttributeDirectory : node->attributes,
                         node->folder ? 0 : node->size});
    }
  }
  return entries;
}

bool OverlayFiles::Remove(const std::string& path) {
  const std::string full = Full(path);
  bool folder = false;
  // The running program's image cannot be deleted, as Windows refuses it.
  const std::optional<std::string> running = real_.ModulePath(SHRT_MAX);
  if (!Exists(full, folder) || folder || (running && Key(Full(*running)) == Key(full))) {
    return false;
  }
  Touch(full);
  nodes_[Key(full)] = std::nullopt;
  return true;
}

bool OverlayFiles::RemoveFolder(const std::string& path) {
  const std::string full = Full(path);
  bool folder = false;
  if (!Exists(full, folder) || !folder) {
    return false;
  }
  const std::optional<std::vector<DirectoryEntry>> inside = ListDirectory(full + "\\*");
  if (inside && std::any_of(inside->begin(), inside->end(), [](const DirectoryEntry& entry) {
        return entry.name != "." && entry.name != "..";
      })) {
    return false;
  }
  Touch(full);
  nodes_[Key(full)] = std::nullopt;
  return true;
}

bool OverlayFiles::Replace(const std::string& source, const std::string& target) {
  const std::string from = Full(source);
  const std::string to = Full(target);
  bool folder = false;
  if (!Exists(from, folder) || folder || (Exists(to, folder) && folder)) {
    return false;
  }
  bool removed = false;
  Node moved;
  if (const Node* node = Made(Key(from), removed)) {
    moved = *node;
  } else {
    moved.backing = from;
    moved.size = real_.StampOf(from).value_or(Stamp{}).size;
    moved.lastWrite = real_.StampOf(from).value_or(Stamp{}).lastWrite;
  }
  moved.path = to;
  Touch(from);
  Touch(to);
  nodes_[Key(from)] = std::nullopt;
  nodes_[Key(to)] = std::move(moved);
  return true;
}

bool OverlayFiles::ReplaceAtRestart(const std::string& source, const std::string& target) {
  bool folder = false;
  return Exists(Full(source), folder) && !Full(target).empty();
}

bool OverlayFiles::RemoveAtRestart(const std::string& path) {
  bool folder = false;
  return Exists(Full(path), folder);
}

bool OverlayFiles::CopyTo(const std::string& source, const std::string& target, std::uint32_t& error) {
  const std::string from = Full(source);
  const std::string to = Full(target);
  bool folder = false;
  if (!Exists(from, folder) || folder) {
    error = kFileNotFound;
    return false;
  }
  const std::string parent = ParentOf(Key(to));
  if (parent.empty() || !Exists(parent, folder) || !folder || (Exists(to, folder) && folder)) {
    error = parent.empty() || !Exists(parent, folder) ? kPathNotFound : kAccessDenied;
    return false;
  }
  bool removed = false;
  Node copy;
  if (const Node* node = Made(Key(from), removed)) {
    copy = *node;
  } else {
    copy.backing = from;
    copy.size = real_.StampOf(from).value_or(Stamp{}).size;
  }
  copy.path = to;
  copy.lastWrite = Tick();
  Touch(to);
  nodes_[Key(to)] = std::move(copy);
  return true;
}

std::optional<std::string> OverlayFiles::ModulePath(std::size_t maxChars) {
  return real_.ModulePath(maxChars);
}

FileHandle OverlayFiles::Create(const std::string& path, std::uint32_t access, std::uint32_t share,
                                std::uint32_t disposition, std::uint32_t attributes) {
  const std::string full = Full(path);
  const std::string key = Key(full);
  bool folder = false;
  const bool exists = Exists(full, folder);
  const auto fail = [this](std::uint32_t error) {
    lastCreateError_ = error;
    return FileHandle::invalid;
  };
  if (exists && folder) {
    return fail(kAccessDenied);
  }
  const bool write = (access & kGenericWrite) != 0 || disposition == kCreateAlways;
  bool removed = false;
  const Node* made = Made(key, removed);
  if (!write) {
    if (!exists) {
      return fail(kFileNotFound);
    }
    if (made == nullptr) {
      const FileHandle file = real_.Create(full, access, share, disposition, attributes);
      lastCreateError_ = real_.LastCreateError();
      if (file != FileHandle::invalid) {
        realHandles_.insert(static_cast<std::uintptr_t>(file));
      }
      return file;
    }
  } else {
    const std::string parent = ParentOf(key);
    if (parent.empty() || !Exists(parent, folder) || !folder) {
      return fail(kPathNotFound);
    }
    if (!exists && disposition == kOpenExisting) {
      return fail(kFileNotFound);
    }
    if (disposition == kCreateAlways || !exists) {
      Make(full, false).attributes = attributes == 0 ? kAttributeNormal : attributes;
    } else if (made == nullptr) {
      // A real file the run goes on writing (the log, the journal): its bytes are read in once.
      const std::uint64_t size = real_.StampOf(full).value_or(Stamp{}).size;
      std::string bytes;
      if (size <= kKeptBytes) {
        const FileHandle original =
            real_.Create(full, kGenericRead, kShareRead | kShareWrite, kOpenExisting, kAttributeNormal);
        std::vector<char> buffer(std::size_t{64} * 1024);
        for (std::optional<std::uint32_t> read;
             original != FileHandle::invalid &&
             (read = real_.Read(original, buffer.data(), static_cast<std::uint32_t>(buffer.size()))) &&
             *read > 0;) {
          bytes.append(buffer.data(), *read);
        }
        if (original != FileHandle::invalid) {
          real_.Close(original);
        }
      }
      Node& node = Make(full, false);
      node.size = size;
      if (size <= kKeptBytes) {
        node.bytes = std::move(bytes);
      } else {
        node.backing = full;
      }
    }
  }
  lastCreateError_ = 0;
  const std::uintptr_t handle = nextHandle_++;
  open_[handle] = OpenFile{key, 0, write};
  return static_cast<FileHandle>(handle);
}

std::uint32_t OverlayFiles::LastCreateError() {
  return lastCreateError_;
}

bool OverlayFiles::SeekToEnd(FileHandle file) {
  if (realHandles_.contains(static_cast<std::uintptr_t>(file))) {
    return real_.SeekToEnd(file);
  }
  const Node* node = NodeOf(file);
  if (node == nullptr) {
    return false;
  }
  open_[static_cast<std::uintptr_t>(file)].position = node->size;
  return true;
}

bool OverlayFiles::Write(FileHandle file, std::string_view bytes) {
  return WritePart(file, bytes.data(), static_cast<std::uint32_t>(bytes.size())) == bytes.size();
}

bool OverlayFiles::Close(FileHandle file) {
  const auto handle = static_cast<std::uintptr_t>(file);
  if (realHandles_.erase(handle) != 0) {
    return real_.Close(file);
  }
  return open_.erase(handle) != 0;
}

bool OverlayFiles::Flush(FileHandle file) {
  const auto open = open_.find(static_cast<std::uintptr_t>(file));
  return open != open_.end() && open->second.write;
}

std::optional<std::uint32_t> OverlayFiles::Read(FileHandle file, void* buffer, std::uint32_t count) {
  if (realHandles_.contains(static_cast<std::uintptr_t>(file))) {
    return real_.Read(file, buffer, count);
  }
  Node* node = NodeOf(file);
  if (node == nullptr) {
    return std::nullopt;
  }
  OpenFile& open = open_[static_cast<std::uintptr_t>(file)];
  if (!node->backing.empty()) {
    // A copy of a real file reads the original, from where this handle stands.
    if (open.position > static_cast<std::uint64_t>(INT_MAX)) {
      return std::nullopt;
    }
    const FileHandle original =
        real_.Create(node->backing, kGenericRead, kShareRead, kOpenExisting, kAttributeNormal);
    if (original == FileHandle::invalid) {
      return std::nullopt;
    }
    std::optional<std::uint32_t> read;
    if (real_.Seek(original, static_cast<std::int32_t>(open.position), kFileBegin)) {
      read = real_.Read(original, buffer, count);
    }
    real_.Close(original);
    if (read) {
      open.position += *read;
    }
    return read;
  }
  if (open.position >= node->bytes.size()) {
    return 0U;
  }
  const auto length =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(count, node->bytes.size() - open.position));
  std::memcpy(buffer, node->bytes.data() + open.position, length);
  open.position += length;
  return length;
}

std::optional<std::uint32_t> OverlayFiles::WritePart(FileHandle file, const void* bytes,
                                                     std::uint32_t count) {
  Node* node = NodeOf(file);
  const auto open = open_.find(static_cast<std::uintptr_t>(file));
  if (node == nullptr || !open->second.write) {
    return std::nullopt;
  }
  std::uint64_t& position = open->second.position;
  // What lies within the kept bytes is kept; the size counts the rest.
  if (node->backing.empty() && position <= node->bytes.size() && position < kKeptBytes) {
    const std::size_t kept = std::min<std::size_t>(count, kKeptBytes - position);
    node->bytes.replace(position, std::min<std::size_t>(kept, node->bytes.size() - position),
                        static_cast<const char*>(bytes), kept);
  }
  position += count;
  node->size = std::max(node->size, position);
  node->lastWrite = Tick();
  return count;
}

std::optional<std::uint32_t> OverlayFiles::Seek(FileHandle file, std::int32_t distance,
                                                std::uint32_t method) {
  if (realHandles_.contains(static_cast<std::uintptr_t>(file))) {
    return real_.Seek(file, distance, method);
  }
  const Node* node = NodeOf(file);
  if (node == nullptr) {
    return std::nullopt;
  }
  std::uint64_t& position = open_[static_cast<std::uintptr_t>(file)].position;
  const std::int64_t base = method == kFileBegin     ? 0
                            : method == kFileCurrent ? static_cast<std::int64_t>(position)
                                                     : static_cast<std::int64_t>(node->size);
  if (base + distance < 0 || base + distance > UINT32_MAX) {
    return std::nullopt;
  }
  position = static_cast<std::uint64_t>(base + distance);
  return static_cast<std::uint32_t>(position);
}

std::optional<std::uint64_t> OverlayFiles::DosDateTimeToFileTime(std::uint16_t date, std::uint16_t time) {
  return real_.DosDateTimeToFileTime(date, time);
}

std::optional<std::uint64_t> OverlayFiles::LocalFileTimeToFileTime(std::uint64_t localTime) {
  return real_.LocalFileTimeToFileTime(localTime);
}

bool OverlayFiles::SetFileTimes(FileHandle file, std::uint64_t /*creation*/, std::uint64_t /*lastAccess*/,
                                std::uint64_t lastWrite) {
  Node* node = NodeOf(file);
  if (node == nullptr) {
    return false;  // a real file is open for reading only
  }
  node->lastWrite = lastWrite;
  return true;
}

std::optional<std::uint32_t> OverlayFiles::FileAttributes(const std::string& path) {
  const std::string full = Full(path);
  bool removed = false;
  if (const Node* node = Made(Key(full), removed)) {
    return node->folder ? kAttributeDirectory : node->attributes;
  }
  return removed ? std::nullopt : real_.FileAttributes(full);
}

std::optional<Files::Stamp> OverlayFiles::StampOf(const std::string& path) {
  const std::string full = Full(path);
  bool removed = false;
  if (const Node* node = Made(Key(full), removed)) {
    return node->folder ? std::nullopt : std::optional<Stamp>(Stamp{node->size, node->lastWrite});
  }
  return removed ? std::nullopt : real_.StampOf(full);
}

std::optional<std::string> OverlayFiles::FindOnSearchPath(const std::string& fileName) {
  return real_.FindOnSearchPath(fileName);
}

std::uint32_t OverlayFiles::LogicalDrives() {
  return real_.LogicalDrives();
}

std::uint32_t OverlayFiles::DriveType(const std::string& root) {
  return real_.DriveType(root);
}

std::optional<std::uint64_t> OverlayFiles::DiskFreeBytes(const std::string& root) {
  return real_.DiskFreeBytes(root);
}

std::optional<std::string> OverlayFiles::VolumeOf(const std::string& path) {
  bool folder = false;
  // A folder the run would make lies on the volume of the nearest folder that is there.
  std::string full = Full(path);
  while (!full.empty() && full.size() > 3 && !(real_.FileAttributes(full) && Exists(full, folder))) {
    full = ParentOf(full);
  }
  return real_.VolumeOf(full.empty() ? path : full);
}

std::optional<std::string> OverlayFiles::KnownFolder(int folder) {
  return real_.KnownFolder(folder);
}

std::vector<OverlayFiles::Change> OverlayFiles::Changes() const {
  std::vector<Change> changes = touched_;
  for (Change& change : changes) {
    bool removed = false;
    const Node* node = Made(Key(change.path), removed);
    change.after = node != nullptr || (!removed && change.before);
    if (node != nullptr) {
      change.folder = node->folder;
    }
  }
  return changes;
}

std::optional<std::string> OverlayFiles::ContentOf(const std::string& path) const {
  const auto found = nodes_.find(Key(Full(path)));
  if (found == nodes_.end() || !found->second || found->second->folder) {
    return std::nullopt;
  }
  return found->second->bytes;
}
