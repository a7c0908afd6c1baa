#pragma once

#include <cstdint>

#include "core/flags.h"

// The run mode taken from the command line; the maintenance dialog later replaces it with repair or
// uninstall.
enum class RunMode : std::uint32_t {
  none = 0,
  install = 0x1,
  repair = 0x2,
  uninstall = 0x4,
  modify = 0x8,
  modifyClient = 0x200,
  modifyServer = 0x400,
};
constexpr bool IsFlagSet(RunMode) {
  return true;
}

// Uninstall and repair are served by the maintenance dialog, every other mode by the main setup dialog.
constexpr bool UsesMaintenanceDialog(RunMode mode) {
  return HasAny(mode, RunMode::uninstall | RunMode::repair);
}
