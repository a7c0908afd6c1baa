#include "run/command_line.h"

#include <algorithm>
#include <cctype>

#include "core/blank_text.h"

namespace {

bool Contains(std::string_view text, std::string_view word) {
  return text.find(word) != std::string_view::npos;
}

bool IsHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
         c == '_';
}

// A folder or share: "X:\..." or "\\SERVER\SHARE...", without a character Windows refuses in a path and
// without a part that climbs up.
bool IsSourceFolder(std::string_view path) {
  const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) != 0 &&
                     path[1] == ':' && path[2] == '\\';
  const bool share = path.size() > 2 && path.starts_with("\\\\") && path[2] != '\\';
  if (!drive && !share) {
    return false;
  }
  if (std::any_of(path.begin(), path.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 ||
               std::string_view("\"<>|?*/").find(c) != std::string_view::npos;
      })) {
    return false;
  }
  std::string wrapped(1, '\\');
  wrapped.append(path);
  wrapped.push_back('\\');
  return wrapped.find("\\..\\") == std::string::npos && wrapped.find("\\.\\") == std::string::npos &&
         path.find(':', 2) == std::string_view::npos;
}

constexpr char kEmptyValue[] = " needs a value";
constexpr char kOpenQuote[] = " has no closing quote";
constexpr char kGivenTwice[] = " is given twice";
constexpr std::u16string_view kQuiet = u"/quiet";
constexpr std::u16string_view kPassive = u"/passive";
constexpr std::u16string_view kCheck = u"/check";
constexpr std::u16string_view kCheckFile = u"/check=";
constexpr std::u16string_view kPlan = u"/plan";
constexpr std::u16string_view kPlanFile = u"/plan=";
constexpr std::u16string_view kUndo = u"/undo";
constexpr std::u16string_view kAnswers = u"/answers=";
constexpr std::u16string_view kLog = u"/log=";
constexpr std::u16string_view kLayout = u"/layout=";
constexpr char kTypeSwitch[] = "/type=";

char16_t Lower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Whether the text at `at` starts with the switch name, without regard to case.
bool StartsWithName(std::u16string_view text, std::size_t at, std::u16string_view name) {
  if (text.size() - at < name.size()) {
    return false;
  }
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (Lower(text[at + i]) != name[i]) {
      return false;
    }
  }
  return true;
}

std::string Narrow(std::u16string_view text) {
  std::string narrow;
  for (const char16_t c : text) {
    narrow += c < 0x80 ? static_cast<char>(c) : '?';
  }
  return narrow;
}

// The switch without a value that stands as a word of its own at `at`, and its name; nullptr when none
// does.
bool* FlagAt(std::u16string_view text, std::size_t at, RunSwitches& switches, std::u16string_view& name) {
  for (const auto& [flagName, flag] :
       {std::pair{kQuiet, &switches.quiet}, std::pair{kPassive, &switches.passive},
        std::pair{kCheck, &switches.check}, std::pair{kPlan, &switches.plan},
        std::pair{kUndo, &switches.undo}}) {
    if (StartsWithName(text, at, flagName) &&
        (at + flagName.size() == text.size() || text[at + flagName.size()] == u' ')) {
      name = flagName;
      return flag;
    }
  }
  return nullptr;
}

}  // namespace

