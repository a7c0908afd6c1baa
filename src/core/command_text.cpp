#include "core/command_text.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::string QuoteArgument(std::string_view argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string_view::npos) {
    return std::string(argument);
  }
  std::string quoted = "\"";
  for (std::size_t i = 0;; ++i) {
    std::size_t backslashes = 0;
    while (i < argument.size() && argument[i] == '\\') {
      ++backslashes;
      ++i;
    }
    if (i == argument.size()) {
      // Before the closing quote every backslash is doubled, so the quote still closes.
      quoted.append(backslashes * 2, '\\');
      break;
    }
    if (argument[i] == '"') {
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    quoted += argument[i];
  }
  quoted += '"';
  return quoted;
}

std::string CommandLineOf(std::string_view program, std::string_view arguments) {
  std::string line;
  line.reserve(program.size() + arguments.size() + 3);
  line += '"';
  line += program;
  line += '"';
  if (!arguments.empty()) {
    line += ' ';
    line += arguments;
  }
  return line;
}

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  std::vector<std::string> words;
  std::size_t i = 0;
  // The program's name.
  std::string name;
  if (i < commandLine.size() && commandLine[i] == '"') {
    const std::size_t end = commandLine.find('"', i + 1);
    name = commandLine.substr(i + 1, end == std::string_view::npos ? std::string_view::npos : end - i - 1);
    i = end == std::string_view::npos ? commandLine.size() : end + 1;
  } else {
    while (i < commandLine.size() && !IsBlank(commandLine[i])) {
      name += commandLine[i++];
    }
  }
  words.push_back(name);
  for (;;) {
    while (i < commandLine.size() && IsBlank(commandLine[i])) {
      ++i;
    }
    if (i == commandLine.size()) {
      return words;
    }
    std::string word;
    bool quoted = false;
    while (i < commandLine.size() && (quoted || !IsBlank(commandLine[i]))) {
      std::size_t backslashes = 0;
      while (i < commandLine.size() && commandLine[i] == '\\') {
        ++backslashes;
        ++i;
      }
      if (i < commandLine.size() && commandLine[i] == '"') {
        word.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          word += '"';
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        word.append(backslashes, '\\');
        if (i < commandLine.size() && (quoted || !IsBlank(commandLine[i]))) {
          word += commandLine[i++];
        }
      }
    }
    words.push_back(word);
  }
}
