#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/handles.h"

class Files;

// A cabinet opened for reading during a copy, read ahead in large pieces. FDI reads a cabinet one data
// block at a time, the block's header and then its data, with a seek in between: three system calls for
// every 32 KiB. Read ahead, those reads and seeks are answered from memory. The file's own position stays
// just behind what was read ahead; a seek outside that window goes to the file.
class ReadAheadFile {
 public:
  static constexpr std::size_t kSize = std::size_t{256} * 1024;

  ReadAheadFile(Files& files, FileHandle file) : files_(files), file_(file) {}

  // As the platform's read: the bytes read (fewer at the end of the file), nothing when a read failed.
  std::optional<std::uint32_t> Read(void* buffer, std::uint32_t count);
  // As the platform's seek: the new position, nothing when the seek failed (the position is then kept).
  std::optional<std::uint32_t> Seek(std::int32_t distance, std::uint32_t method);

 private:
  Files& files_;
  FileHandle file_;
  std::vector<char> bytes_;
  std::size_t next_ = 0;            // the next byte to hand out
  std::size_t end_ = 0;             // the end of what was read ahead
  std::uint64_t filePosition_ = 0;  // the file's own position: just after bytes_[end_ - 1]
};

// A file being extracted, written in large pieces. FDI writes a file 32 KiB at a time; gathered, those
// writes reach the file a few hundred KiB at a time. The file's declared size is known from the cabinet,
// so the write that completes it also writes it through: a failure is still the failure of a write, as
// FDI reports it, and the file is whole before its time stamps are set.
class WriteBehindFile {
 public:
  static constexpr std::size_t kSize = std::size_t{256} * 1024;

  WriteBehindFile(Files& files, FileHandle file, std::uint64_t declaredSize)
      : files_(files), file_(file), remaining_(declaredSize) {}

  // As the platform's write: the bytes taken, nothing when writing what was gathered failed.
  std::optional<std::uint32_t> Write(const void* bytes, std::uint32_t count);
  // Writes what was gathered; false when the file did not take all of it.
  bool Flush();

 private:
  Files& files_;
  FileHandle file_;
  std::uint64_t remaining_;  // of the declared size, not yet taken
  std::vector<char> bytes_;
};
