#include "platform/win32/win32_event_log.h"

#include <windows.h>

#include <cstdint>

namespace {

HANDLE ToSource(EventSourceHandle source) {
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(source));
}

}  // namespace

static_assert(EventLog::kError == EVENTLOG_ERROR_TYPE && EventLog::kWarning == EVENTLOG_WARNING_TYPE &&
              EventLog::kInformation == EVENTLOG_INFORMATION_TYPE);

EventSourceHandle Win32EventLog::Register(const std::u16string& source) {
  const HANDLE handle = RegisterEventSourceW(nullptr, reinterpret_cast<const wchar_t*>(source.c_str()));
  return static_cast<EventSourceHandle>(reinterpret_cast<std::uintptr_t>(handle));
}

bool Win32EventLog::Report(EventSourceHandle source, std::uint16_t type, std::uint32_t eventId,
                           const std::vector<std::u16string>& strings) {
  std::vector<const wchar_t*> texts;
  texts.reserve(strings.size());
  for (const std::u16string& text : strings) {
    texts.push_back(reinterpret_cast<const wchar_t*>(text.c_str()));
  }
  return ReportEventW(ToSource(source), type, 0, eventId, nullptr, static_cast<WORD>(texts.size()), 0,
                      texts.empty() ? nullptr : texts.data(), nullptr) != FALSE;
}

bool Win32EventLog::Deregister(EventSourceHandle source) {
  return DeregisterEventSource(ToSource(source)) != FALSE;
}
