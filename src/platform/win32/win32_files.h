#pragma once

#include "platform/files.h"

class Win32Files final : public Files {
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
};
