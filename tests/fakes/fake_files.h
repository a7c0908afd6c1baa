#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"

// In-memory files. Paths are compared without case, as Windows does.
class FakeFiles final : public Files {
 public:
  // The folders every Windows installation has: a setup never makes them, and never takes them away.
  FakeFiles() {
    AddDirectory("C:\\Program Files");
    AddDirectory("C:\\Program Files (x86)");
    AddDirectory("C:\\Windows\\system32");
    AddDirectory("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs");
  }
  std::optional<std::string> CurrentDirectory(std::size_t maxChars) override;
  std::uint32_t ChangeDirectory(const std::string& path) override;
  std::uint32_t MakeDirectory(const std::string& path) override;
  std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::string& pattern) override;
  bool Remove(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;
  bool Replace(const std::string& source, const std::string& target) override;
  bool ReplaceAtRestart(const std::string& source, const std::string& target) override;
  bool CopyTo(const std::string& source, const std::string& target, std::uint32_t& error) override;
  std::optional<std::string> ModulePath(std::size_t maxChars) override;
  FileHandle Create(const std::string& path, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t attributes) override;
  bool SeekToEnd(FileHandle file) override;
  bool Write(FileHandle file, std::string_view bytes) override;
  bool Close(FileHandle file) override;
  std::optional<std::uint32_t> Read(FileHandle file, void* buffer, std::uint32_t count) override;
  std::optional<std::uint32_t> WritePart(FileHandle file, const void* bytes, std::uint32_t count) override;
  std::optional<std::uint32_t> Seek(FileHandle file, std::int32_t distance, std::uint32_t method) override;
  std::optional<std::uint64_t> DosDateTimeToFileTime(std::uint16_t date, std::uint16_t time) override;
  std::optional<std::uint64_t> LocalFileTimeToFileTime(std::uint64_t localTime) override;
  bool SetFileTimes(FileHandle file, std::uint64_t creation, std::uint64_t lastAccess,
                    std::uint64_t lastWrite) override;
  std::optional<std::uint32_t> FileAttributes(const std::string& path) override;
  std::optional<Stamp> StampOf(const std::string& path) override;
  std::optional<std::string> FindOnSearchPath(const std::string& fileName) override;
  std::uint32_t LogicalDrives() override;
  std::uint32_t DriveType(const std::string& root) override;
  std::optional<std::uint64_t> DiskFreeBytes(const std::string& root) override;
  std::optional<std::string> KnownFolder(int folder) override;

  // Set by the test. Relative paths resolve against the current directory, which a successful
  // ChangeDirectory sets to the full path of the folder.
  std::string currentDirectory = "C:\\";
  std::string modulePath = "C:\\Setup\\NembricSetup.exe";
  // Paths where Create, MakeDirectory and CopyTo (as the target) fail with access denied.
  std::set<std::string> refusedPaths;
  // When set, the disk has room for this many more bytes: a WriteFile beyond them writes what fits.
  std::optional<std::size_t> freeBytes;
  // Folders on the system's search path, searched in order.
  std::vector<std::string> searchPath;
  // Drives present, by letter, with their type (3 fixed, 2 removable, 4 network, 5 CD-ROM).
  std::map<char, std::uint32_t> drives = {{'C', kDriveFixed}};
  // Free bytes of the disk behind a drive, by letter; a drive without an entry cannot tell.
  std::map<char, std::uint64_t> driveFreeBytes;
  // Known folders by CSIDL.
  std::map<int, std::string> knownFolders = {
      {kFolderProgramFiles, "C:\\Program Files"},
      {kFolderProgramFilesX86, "C:\\Program Files (x86)"},
      {kFolderSystem, "C:\\Windows\\system32"},
      {kFolderCommonPrograms, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"}};
  // Files held open by another process that shares them for reading only: opening one for writing fails.
  std::set<std::string> heldOpen;
  // The replacements waiting for the next start of Windows: source, target.
  std::vector<std::pair<std::string, std::string>> restartReplacements;
  // Minutes that UTC is ahead of local time (the time-zone bias of Windows).
  std::int64_t utcBiasMinutes = 0;
  // Every path removed and every copy, in order.
  std::vector<std::string> removed;
  std::vector<std::pair<std::string, std::string>> copies;
  // Every path whose attributes were asked for, in order.
  std::vector<std::string> attributeQueries;

  // The content of a file, or nullopt when there is none.
  std::optional<std::string> Content(const std::string& path) const;
  // Every file and every folder there is, by its full path in lower case.
  std::vector<std::string> FilePaths() const;
  std::vector<std::string> DirectoryPaths() const { return {directories_.begin(), directories_.end()}; }
  void SetContent(const std::string& path, std::string content);
  std::size_t OpenHandles() const { return open_.size(); }
  // Folders exist when they were added (with every folder above them) or hold a file put there by the
  // test; the root of every drive exists. A file can only be created in a folder that exists.
  void AddDirectory(const std::string& path);
  bool DirectoryExists(const std::string& path) const;

  struct Times {
    std::uint64_t creation = 0;
    std::uint64_t lastAccess = 0;
    std::uint64_t lastWrite = 0;
  };
  // The times set on a file, or nullopt when none were set.
  std::optional<Times> TimesOf(const std::string& path) const;
  // Every file whose name starts with the folder's path, with its content.
  std::map<std::string, std::string> FilesUnder(const std::string& folder) const;

  // Recorded: each Create as called.
  struct CreateCall {
    std::string path;
    std::uint32_t access;
    std::uint32_t share;
    std::uint32_t disposition;
    std::uint32_t attributes;
  };
  std::vector<CreateCall> creates;

  // Called after each change the fake makes to the machine (the crash tests stop a run there).
  std::function<void()> changed;

  // What is on the disk, to be put back as it was at one moment (the moment a run was cut off). Files
  // held open then are closed by the cut.
  struct Disk {
    std::map<std::string, std::string> files;
    std::set<std::string> directories;
    std::map<std::string, std::string> names;
    std::map<std::string, Times> times;
    std::map<std::string, std::uint64_t> lastWrites;
  };
  Disk SaveDisk() const { return {files_, directories_, names_, times_, lastWrites_}; }
  void RestoreDisk(const Disk& disk) {
    files_ = disk.files;
    directories_ = disk.directories;
    names_ = disk.names;
    times_ = disk.times;
    lastWrites_ = disk.lastWrites;
    open_.clear();
  }

 private:
  void Changed() const {
    if (changed) {
      changed();
    }
  }
  struct OpenFile {
    std::string key;
    std::size_t position = 0;
  };
  static std::string Key(const std::string& path);
  static std::string ParentKey(const std::string& key);
  // The full path of a path as Windows reads it against the current directory.
  std::string Resolve(const std::string& path) const;
  bool Refused(const std::string& path) const;
  OpenFile* Find(FileHandle file);

  std::map<std::string, std::string> files_;
  std::set<std::string> directories_;
  std::map<std::string, std::string> names_;  // names as they were written, by key
  std::map<std::string, Times> times_;
  // The last-write time of each file: a tick of the fake's clock at each change, or the time set.
  std::map<std::string, std::uint64_t> lastWrites_;
  std::uint64_t clock_ = 0;
  std::map<FileHandle, OpenFile> open_;
  std::uintptr_t nextHandle_ = 0x100;
};
