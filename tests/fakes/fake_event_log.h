#pragma once

#include <string>
#include <vector>

#include "platform/event_log.h"

// The Application log: every event reported, in order. As Windows, a source need not be registered to
// write (its events then have no message); a handle must be one this log gave out and not yet handed back.
class FakeEventLog final : public EventLog {
 public:
  struct Event {
    std::u16string source;
    std::uint16_t type;
    std::uint32_t id;
    std::vector<std::u16string> strings;
  };
  EventSourceHandle Register(const std::u16string& source) override;
  bool Report(EventSourceHandle source, std::uint16_t type, std::uint32_t eventId,
              const std::vector<std::u16string>& strings) override;
  bool Deregister(EventSourceHandle source) override;

  std::vector<Event> events;
  // Sources registered and not yet deregistered, by handle.
  std::vector<std::pair<EventSourceHandle, std::u16string>> open;

 private:
  std::uintptr_t next_ = 0x100;
};
