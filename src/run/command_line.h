#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "product/run_mode.h"

// Looks for the keywords as case-sensitive substrings anywhere in the command line, in the order install,
// repair, modify (with server before client), uninstall, each later match replacing the mode; a command
// line that is empty or blank means install, one without any keyword gives none.
RunMode ParseRunMode(std::string_view commandLine);

inline constexpr char kSourceSwitch[] = "/source=";

// The switches of an unattended run, taken out of the command line before anything else reads it.
struct RunSwitches {
  // The command line without /quiet, /passive, /check, /plan, /undo, /answers=, /log= and /layout= (and their
  // values), for /source= and the run-mode keywords.
  std::u16string rest;
  // /quiet: no window and no message box.
  bool quiet = false;
  // /passive: no question; a small window shows the status line and the progress bar, boxes are logged.
  bool passive = false;
  // /check or /check=FILE: the pre-flight report, written also to FILE as JSON; nothing is changed.
  bool check = false;
  std::optional<std::u16string> checkPath;
  // /answers=FILE and /log=FILE; a value in double quotes may hold blanks.
  std::optional<std::u16string> answersPath;
  std::optional<std::u16string> logPath;
  // /plan or /plan=FILE: the changes the run of the other switches would make, as text on standard output,
  // or to FILE as JSON; nothing is changed.
  bool plan = false;
  std::optional<std::u16string> planPath;
  // /undo: the last update of each component (or of the one /type= names) is taken back.
  bool undo = false;
  // /layout=FOLDER: an offline layout is built there, and nothing is installed.
  std::optional<std::u16string> layoutPath;
  // What is wrong with a switch (an empty value, a missing closing quote, a switch given twice); the run
  // ends with kInvalidArguments.
  std::optional<std::string> error;
};

// Finds the switches as words of their own (at the start or after a blank, names without case).
RunSwitches SplitRunSwitches(std::u16string_view commandLine);

inline constexpr char kTypeClient[] = "client";
inline constexpr char kTypeServer[] = "server";
inline constexpr char kTypeBoth[] = "both";
inline constexpr char kTypeNeeded[] = "an unattended uninstall or repair needs /type=client, server or both";
inline constexpr char kUndoTypes[] = "/undo takes /type=client, server or both, or none for both";

// The value of "/type=" (client, server or both) that maintenance commands carry; empty when there is
// none.
std::string TypeSwitchValue(std::string_view commandLine);

struct SourceSwitch {
  // The command line without the switch, for the run-mode keywords.
  std::string rest;
  // The host the switch names, when it names a valid one.
  std::optional<std::string> host;
  // The folder or share the switch names instead ("D:\Media", "\\fileserver\nembric"), without its
  // trailing backslashes: an offline layout to read the packages from.
  std::optional<std::string> folder;
};

// Takes "/source=HOST" (up to the next blank, or in double quotes) out of the command line, so that a host
// name or folder holding a keyword ("install", "server", ...) cannot change the run mode. A host is
// accepted when it is a plain host name or address: letters, digits, '.', '-' and '_'; a folder when it
// begins with a drive ("X:\") or a share ("\\SERVER"), holds no character a path may not hold and no
// part that climbs up; either at most `maxLength` characters.
SourceSwitch SplitSourceSwitch(std::string_view commandLine, std::size_t maxLength);
