#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class Runtime;

// The command line is kept in 256 bytes, NUL included.
inline constexpr std::size_t kCommandLineWidth = 256;
// Exit code of a process that could not start COM or its security.
inline constexpr std::uint32_t kStartFailureExitCode = 1;

inline constexpr char kComStartFailed[] = "Failed to initialize COM library. Error code = 0x";
inline constexpr char kSecurityStartFailed[] = "Failed to initialize security.Error code = 0x";
// The dialog could not be created (no desktop to show it on, say); the error code follows in decimal.
inline constexpr char kNoWindow[] = "The setup window cannot be created. Error code = ";

// The command line as UTF-8, cut at a character boundary to fit kCommandLineWidth.
std::string BoundedCommandLine(Runtime& runtime, std::u16string_view commandLine);
