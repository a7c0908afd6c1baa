#include "steps/toolkit/cabinet_buffers.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/files.h"

std::optional<std::uint32_t> ReadAheadFile::Read(void* buffer, std::uint32_t count) {
  auto* out = static_cast<char*>(buffer);
  std::uint32_t done = 0;
  while (done < count) {
    if (next_ == end_) {
      bytes_.resize(kSize);
      const std::optional<std::uint32_t> read =
          files_.Read(file_, bytes_.data(), static_cast<std::uint32_t>(bytes_.size()));
      if (!read) {
        return std::nullopt;
      }
      filePosition_ += *read;
      next_ = 0;
      end_ = *read;
      if (end_ == 0) {
        break;  // the end of the file
      }
    }
    const std::size_t part = std::min<std::size_t>(count - done, end_ - next_);
    std::memcpy(out + done, bytes_.data() + next_, part);
    next_ += part;
    done += static_cast<std::uint32_t>(part);
  }
  return done;
}

std::optional<std::uint32_t> ReadAheadFile::Seek(std::int32_t distance, std::uint32_t method) {
  const std::uint64_t windowStart = filePosition_ - end_;
  const std::int64_t position = static_cast<std::int64_t>(filePosition_ - (end_ - next_));
  std::optional<std::uint32_t> moved;
  if (method == Files::kFileBegin || method == Files::kFileCurrent) {
    const std::int64_t target = method == Files::kFileBegin ? distance : position + distance;
    if (target >= static_cast<std::int64_t>(windowStart) &&
        target <= static_cast<std::int64_t>(filePosition_)) {
      next_ = static_cast<std::size_t>(static_cast<std::uint64_t>(target) - windowStart);
      return static_cast<std::uint32_t>(target);
    }
    // Outside the window: the file moves, from where this reader's position is.
    const std::int64_t fromFile = target - static_cast<std::int64_t>(filePosition_);
    if (target < 0 || fromFile < std::numeric_limits<std::int32_t>::min() ||
        fromFile > std::numeric_limits<std::int32_t>::max()) {
      return std::nullopt;
    }
    moved = files_.Seek(file_, static_cast<std::int32_t>(fromFile), Files::kFileCurrent);
  } else {
    moved = files_.Seek(file_, distance, method);
  }
  if (moved) {
    // What was read ahead is dropped only once the file has moved; a failed seek keeps the position.
    filePosition_ = *moved;
    next_ = 0;
    end_ = 0;
  }
  return moved;
}

std::optional<std::uint32_t> WriteBehindFile::Write(const void* bytes, std::uint32_t count) {
  if (bytes_.capacity() < kSize) {
    bytes_.reserve(kSize);
  }
  const auto* in = static_cast<const char*>(bytes);
  bytes_.insert(bytes_.end(), in, in + count);
  remaining_ -= std::min<std::uint64_t>(remaining_, count);
  if ((bytes_.size() >= kSize || remaining_ == 0) && !Flush()) {
    return std::nullopt;
  }
  return count;
}

bool WriteBehindFile::Flush() {
  std::size_t done = 0;
  while (done < bytes_.size()) {
    const std::optional<std::uint32_t> written =
        files_.WritePart(file_, bytes_.data() + done,
                         static_cast<std::uint32_t>(std::min<std::size_t>(
                             bytes_.size() - done, std::numeric_limits<std::uint32_t>::max())));
    if (!written || *written == 0) {
      bytes_.clear();
      return false;
    }
    done += *written;
  }
  bytes_.clear();
  return true;
}
