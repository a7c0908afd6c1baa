#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/handles.h"

class Files;

// Opens the file for reading and hands its bytes to `take` piece by piece through the buffer. False when
// the file cannot be opened or read, or when `take` returns false.
bool ReadFilePieces(Files& files, const std::string& path, std::span<char> buffer,
                    const std::function<bool(std::string_view)>& take);
// The same for a file already open for reading, from where its pointer stands.
bool ReadOpenFilePieces(Files& files, FileHandle file, std::span<char> buffer,
                        const std::function<bool(std::string_view)>& take);

// The whole content of a file of at most `maxBytes`; nullopt when it cannot be read or is longer.
std::optional<std::string> ReadWholeFile(Files& files, const std::string& path, std::size_t maxBytes);

// Creates the file anew (or empties it) and writes the text; false when it cannot be created or written
// whole.
bool WriteWholeFile(Files& files, const std::string& path, std::string_view text);
