#include "run/command_line.h"

#include <algorithm>

#include "core/blank_text.h"

namespace {

bool Contains(std::string_view text, std::string_view word) {
  return text.find(word) != std::string_view::npos;
}

bool IsHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
         c == '_';
}

}  // namespace

RunMode ParseRunMode(std::string_view commandLine) {
  RunMode mode = RunMode::none;
  if (Contains(commandLine, "install")) {
    mode = RunMode::install;
  }
  if (Contains(commandLine, "repair")) {
    mode = RunMode::repair;
  }
  if (Contains(commandLine, "modify")) {
    mode = RunMode::modify;
    if (Contains(commandLine, "server")) {
      mode |= RunMode::modifyServer;
    } else if (Contains(commandLine, "client")) {
      mode |= RunMode::modifyClient;
    }
  }
  // "uninstall" holds "install": an uninstall command line passes through install first and ends here.
  if (Contains(commandLine, "uninstall")) {
    mode = RunMode::uninstall;
  }
  if (IsBlankText(commandLine)) {
    mode = RunMode::install;
  }
  return mode;
}

SourceSwitch SplitSourceSwitch(std::string_view commandLine, std::size_t maxLength) {
  SourceSwitch result{std::string(commandLine), std::nullopt};
  const std::size_t start = commandLine.find(kSourceSwitch);
  if (start == std::string_view::npos) {
    return result;
  }
  const std::size_t hostStart = start + std::string_view(kSourceSwitch).size();
  std::size_t end = commandLine.find(' ', hostStart);
  if (end == std::string_view::npos) {
    end = commandLine.size();
  }
  const std::string_view host = commandLine.substr(hostStart, end - hostStart);
  result.rest = std::string(commandLine.substr(0, start)) + std::string(commandLine.substr(end));
  if (!host.empty() && host.size() <= maxLength && std::all_of(host.begin(), host.end(), IsHostCharacter)) {
    result.host = std::string(host);
  }
  return result;
}
