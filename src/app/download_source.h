#pragma once

#include <optional>
#include <string>
#include <string_view>

// The download server the packages come from, unless the command line names another with /source=HOST.
inline constexpr char kDefaultDownloadHost[] = "downloads.halvorn.example";
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
