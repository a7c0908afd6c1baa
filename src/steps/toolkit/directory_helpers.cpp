#include "steps/toolkit/directory_helpers.h"

#include "core/blank_text.h"
#include "core/path_text.h"
#include "journal/install_record.h"
#include "platform/machine.h"
#include "steps/actions/file_deleted.h"
#include "steps/actions/folder_made.h"
#include "steps/toolkit/protected_folder.h"

namespace {

constexpr std::size_t kMaxComponent = 255;
constexpr char kLongPathPrefix[] = "\\\\?\\";
constexpr char kDllMark[] = "dll";
constexpr char kAllFiles[] = "*.*";
constexpr char kMakeCall[] = "CreateDirectory";
constexpr char kEnterCall[] = "SetCurrentDirectory";
constexpr std::uint32_t kNameTooLong = 206;          // ERROR_FILENAME_EXCED_RANGE
constexpr std::uint32_t kReparseEncountered = 4395;  // ERROR_REPARSE_POINT_ENCOUNTERED

std::string WithoutTrailingBackslash(std::string path) {
  if (!path.empty() && path.back() == '\\') {
    path.pop_back();
  }
  return path;
}

// The system's message for an error code without its closing line break.
std::string MessageOf(Machine& machine, std::uint32_t error) {
  std::string text = machine.processes.SystemMessage(error).value_or("");
  if (text.ends_with("\r\n")) {
    text.resize(text.size() - 2);
  }
  return text;
}

// Whether the folder is the root or lies below it.
bool AtOrBelow(const std::string& folder, const std::string& root) {
  const std::string base = WithoutTrailingBackslash(root);
  return !base.empty() && folder.size() >= base.size() && SameName(folder.substr(0, base.size()), base) &&
         (folder.size() == base.size() || folder[base.size()] == '\\');
}

// The walk shared by both helpers, over a path already trimmed. `errors` collects the messages of the
// directories that could not be made, when given. False when a level cannot be entered or made. A level
// at or below the protection's root is made with its DACL.
ActionResult WalkAndCreate(Machine& machine, const std::string& path, std::string* errors,
                           InstallRecord* record, const FolderProtection* protection) {
  Files& files = machine.files;
  std::string component;
  bool first = true;
  // A folder to be made is recorded first, by the path walked so far: a run cut off right after making it
  // leaves it in the record. A folder that is there already is not the run's.
  const auto make = [&](std::size_t end) {
    const std::string walked = path.substr(0, end);
    const bool protectedHere = protection != nullptr && AtOrBelow(walked, protection->root);
    return MakeFolder(record, files, {walked, component, protectedHere ? &protection->dacl : nullptr});
  };
  // Where folders are protected, none on the way may lead elsewhere, whoever made it (before the walk, or
  // meanwhile in a folder where users may make folders).
  const auto leadsElsewhere = [&](std::size_t end) {
    const std::optional<std::uint32_t> attributes =
        protection != nullptr && end > 3 ? files.FileAttributes(path.substr(0, end)) : std::nullopt;
    return attributes && (*attributes & Files::kAttributeReparsePoint) != 0;
  };
  for (std::size_t at = 0; at < path.size(); ++at) {
    const char c = path[at];
    if (c != '\\') {
      if (component.size() >= kMaxComponent) {
        return ActionResult::Failed(kMakeCall, kNameTooLong);
      }
      component += c;
      continue;
    }
    if (first) {
      component += '\\';  // the drive: "C:" becomes its root "C:\"
      first = false;
    }
    if (files.ChangeDirectory(component) != 0) {
      ActionResult made = make(at);
      if (NotRecorded(made)) {
        return made;
      }
      const auto error = static_cast<std::uint32_t>(made.code);
      if (error != 0 && errors != nullptr) {
        *errors += MessageOf(machine, error);
      }
      // A level that can be neither entered nor made (a drive that is not there, a folder without
      // access) ends the walk: going on from the folder that is current would make the rest elsewhere.
      if (const std::uint32_t entered = files.ChangeDirectory(component); entered != 0) {
        return ActionResult::Failed(error != 0 ? kMakeCall : kEnterCall, error != 0 ? error : entered);
      }
    }
    if (leadsElsewhere(at)) {
      return ActionResult::Failed(kEnterCall, kReparseEncountered);
    }
    component.clear();
  }
  if (component.empty()) {
    return ActionResult::Done();
  }
  ActionResult made = make(path.size());
  if (NotRecorded(made)) {
    return made;
  }
  const auto error = static_cast<std::uint32_t>(made.code);
  if (error != 0 && errors != nullptr) {
    *errors += MessageOf(machine, error);
  }
  if (leadsElsewhere(path.size())) {
    return ActionResult::Failed(kEnterCall, kReparseEncountered);
  }
  return error == 0 ? ActionResult::Done() : ActionResult::Failed(kMakeCall, error);
}

}  // namespace

