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
};