RunSwitches SplitRunSwitches(std::u16string_view commandLine) {
  RunSwitches result;
  std::size_t at = 0;
  while (at < commandLine.size()) {
    const bool wordStart = at == 0 || commandLine[at - 1] == u' ';
    // Tools that quote every argument holding a blank (PowerShell, deployment agents, the C runtime's
    // rules) hand over "/answers=C:\Deploy Files\a.ini" quoted whole: the same switch as its value quoted.
    const bool quotedWhole = wordStart && commandLine[at] == u'"';
    const std::size_t nameAt = quotedWhole ? at + 1 : at;
    std::optional<std::u16string>* value = nullptr;
    std::u16string_view name;
    if (wordStart && StartsWithName(commandLine, nameAt, kAnswers)) {
      value = &result.answersPath;
      name = kAnswers;
    } else if (wordStart && StartsWithName(commandLine, nameAt, kLog)) {
      value = &result.logPath;
      name = kLog;
    } else if (wordStart && StartsWithName(commandLine, nameAt, kLayout)) {
      value = &result.layoutPath;
      name = kLayout;
    } else if (wordStart && StartsWithName(commandLine, nameAt, kCheckFile)) {
      if (result.check) {
        result.error = Narrow(kCheck) + kGivenTwice;
      }
      result.check = true;
      value = &result.checkPath;
      name = kCheckFile;
    } else if (wordStart && StartsWithName(commandLine, nameAt, kPlanFile)) {
      if (result.plan) {
        result.error = Narrow(kPlan) + kGivenTwice;
      }
      result.plan = true;
      value = &result.planPath;
      name = kPlanFile;
    } else if (bool* flag = wordStart && !quotedWhole ? FlagAt(commandLine, at, result, name) : nullptr) {
      if (*flag) {
        result.error = Narrow(name) + kGivenTwice;
      }
      *flag = true;
      at += name.size();
      continue;
    } else {
      result.rest += commandLine[at++];
      continue;
    }
    const std::string switchName = Narrow(name.substr(0, name.size() - 1));
    std::size_t start = nameAt + name.size();
    std::size_t end = 0;
    std::size_t next = 0;
    if (quotedWhole || (start < commandLine.size() && commandLine[start] == u'"')) {
      start += quotedWhole ? 0 : 1;
      end = commandLine.find(u'"', start);
      if (end == std::u16string_view::npos) {
        result.error = switchName + kOpenQuote;
        return result;
      }
      next = end + 1;
    } else {
      end = std::min(commandLine.find(u' ', start), commandLine.size());
      next = end;
    }
    if (end == start && !result.error) {
      result.error = switchName + kEmptyValue;
    } else if (value->has_value() && !result.error) {
      result.error = switchName + kGivenTwice;
    }
    *value = std::u16string(commandLine.substr(start, end - start));
    at = next;
  }
  return result;
}

std::string TypeSwitchValue(std::string_view commandLine) {
  const std::size_t start = commandLine.find(kTypeSwitch);
  if (start == std::string_view::npos) {
    return {};
  }
  const std::size_t valueStart = start + std::string_view(kTypeSwitch).size();
  return std::string(commandLine.substr(valueStart, commandLine.find(' ', valueStart) - valueStart));
}

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
  SourceSwitch result{std::string(commandLine), std::nullopt, std::nullopt};
  const std::size_t start = commandLine.find(kSourceSwitch);
  if (start == std::string_view::npos) {
    return result;
  }
  std::size_t hostStart = start + std::string_view(kSourceSwitch).size();
  std::size_t end = 0;
  std::size_t next = 0;
  // A folder with blanks goes in double quotes.
  if (hostStart < commandLine.size() && commandLine[hostStart] == '"' &&
      commandLine.find('"', hostStart + 1) != std::string_view::npos) {
    ++hostStart;
    end = commandLine.find('"', hostStart);
    next = end + 1;
  } else {
    end = std::min(commandLine.find(' ', hostStart), commandLine.size());
    next = end;
  }
  std::string_view host = commandLine.substr(hostStart, end - hostStart);
  result.rest = std::string(commandLine.substr(0, start)) + std::string(commandLine.substr(next));
  if (host.empty() || host.size() > maxLength) {
    return result;
  }
  if (IsSourceFolder(host)) {
    while (host.size() > 3 && host.back() == '\\') {
      host.remove_suffix(1);
    }
    result.folder = std::string(host);
  } else if (std::all_of(host.begin(), host.end(), IsHostCharacter)) {
    result.host = std::string(host);
  }
  return result;
}
