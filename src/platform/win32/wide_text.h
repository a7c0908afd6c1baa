#pragma once

#include <optional>
#include <string>
#include <string_view>

// Conversions between ANSI texts and the UTF-16 texts of Windows calls, with the ANSI code page.
std::optional<std::wstring> AnsiToWideText(std::string_view text);
std::optional<std::string> WideToAnsiText(std::wstring_view text);
