#include <array>

#include "core/path_text.h"
#include "core/utf8_text.h"
#include "product/setup_state.h"
#include "steps/server/server_setup.h"

namespace {

constexpr std::array<const char*, 8> kServerModules = {
    "HNembricAI.dll", "HNb10Cml.dll", "HNb10Cmn.dll", "HNb10Ntx.dll",
    "Hv10si.dll",     "Hv10ci.dll",   "Hv10math.dll", "HNb10lzma.dll",
};
constexpr char kInformationServerFolder[] = "c:\\program files\\NembricIS";
constexpr char kInformationServerProgram[] = "NembricIS.exe";
constexpr char kAllEntries[] = "*.*";
constexpr char kSearching[] = "Searching in ";
constexpr char kNoServerFolder[] =
    "This folder does not exist.Please specify Folder where HNembricAI is installed ";
constexpr char kSelectFolder[] = ".Please select installation folder or let Setup search for you.";
constexpr std::size_t kModuleFolderChars = 255;
// The longest directory text a search enters. Every level lengthens the text, so the walk ends on every
// tree, also one that leads back into itself through a junction.
constexpr std::size_t kSearchPathChars = 1023;

bool IsDotEntry(const std::string& name) {
  return name == "." || name == "..";
}

bool IsDirectory(const Files::DirectoryEntry& entry) {
  return (entry.attributes & Files::kAttributeDirectory) != 0;
}

}  // namespace

void ServerSetup::VerifyServerFiles() {
  moduleFolder = CutUtf8(state_.choices.serverDirectory, kModuleFolderChars);
  FindInformationServer();
  Files& files = state_.machine.files;
  if (!files.FileAttributes(moduleFolder)) {
    WriteLog(state_, LogTag::server, kNoServerFolder);
    return;
  }
  std::string missing;
  bool anyMissing = false;
  for (std::size_t i = 0; i < kServerModules.size(); ++i) {
    // The folder text ends with a backslash already: the path holds two, which Windows reads as one.
    if (files.FileAttributes(moduleFolder + "\\" + kServerModules.at(i))) {
      continue;
    }
    if (i > 0) {
      missing += missing.empty() ? " " : ",";
    }
    missing += kServerModules.at(i);
    anyMissing = true;
  }
  if (anyMissing) {
    WriteLog(state_, LogTag::server, missing + kSelectFolder);
  } else {
    websitePort = state_.choices.port;
  }
}

bool ServerSetup::SearchServerFiles(const std::string& directory) {
  const std::string folder = directory + "\\";
  Files& files = state_.machine.files;
  if (folder.size() > kSearchPathChars || files.ChangeDirectory(folder) != 0) {
    return false;
  }
  state_.reporter.ShowStatus(kSearching + folder);
  const auto entries = files.ListDirectory(kAllEntries);
  if (!entries) {
    return false;
  }
  bool found = false;
  for (const Files::DirectoryEntry& entry : *entries) {
    if (IsDotEntry(entry.name)) {
      continue;
    }
    if (IsDirectory(entry)) {
      if (SearchServerFiles(folder + entry.name)) {
        return true;
      }
    } else if (SameName(entry.name, kServerModules.front())) {
      moduleFolder = CutUtf8(folder, kModuleFolderChars);
      found = true;
      FindInformationServer();
    }
  }
  // A folder holding the main module is a server installed there.
  return found;
}

bool ServerSetup::FindInformationServer() {
  // A search started from here that finds a main module does not come back here: the two searches call
  // each other, and the walk must end.
  if (searchingInformationServer_) {
    return false;
  }
  searchingInformationServer_ = true;
  const bool found = SearchInformationServerFolder();
  searchingInformationServer_ = false;
  return found;
}

bool ServerSetup::SearchInformationServerFolder() {
  Files& files = state_.machine.files;
  if (files.ChangeDirectory(kInformationServerFolder) != 0) {
    return false;
  }
  state_.reporter.ShowStatus(std::string(kSearching) + kInformationServerFolder);
  const auto entries = files.ListDirectory(kAllEntries);
  if (!entries) {
    return false;
  }
  for (const Files::DirectoryEntry& entry : *entries) {
    if (IsDotEntry(entry.name)) {
      continue;
    }
    if (IsDirectory(entry)) {
      // The folder text and the entry's name run together, without a separator.
      if (SearchServerFiles(kInformationServerFolder + entry.name)) {
        return true;
      }
    } else if (SameName(entry.name, kInformationServerProgram)) {
      return true;
    }
  }
  return false;
}
