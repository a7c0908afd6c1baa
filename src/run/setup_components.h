#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "run/run_events.h"
#include "steps/client/client_setup.h"
#include "steps/download/download_status_store.h"
#include "steps/server/server_setup.h"
#include "steps/sql/sql_server_setup.h"

// The step objects of a setup, made in this order before the program starts. The server keeps a reference
// to the download record it writes to; it does not use it while it is made.
struct SetupComponents {
  explicit SetupComponents(SetupState& state)
      : server(state, downloadStatus), sql(state), client(state), downloadStatus(state) {}

  ServerSetup server;
  SqlServerSetup sql;
  ClientSetup client;
  DownloadStatusStore downloadStatus;
};

// How a run ends: the process's exit code and, for a run that went to its end, its last log line and the
// completion box.
struct RunEnd {
  std::uint32_t exitCode = 0;
  const char* logLine = nullptr;
  const char* completion = nullptr;
  // What the run could not install, in a line after the last line and below the completion text; empty
  // when everything asked for is in place.
  std::string shortfall;
  // How each component of the run ended, for the Application log.
  std::vector<ComponentEvent> events = {};
};

// Which of the server steps of a run put their component in place (a step not asked for counts as done).
struct SetupOutcome {
  bool clientInstalled = true;
  bool serverInstalled = true;
  bool sqlServerInstalled = true;
  // The shared part (the setup program's copy) was committed with the first component that was.
  bool sharedCommitted = false;
};
