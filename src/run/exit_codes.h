#pragma once

#include <cstdint>

// The exit codes of the setup, as software distribution tools read them.
inline constexpr std::uint32_t kExitSuccess = 0;
inline constexpr std::uint32_t kExitRestartNeeded = 3010;    // ERROR_SUCCESS_REBOOT_REQUIRED
inline constexpr std::uint32_t kExitComponentFailed = 1603;  // ERROR_INSTALL_FAILURE
inline constexpr std::uint32_t kExitCancelled = 1602;        // ERROR_INSTALL_USEREXIT
inline constexpr std::uint32_t kExitAnotherSetup = 1618;     // ERROR_INSTALL_ALREADY_RUNNING
inline constexpr std::uint32_t kExitInvalidArguments = 87;   // ERROR_INVALID_PARAMETER

// The exit code of a run that went to its end: a component that failed or was not installed outweighs a
// restart, which outweighs success.
constexpr std::uint32_t CompletedRunExitCode(bool componentFailed, bool restartNeeded) {
  if (componentFailed) {
    return kExitComponentFailed;
  }
  return restartNeeded ? kExitRestartNeeded : kExitSuccess;
}
