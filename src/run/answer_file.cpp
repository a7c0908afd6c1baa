#include "run/answer_file.h"

#include <algorithm>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kSection = "[Setup]";
constexpr char kNoSection[] = "the answers must follow the [Setup] section";
constexpr char kOtherSection[] = "only the [Setup] section is read";
constexpr char kNotAnAnswer[] = "the line is not Key = Value";
constexpr char kUnknownKey[] = "unknown key";
constexpr char kRepeatedKey[] = "the key is given twice";
constexpr char kOpenQuote[] = "the value has no closing quote";

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameKey(std::string_view left, std::string_view right) {
  return std::equal(left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(a) == lower(b);
  });
}

}  // namespace

std::variant<Answers, AnswerFileError> ParseAnswerFile(std::string_view text,
                                                       std::span<const char* const> keys) {
  if (text.starts_with(kByteOrderMark)) {
    text.remove_prefix(kByteOrderMark.size());
  }
  Answers answers;
  bool inSection = false;
  std::size_t number = 0;
  while (!text.empty()) {
    ++number;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    line = Trim(line);
    if (line.empty() || line.front() == ';' || line.front() == '#') {
      continue;
    }
    if (line.front() == '[') {
      if (!SameKey(line, kSection) || inSection) {
        return AnswerFileError{number, {}, kOtherSection};
      }
      inSection = true;
      continue;
    }
    if (!inSection) {
      return AnswerFileError{number, {}, kNoSection};
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || Trim(line.substr(0, equals)).empty()) {
      return AnswerFileError{number, {}, kNotAnAnswer};
    }
    const std::string_view key = Trim(line.substr(0, equals));
    std::string_view value = Trim(line.substr(equals + 1));
    const auto known =
        std::find_if(keys.begin(), keys.end(), [&key](const char* name) { return SameKey(key, name); });
    if (known == keys.end()) {
      return AnswerFileError{number, std::string(key), kUnknownKey};
    }
    if (value.starts_with('"')) {
      if (value.size() < 2 || !value.ends_with('"')) {
        return AnswerFileError{number, *known, kOpenQuote};
      }
      value = value.substr(1, value.size() - 2);
    }
    if (!answers.emplace(*known, Answer{std::string(value), number}).second) {
      return AnswerFileError{number, *known, kRepeatedKey};
    }
  }
  return answers;
}
