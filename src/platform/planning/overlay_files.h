#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"

// The files of the machine as a run that only plans sees them: every read reaches the real files, every
// change stays in memory and is seen by the reads that follow. Nothing is written, moved or deleted on
// disk. A file made here keeps at most kKeptBytes of what is written to it (a cabinet's directory, the
// journal, the log); a copy of a real file reads the original's bytes.
class OverlayFiles final : public Files {
 public:
  static constexpr std::size_t kKeptBytes = 1U << 20U;

  explicit OverlayFiles(Files& real);

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
  std::uint32_t LastCreateError() override;
  bool SeekToEnd(FileHandle file) override;
  bool Write(FileHandle file, std::string_view bytes) override;
  bool Close(FileHandle file) override;
  bool Flush(FileHandle file) override;
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

  // Every file or folder the run would make, change or remove, in the order it first touched each, with
  // whether it was there before (what is overwritten or deleted) and whether it is there at the end.
  struct Change {
    std::string path;
    bool folder = false;
    bool before = false;
    bool after = false;
  };
  std::vector<Change> Changes() const;
  // The bytes kept of a file made here; nullopt when the path was not made or changed here.
  std::optional<std::string> ContentOf(const std::string& path) const;

 private:
  struct Node {
    std::string path;  // as first named
    bool folder = false;
    std::string bytes;       // what is kept of the content
    std::uint64_t size = 0;  // the whole size, beyond what is kept
    std::string backing;     // a real file whose bytes this one reads (a copy), or empty
    std::uint32_t attributes = kAttributeNormal;
    std::uint64_t lastWrite = 0;
    // The security set or made with it, by part; what is empty is the one Windows gives a new object:
    // the administrators as owner (the setup runs elevated), the DACL inherited from the folder above.
    std::string owner;
    std::string dacl;
  };
  struct OpenFile {
    std::string key;
    std::uint64_t position = 0;
    bool write = false;
  };

  std::string Full(const std::string& path) const;
  static std::string Key(const std::string& full);
  static std::string ParentOf(const std::string& key);
  // The node of a path made or changed here; nullptr when the path is as on disk; `removed` tells when the
  // path (or a folder above it) was removed here.
  const Node* Made(const std::string& key, bool& removed) const;
  bool Exists(const std::string& full, bool& folder);
  Node& Make(const std::string& full, bool folder);
  // Notes the first change of a path, before it is made.
  void Touch(const std::string& full);
  Node* NodeOf(FileHandle file);
  std::uint64_t Tick();

  Files& real_;
  std::string current_;
  std::map<std::string, std::optional<Node>> nodes_;  // by key; nullopt: removed here
  std::vector<Change> touched_;                       // in the order of the first change
  std::map<std::string, std::size_t> touchedAt_;      // by key
  std::map<std::uintptr_t, OpenFile> open_;
  std::set<std::uintptr_t> realHandles_;
  std::uintptr_t nextHandle_ = 0x7F000000;
  std::uint32_t lastCreateError_ = 0;
  std::uint64_t clock_ = 0;
};
