#include "core/file_reading.h"

#include <vector>

#include "core/port_guards.h"

namespace {

constexpr std::size_t kWholeFileReadSize = std::size_t{64} * 1024;

}  // namespace

bool ReadFilePieces(Files& files, const std::string& path, std::span<char> buffer,
                    const std::function<bool(std::string_view)>& take) {
  const UniqueFile file(files, files.Create(path, Files::kGenericRead, Files::kShareRead,
                                            Files::kOpenExisting, Files::kAttributeNormal));
  return file.IsOpen() && ReadOpenFilePieces(files, file.get(), buffer, take);
}

bool ReadOpenFilePieces(Files& files, FileHandle file, std::span<char> buffer,
                        const std::function<bool(std::string_view)>& take) {
  for (;;) {
    const std::optional<std::uint32_t> read =
        files.Read(file, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    if (!read) {
      return false;
    }
    if (*read == 0) {
      return true;
    }
    if (!take(std::string_view(buffer.data(), *read))) {
      return false;
    }
  }
}

std::optional<std::string> ReadWholeFile(Files& files, const std::string& path, std::size_t maxBytes) {
  std::string text;
  std::vector<char> buffer(kWholeFileReadSize);
  const bool read = ReadFilePieces(files, path, buffer, [&text, maxBytes](std::string_view piece) {
    text += piece;
    return text.size() <= maxBytes;
  });
  return read ? std::optional<std::string>(std::move(text)) : std::nullopt;
}

bool WriteWholeFile(Files& files, const std::string& path, std::string_view text) {
  UniqueFile file(files,
                  files.Create(path, Files::kGenericWrite, 0, Files::kCreateAlways, Files::kAttributeNormal));
  if (!file.IsOpen()) {
    return false;
  }
  const std::optional<std::uint32_t> written =
      files.WritePart(file.get(), text.data(), static_cast<std::uint32_t>(text.size()));
  return written == text.size() && file.Close();
}