ActionResult CreateDirectoryChain(Machine& machine, const std::string& path, InstallRecord* record,
                                  const FolderProtection* protection) {
  const std::string trimmed = WithoutTrailingBackslash(TrimTrailingBlanks(path));
  if (machine.files.ChangeDirectory(trimmed) == 0 || trimmed.empty()) {
    return ActionResult::Done();
  }
  return WalkAndCreate(machine, trimmed, nullptr, record, protection);
}

ActionResult CreateDirectoryChainEx(Machine& machine, const std::string& path, std::string& errorText,
                                    InstallRecord* record, const FolderProtection* protection) {
  std::string trimmed = WithoutTrailingBackslash(TrimTrailingBlanks(path));
  if (trimmed.starts_with(kLongPathPrefix)) {
    trimmed.erase(0, std::string_view(kLongPathPrefix).size());
  }
  trimmed = WithoutTrailingBackslash(trimmed);
  const std::uint32_t error = machine.files.ChangeDirectory(trimmed);
  if (error == 0) {
    return ActionResult::Done();
  }
  errorText = MessageOf(machine, error);
  if (trimmed.empty()) {
    return ActionResult::Done();
  }
  return WalkAndCreate(machine, trimmed, &errorText, record, protection);
}

ActionResult EnterOrCreateDirectory(Machine& machine, const std::string& path, InstallRecord* record,
                                    const FolderProtection* protection) {
  return machine.files.ChangeDirectory(path) == 0 ? ActionResult::Done()
                                                  : CreateDirectoryChain(machine, path, record, protection);
}

ActionResult DeleteDllFiles(Machine& machine, const std::string& directory, InstallRecord* record) {
  Files& files = machine.files;
  if (const std::uint32_t error = files.ChangeDirectory(directory); error != 0) {
    return ActionResult::Failed(kEnterCall, error);
  }
  const auto entries = files.ListDirectory(JoinPath(directory, kAllFiles));
  if (!entries) {
    return ActionResult::Done();
  }
  for (const Files::DirectoryEntry& entry : *entries) {
    if (entry.name == "." || entry.name == ".." || (entry.attributes & Files::kAttributeDirectory) != 0) {
      continue;
    }
    if (entry.name.find(kDllMark) != std::string::npos) {
      // A module the run deletes is kept whole until the component is committed.
      const std::string path = JoinPath(directory, entry.name);
      if (ActionResult kept = DeleteKeptFile(record, files, path); !kept) {
        return kept;
      }
    }
  }
  return ActionResult::Done();
}

namespace {

constexpr int kFolderDepthLimit = 16;

std::uint64_t FolderBytesBelow(Machine& machine, const std::string& folder, int depth) {
  const auto entries = machine.files.ListDirectory(WithTrailingBackslash(folder) + "*.*");
  if (!entries || depth > kFolderDepthLimit) {
    return 0;
  }
  std::uint64_t bytes = 0;
  for (const Files::DirectoryEntry& entry : *entries) {
    if ((entry.attributes & Files::kAttributeDirectory) == 0) {
      bytes += entry.size;
    } else if (entry.name != "." && entry.name != "..") {
      bytes += FolderBytesBelow(machine, WithTrailingBackslash(folder) + entry.name, depth + 1);
    }
  }
  return bytes;
}

}  // namespace

std::uint64_t FolderBytes(Machine& machine, const std::string& folder) {
  return FolderBytesBelow(machine, folder, 0);
}
