#pragma once

#include <cstddef>
#include <string>

#include "product/download_context.h"
#include "product/run_mode.h"
#include "product/setup_choices.h"

// Widths of the texts of a run: every read from a control or the system is bounded to the width of its
// field, terminating NUL included.
inline constexpr std::size_t kStartDirectoryWidth = 256;
inline constexpr std::size_t kHostsWidth = 256;
inline constexpr std::size_t kProxyServerWidth = 256;
inline constexpr std::size_t kSqlPasswordWidth = 64;
inline constexpr std::size_t kClientDirectoryWidth = 256;
inline constexpr std::size_t kServerDirectoryWidth = 280;

// Progress weights of the steps of a run, set when a run starts.
struct ProgressWeights {
  double clientRuntime = 0;
  double clientPackage = 0;
  double serverDownload = 0;
  double serverExtract = 0;
  double sqlDownload = 0;
  double website = 0;
};

// A run of the setup as the components see it: its context and package source, the run mode, the choices
// and what was detected before the first change, and the progress weights of its steps.
struct SetupState : DownloadContext {
  using DownloadContext::DownloadContext;

  RunMode runMode = RunMode::none;
  // The choices of the run. The steps keep the directories in the form they installed to (with a
  // trailing backslash), and maintenance reads them back from the registry.
  SetupChoices choices;
  // SQL Server Express is to be installed: chosen, and no SQL Server instance was found.
  bool installSqlExpress = false;
  // SQL Server instances were found without the SQL Server Native Client: the server update installs it.
  bool nativeClientMissing = false;

  ProgressWeights steps;
};
