#pragma once

#include <utility>

#include "platform/cabinet.h"
#include "platform/event_log.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/http.h"
#include "platform/installer_database.h"
#include "platform/processes.h"
#include "platform/registry.h"

// Owned handles of the ports: each closes its handle through its port when it goes, so no step closes a
// handle by hand and none is left open on an early return. `Close` closes at a chosen moment and says
// whether the port's close call succeeded.

inline bool IsOpenHandle(RegistryKey key) {
  return key != RegistryKey::none;
}
inline bool IsOpenHandle(FileHandle file) {
  return file != FileHandle::none && file != FileHandle::invalid;
}
inline bool IsOpenHandle(InternetHandle handle) {
  return handle != InternetHandle::none;
}
inline bool IsOpenHandle(ProcessHandle process) {
  return process != ProcessHandle::none;
}
inline bool IsOpenHandle(MsiHandle handle) {
  return handle != MsiHandle::none;
}
inline bool IsOpenHandle(CabinetContext context) {
  return context != CabinetContext::none;
}

inline bool IsOpenHandle(EventSourceHandle source) {
  return source != EventSourceHandle::none;
}
inline bool ClosePortHandle(EventLog& log, EventSourceHandle source) {
  return log.Deregister(source);
}
inline bool ClosePortHandle(Registry& registry, RegistryKey key) {
  return registry.CloseKey(key) == Registry::kSuccess;
}
inline bool ClosePortHandle(Files& files, FileHandle file) {
  return files.Close(file);
}
inline bool ClosePortHandle(Http& http, InternetHandle handle) {
  return http.Close(handle);
}
inline bool ClosePortHandle(Processes& processes, ProcessHandle process) {
  processes.Close(process);
  return true;
}
// An end of an output pipe.
inline bool ClosePortHandle(Processes& processes, FileHandle end) {
  processes.ClosePipeEnd(end);
  return true;
}
inline bool ClosePortHandle(InstallerDatabase& database, MsiHandle handle) {
  return database.Close(handle) == 0;
}
inline bool ClosePortHandle(Cabinet& cabinet, CabinetContext context) {
  return cabinet.Destroy(context);
}

template <typename Port, typename Handle>
class UniquePortHandle {
 public:
  explicit UniquePortHandle(Port& port, Handle handle = Handle::none) : port_(&port), handle_(handle) {}
  ~UniquePortHandle() { Close(); }
  UniquePortHandle(const UniquePortHandle&) = delete;
  UniquePortHandle& operator=(const UniquePortHandle&) = delete;
  UniquePortHandle(UniquePortHandle&& other) noexcept
      : port_(other.port_), handle_(std::exchange(other.handle_, Handle::none)) {}
  UniquePortHandle& operator=(UniquePortHandle&& other) noexcept {
    if (this != &other) {
      Close();
      port_ = other.port_;
      handle_ = std::exchange(other.handle_, Handle::none);
    }
    return *this;
  }

  Handle get() const { return handle_; }
  bool IsOpen() const { return IsOpenHandle(handle_); }
  // Where an opening call writes the new handle; what was held before is closed first.
  Handle& Receive() {
    Close();
    return handle_;
  }
  // Closes what is held (true when nothing was held) and holds nothing afterwards.
  bool Close() {
    const Handle handle = std::exchange(handle_, Handle::none);
    return !IsOpenHandle(handle) || ClosePortHandle(*port_, handle);
  }

 private:
  Port* port_;
  Handle handle_;
};

using UniqueKey = UniquePortHandle<Registry, RegistryKey>;
using UniqueFile = UniquePortHandle<Files, FileHandle>;
using UniqueInternet = UniquePortHandle<Http, InternetHandle>;
using UniqueProcess = UniquePortHandle<Processes, ProcessHandle>;
using UniqueCabinetContext = UniquePortHandle<Cabinet, CabinetContext>;
using UniqueMsiHandle = UniquePortHandle<InstallerDatabase, MsiHandle>;
using UniquePipeEnd = UniquePortHandle<Processes, FileHandle>;
using UniqueEventSource = UniquePortHandle<EventLog, EventSourceHandle>;
