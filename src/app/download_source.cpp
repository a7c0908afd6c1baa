#include "app/download_source.h"

#include <algorithm>

namespace {

bool IsHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
         c == '_';
}

}  // namespace

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
