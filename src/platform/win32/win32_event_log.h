#pragma once

#include "platform/event_log.h"

class Win32EventLog final : public EventLog {
 public:
  EventSourceHandle Register(const std::u16string& source) override;
  bool Report(EventSourceHandle source, std::uint16_t type, std::uint32_t eventId,
              const std::vector<std::u16string>& strings) override;
  bool Deregister(EventSourceHandle source) override;
};
