#pragma once

#include "platform/cabinet.h"
#include "platform/crypto.h"
#include "platform/dialog_view.h"
#include "platform/event_log.h"
#include "platform/features.h"
#include "platform/files.h"
#include "platform/http.h"
#include "platform/iis.h"
#include "platform/installer_database.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/runtime.h"
#include "platform/shell.h"
#include "platform/wmi.h"

// The Windows machine as the system's logic reaches it: one reference per service family. The exe hands
// in the Windows adapters, the host tests an in-memory machine.
struct Machine {
  Runtime& runtime;
  Files& files;
  DialogView& dialogs;
  Registry& registry;
  Wmi& wmi;
  Http& http;
  Shell& shell;
  Processes& processes;
  Cabinet& cabinet;
  Iis& iis;
  Features& features;
  Crypto& crypto;
  InstallerDatabase& installerDatabase;
  EventLog& eventLog;
};
