#pragma once

#include <windows.h>

#include <optional>
#include <string>

// FormatMessageW of an error code from the system, or from the message table of a module (when `module` is
// not null), as UTF-8; nullopt when neither has a text for it.
std::optional<std::string> SystemMessageText(DWORD code, HMODULE module);
