#pragma once

#include "platform/machine.h"
#include "platform/win32/win32_cabinet.h"
#include "platform/win32/win32_crypto.h"
#include "platform/win32/win32_dialog_view.h"
#include "platform/win32/win32_event_log.h"
#include "platform/win32/win32_features.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_http.h"
#include "platform/win32/win32_iis.h"
#include "platform/win32/win32_installer_database.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_runtime.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/win32_wmi.h"

// The real Windows machine: one adapter per port.
class Win32Machine {
 public:
  explicit Win32Machine(HINSTANCE__* instance) : dialogs_(instance) {}

  Machine& machine() { return machine_; }

 private:
  Win32Runtime runtime_;
  Win32Files files_;
  Win32DialogView dialogs_;
  Win32Registry registry_;
  Win32Wmi wmi_;
  Win32Http http_;
  Win32Shell shell_;
  Win32Processes processes_;
  Win32Cabinet cabinet_;
  Win32Iis iis_;
  Win32Features features_;
  Win32Crypto crypto_;
  Win32InstallerDatabase installerDatabase_;
  Win32EventLog eventLog_;
  Machine machine_{runtime_,  files_,  dialogs_,           registry_, wmi_,
                   http_,     shell_,  processes_,         cabinet_,  iis_,
                   features_, crypto_, installerDatabase_, eventLog_};
};
