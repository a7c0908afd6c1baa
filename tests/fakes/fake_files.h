#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"

// In-memory files. Paths are compared without case, as Windows does.
class FakeFiles final : public Files {
 public:
  std::optional<std::string> CurrentDirectory(std::size_t maxChars) override;
  FileHandle Create(const std::string& path, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t attributes) override;
  bool SeekToEnd(FileHandle file) override;
  bool Write(FileHandle file, std::string_view bytes) override;
  bool Close(FileHandle file) override;
  std::optional<std::uint32_t> FileAttributes(const std::string& path) override;
  std::optional<std::string> FindOnSearchPath(const std::string& fileName) override;
  std::uint32_t LogicalDrives() override;
  std::uint32_t DriveType(const std::string& root) override;
  std::optional<std::string> KnownFolder(int folder) override;

  // Set by the test.
  std::string currentDirectory = "C:\\";
  // Paths where Create fails, as for a folder without write access.
  std::set<std::string> refusedPaths;
  // Folders on the system's search path, searched in order.
  std::vector<std::string> searchPath;
  // Drives present, by letter, with their type (3 fixed, 2 removable, 4 network, 5 CD-ROM).
  std::map<char, std::uint32_t> drives = {{'C', kDriveFixed}};
  // Known folders by CSIDL.
  std::map<int, std::string> knownFolders = {{kFolderProgramFiles, "C:\\Program Files"},
                                             {kFolderProgramFilesX86, "C:\\Program Files (x86)"}};
  // Every path whose attributes were asked for, in order.
  std::vector<std::string> attributeQueries;

  // The content of a file, or nullopt when there is none.
  std::optional<std::string> Content(const std::string& path) const;
  void SetContent(const std::string& path, std::string content) { files_[Key(path)] = std::move(content); }
  std::size_t OpenHandles() const { return open_.size(); }

  // Recorded: each Create as called.
  struct CreateCall {
    std::string path;
    std::uint32_t access;
    std::uint32_t share;
    std::uint32_t disposition;
    std::uint32_t attributes;
  };
  std::vector<CreateCall> creates;

 private:
  struct OpenFile {
    std::string key;
    std::size_t position = 0;
  };
  static std::string Key(const std::string& path);

  std::map<std::string, std::string> files_;
  std::map<FileHandle, OpenFile> open_;
  std::uintptr_t nextHandle_ = 0x100;
};
