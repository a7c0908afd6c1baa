#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/run_mode.h"

// Looks for the keywords as case-sensitive substrings anywhere in the command line, in the order install,
// repair, modify (with server before client), uninstall, each later match replacing the mode; a command
// line that is empty or blank means install, one without any keyword gives none.
RunMode ParseRunMode(std::string_view commandLine);

inline constexpr char kSourceSwitch[] = "/source=";

struct SourceSwitch {
  // The command line without the switch, for the run-mode keywords.
  std::string rest;
  // The host the switch names, when it names a valid one.
  std::optional<std::string> host;
};

// Takes "/source=HOST" (up to the next blank) out of the command line, so that a host name holding a
// keyword ("install", "server", ...) cannot change the run mode. A host is accepted when it is a plain
// host name or address: letters, digits, '.', '-' and '_', at most `maxLength` characters.
SourceSwitch SplitSourceSwitch(std::string_view commandLine, std::size_t maxLength);
