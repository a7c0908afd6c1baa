#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A registered event source of the Windows event log.
enum class EventSourceHandle : std::uintptr_t { none = 0 };

// The Windows event log, written through an event source whose messages the setup program carries in its
// message table. Texts are UTF-16.
class EventLog {
 public:
  // Event types of ReportEvent.
  static constexpr std::uint16_t kError = 1;        // EVENTLOG_ERROR_TYPE
  static constexpr std::uint16_t kWarning = 2;      // EVENTLOG_WARNING_TYPE
  static constexpr std::uint16_t kInformation = 4;  // EVENTLOG_INFORMATION_TYPE

  EventLog() = default;
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;
  virtual ~EventLog() = default;

  // RegisterEventSourceW on this machine; none when it fails.
  virtual EventSourceHandle Register(const std::u16string& source) = 0;
  // ReportEventW of one event with its inserted strings (%1, %2, ...), no category and no data.
  virtual bool Report(EventSourceHandle source, std::uint16_t type, std::uint32_t eventId,
                      const std::vector<std::u16string>& strings) = 0;
  // DeregisterEventSource.
  virtual bool Deregister(EventSourceHandle source) = 0;
};
