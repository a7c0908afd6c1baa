#pragma once

#include "platform/files.h"

class Win32Files final : public Files {
 public:
  std::optional<std::string> CurrentDirectory(std::size_t maxChars) override;
  std::uint32_t ChangeDirectory(const std::string& path) override;
  std::uint32_t MakeDirectory(const std::string& path) override;
  std::uint32_t MakeDirectoryWithSecurity(const std::string& path, const std::string& sddl) override;
  std::optional<std::string> SecurityOf(const std::string& path) override;
  std::uint32_t SetSecurity(const std::string& path, SecurityPart part, const std::string& sddl) override;
  std::uint32_t LastCreateError() override { return lastCreateError_; }
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

 private:
  // GetLastError of the last CreateFileA that failed, taken before any other call can change it.
  std::uint32_t lastCreateError_ = 0;
};
