#pragma once

#include "fake_cabinet.h"
#include "fake_crypto.h"
#include "fake_dialog_view.h"
#include "fake_event_log.h"
#include "fake_features.h"
#include "fake_files.h"
#include "fake_http.h"
#include "fake_iis.h"
#include "fake_installer_database.h"
#include "fake_processes.h"
#include "fake_registry.h"
#include "fake_runtime.h"
#include "fake_shell.h"
#include "fake_wmi.h"
#include "platform/machine.h"

// The in-memory Windows machine of the host tests: one fake per port, reachable by name for setting up
// and checking, and bundled as the Machine the system's logic takes. A new port adds its fake member and
// its reference in `machine`.
struct FakeMachine {
  FakeMachine() {
    shell.disk = &files;
    crypto.disk = &files;
    files.enabledPrivileges = &runtime.enabledPrivileges;
    runtime.machine = &machine;
  }
  FakeMachine(const FakeMachine&) = delete;
  FakeMachine& operator=(const FakeMachine&) = delete;

  FakeRuntime runtime;
  FakeFiles files;
  FakeDialogView dialogs;
  FakeRegistry registry;
  FakeWmi wmi;
  FakeHttp http;
  FakeShell shell;
  FakeProcesses processes;
  FakeCabinet cabinet;
  FakeIis iis;
  FakeFeatures features;
  FakeCrypto crypto;
  FakeInstallerDatabase installerDatabase;
  FakeEventLog eventLog;

  // Has `hook` called after every change to the machine: files, folders, keys, values, shortcuts, the IIS
  // configuration and programs started.
  void OnEachChange(const std::function<void()>& hook) {
    files.changed = hook;
    registry.changed = hook;
    shell.changed = hook;
    iis.changed = hook;
    processes.changed = hook;
  }

  Machine machine{runtime, files,    dialogs, registry,          wmi,     http, shell, processes, cabinet,
                  iis,     features, crypto,  installerDatabase, eventLog};
};
