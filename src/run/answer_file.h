#pragma once

#include <cstddef>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <variant>

// One answer: its value and the line it stands on (from 1).
struct Answer {
  std::string value;
  std::size_t line = 0;
};

// What is wrong with an answer file: the line (0 for the file as a whole), the key when there is one, and
// the reason.
struct AnswerFileError {
  std::size_t line = 0;
  std::string key;
  std::string reason;
};

// The answers by key, as the key list spells it.
using Answers = std::map<std::string, Answer>;

// Reads an answer file: an optional UTF-8 byte order mark, lines ending in LF or CR LF, blank lines and
// comments (";" or "#"), one [Setup] section and "Key = Value" lines in it, blanks around both trimmed and
// a value in double quotes kept as it stands inside them. An unknown or repeated key, a line that is not
// a key and a value, another section or text before the section is an error.
// `keys` are the keys the file may hold, as they are spelled in the answers (the file's spelling is
// compared without case).
std::variant<Answers, AnswerFileError> ParseAnswerFile(std::string_view text,
                                                       std::span<const char* const> keys);
