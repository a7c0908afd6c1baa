#pragma once

#include <cstdint>

// Opaque Windows handles as the system's logic sees them: values to keep and pass back, never to look into.

// A window (HWND); `none` is the empty handle.
enum class WindowHandle : std::uintptr_t { none = 0 };

// A kernel file handle (HANDLE); `invalid` is INVALID_HANDLE_VALUE, the result of a failed create.
enum class FileHandle : std::uintptr_t { none = 0, invalid = UINTPTR_MAX };

// A WinHTTP handle (HINTERNET): session, connection or request.
enum class InternetHandle : std::uintptr_t { none = 0 };

// A GDI brush (HBRUSH).
enum class BrushHandle : std::uintptr_t { none = 0 };

// A device context (HDC) handed to a colour message.
enum class DeviceContext : std::uintptr_t { none = 0 };
