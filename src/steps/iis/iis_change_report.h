#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "steps/iis/iis_website.h"

// The changes made at one configuration path, and what its commit returned (nothing when the installation
// stopped before that commit).
struct IisCommittedChanges {
  std::string path;
  std::vector<IisChange> changes;
  std::optional<std::int32_t> commitResult;
};

// The file that says what a website installation changed in IIS, before and after, for an administrator
// who would otherwise compare applicationHost.config: each configuration path with whether its changes
// were committed, then one line a change. CR LF line ends, 8-bit text like the setup log.
std::string IisChangeReport(const std::vector<IisCommittedChanges>& commits);

// Its name, beside the setup log.
inline constexpr char kIisChangeReportName[] = "NembricSetup IIS changes.log";
