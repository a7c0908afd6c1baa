#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/security_text.h"
#include "platform/files.h"

// In-memory files. Paths are compared without case, as Windows does. As strict as Windows in what a setup
// meets:
// - every file and folder has an owner and a DACL; a folder made without a descriptor inherits from the
//   folder above, and the root of C: lets Authenticated Users make folders and modify what is below them
//   (as Windows 10 and 11 do). Every change is checked against the DACL for whoever acts: the setup (an
//   elevated administrator) or, inside `AsStandardUser`, a standard user;
// - a file open without FILE_SHARE_WRITE cannot be opened for writing by anyone else, one open without
//   FILE_SHARE_DELETE cannot be deleted or renamed, and one open for writing cannot be opened without
//   FILE_SHARE_WRITE;
// - a junction leads where it points, for everything below it; its own attributes tell it is one.
class FakeFiles final : public Files {
 public:
  // The folders every Windows installation has: a setup never makes them, and never takes them away.
  FakeFiles();
  std::optional<std::string> CurrentDirectory(std::size_t maxChars) override;
  std::uint32_t ChangeDirectory(const std::string& path) override;
  std::uint32_t MakeDirectory(const std::string& path) override;
  std::uint32_t MakeDirectoryWithSecurity(const std::string& path, const std::string& sddl) override;
  std::optional<std::string> SecurityOf(const std::string& path) override;
  std::uint32_t SetSecurity(const std::string& path, SecurityPart part, const std::string& sddl) override;
  std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::string& pattern) override;
  bool Remove(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;
  bool Replace(const std::string& source, const std::string& target) override;
  bool ReplaceAtRestart(const std::string& source, const std::string& target) override;
  bool RemoveAtRestart(const std::string& path) override;
  bool CopyTo(const std::string& source, const std::string& target, std::uint32_t& error) override;
  std::optional<std::string> ModulePath(std::size_t maxChars) override;
  FileHandle Create(const std::string& path, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t attributes) override;
  std::uint32_t LastCreateError() override { return lastCreateError_; }
  bool SeekToEnd(FileHandle file) override;
  bool Write(FileHandle file, std::string_view bytes) override;
  bool Flush(FileHandle file) override;
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
  std::optional<std::string> VolumeOf(const std::string& path) override;
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
  // Volumes mounted on a folder, and shares, by their root as GetVolumePathName gives it (with its trailing
  // backslash), with their free bytes: what lies below such a root is on that volume, not on the drive.
  std::map<std::string, std::uint64_t> volumeFreeBytes;
  // Known folders by CSIDL.
  std::map<int, std::string> knownFolders = {
      {kFolderProgramFiles, "C:\\Program Files"},
      {kFolderProgramFilesX86, "C:\\Program Files (x86)"},
      {kFolderSystem, "C:\\Windows\\system32"},
      {kFolderCommonPrograms, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
      {kFolderWindows, "C:\\Windows"}};
  // Files held open by another process that shares them for reading only: opening one for writing,
  // deleting or moving one fails.
  std::set<std::string> heldOpen;
  // Programs running (their images mapped, as the loader maps them, sharing read and delete): one cannot
  // be written or deleted, but it may be moved (by its lower-case path; the move takes it along).
  std::set<std::string> runningImages;
  // The replacements waiting for the next start of Windows: source, target.
  std::vector<std::pair<std::string, std::string>> restartReplacements;
  // The paths to be deleted at the next start of Windows, in order.
  std::vector<std::string> restartRemovals;
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
  // The content of the file an open handle with read access reads; nullopt for any other handle.
  std::optional<std::string> ContentThrough(FileHandle file) const;
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

  // Who acts: the setup, elevated, or a standard user of the machine.
  static constexpr char kStandardUser[] = "S-1-5-21-1004336348-1177238915-682003330-1001";
  static constexpr char kTrustedInstaller[] =
      "S-1-5-80-956008885-3425186549-2983580390-2908806716-3401183720";
  // Runs `act` as a standard user: what it changes is checked against that user's rights, and what it
  // makes is that user's.
  template <typename Act>
  auto AsStandardUser(Act act) {
    struct Restore {
      bool& flag;
      ~Restore() { flag = false; }
    } restore{standardUser_};
    standardUser_ = true;
    return act();
  }
  // The privileges the setup's token has enabled (the runtime's EnablePrivilege adds to it): with
  // "SeTakeOwnershipPrivilege" an administrator may take any file or folder.
  const std::set<std::string>* enabledPrivileges = nullptr;
  // Sets the owner and the DACL a file or folder has as its own (an SDDL text, "O:..D:..").
  void SetSecurityText(const std::string& path, const std::string& sddl);
  // The owner and the DACL that apply, inherited entries included.
  SecurityText EffectiveSecurity(const std::string& path) const;
  // A junction at `path` (a folder that is made if need be) leading to the folder `target`.
  void AddJunction(const std::string& path, const std::string& target);
  // Every change refused for want of rights, by path.
  std::vector<std::string> accessDenied;

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
    std::map<std::string, SecurityText> security;
    std::map<std::string, std::string> junctions;
    std::map<std::string, std::string> durable;
  };
  Disk SaveDisk() const {
    return {files_, directories_, names_, times_, lastWrites_, security_, junctions_, durable_};
  }
  void RestoreDisk(const Disk& disk) {
    files_ = disk.files;
    directories_ = disk.directories;
    names_ = disk.names;
    times_ = disk.times;
    lastWrites_ = disk.lastWrites;
    security_ = disk.security;
    junctions_ = disk.junctions;
    durable_ = disk.durable;
    open_.clear();
  }
  // The power goes: what was written to a file since it was last flushed is lost, its blocks left as
  // zeros (a file never flushed is zeros throughout); names made, moved and removed stay as they are.
  // Open handles are gone. With `torn`, the writes were under way: of what changed since the flush, the
  // first half reached the disk and the rest did not (a line cut in its middle, a file half new).
  void PowerCut(bool torn = false);
  // Every flush, by the file's full path in lower case; `flushed` is called after each.
  std::vector<std::string> flushes;
  std::function<void()> flushed;
  // Everything on the disk now is on it for good (what a test set up before the run).
  void MakeAllDurable() { durable_ = files_; }

 private:
  void Changed() const {
    if (changed) {
      changed();
    }
  }
  struct OpenFile {
    std::string key;
    std::size_t position = 0;
    std::uint32_t access = 0;
    std::uint32_t share = 0;
  };
  static std::string Key(const std::string& path);
  // The key of a path with every junction on it followed (the last name's too, unless `followLast` is
  // false: the junction itself).
  std::string Where(const std::string& path, bool followLast = true) const;
  std::string FollowJunctions(std::string key) const;
  SecurityText EffectiveFor(const std::string& key) const;
  // Whether whoever acts has every one of `rights` on the file or folder.
  bool Allowed(const std::string& key, std::uint32_t rights) const;
  // Checks a change against the rights; a refusal is recorded.
  bool MayChange(const std::string& key, std::uint32_t rights);
  // May the file at `key` be deleted or renamed by whoever acts: DELETE on it, or FILE_DELETE_CHILD on its
  // folder.
  bool MayDelete(const std::string& key);
  // The owner of what whoever acts makes.
  std::string ActorOwner() const { return standardUser_ ? kStandardUser : "BA"; }
  void MadeBy(const std::string& key);
  // Whether an open handle of the file keeps out an open with this access and sharing.
  bool SharingRefuses(const std::string& key, std::uint32_t access, std::uint32_t share) const;
  // Whether an open handle of the file keeps out its deletion or renaming.
  bool DeleteRefused(const std::string& key) const;
  // The key is one of these paths.
  static bool Among(const std::set<std::string>& paths, const std::string& key);
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
  std::map<std::string, SecurityText> security_;  // owner and own DACL, by key
  std::map<std::string, std::string> junctions_;  // junction key to the key of its target
  std::map<std::string, std::string> durable_;    // what a power cut leaves of each file flushed, by key
  bool standardUser_ = false;
  std::uint32_t lastCreateError_ = 0;
  std::uintptr_t nextHandle_ = 0x100;
};
