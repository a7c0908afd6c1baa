#pragma once

#include <optional>
#include <string>
#include <string_view>

// Conversions between the UTF-8 texts of the ports and the UTF-16 texts of Windows' wide calls. A text
// that is not valid (bytes that are no UTF-8, half a surrogate pair) gives nullopt: the adapter then makes
// no call with a mangled name and fails with ERROR_NO_UNICODE_TRANSLATION.
std::optional<std::wstring> Utf8ToWideText(std::string_view text);
std::optional<std::string> WideToUtf8Text(std::wstring_view text);
// A text in the ANSI code page of the system's locale (the one an editor or a cabinet maker wrote it in;
// the process's own CP_ACP is UTF-8 wherever the manifest's activeCodePage is granted) as UTF-8; nullopt
// when that code page has no character for a byte.
std::optional<std::string> SystemAnsiToUtf8Text(std::string_view text);
// The UTF-8 form of a NUL-terminated text Windows wrote; nullopt when it is not valid UTF-16.
std::optional<std::string> WideToUtf8Text(const wchar_t* text);
