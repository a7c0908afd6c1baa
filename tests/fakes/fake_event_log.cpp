#include "fake_event_log.h"

#include <algorithm>

EventSourceHandle FakeEventLog::Register(const std::u16string& source) {
  if (source.empty()) {
    return EventSourceHandle::none;
  }
  const auto handle = static_cast<EventSourceHandle>(next_++);
  open.emplace_back(handle, source);
  return handle;
}

bool FakeEventLog::Report(EventSourceHandle source, std::uint16_t type, std::uint32_t eventId,
                          const std::vector<std::u16string>& strings) {
  const auto found =
      std::find_if(open.begin(), open.end(), [source](const auto& entry) { return entry.first == source; });
  if (found == open.end() || (type != kError && type != kWarning && type != kInformation)) {
    return false;
  }
  events.push_back({found->second, type, eventId, strings});
  return true;
}

bool FakeEventLog::Deregister(EventSourceHandle source) {
  const auto found =
      std::find_if(open.begin(), open.end(), [source](const auto& entry) { return entry.first == source; });
  if (found == open.end()) {
    return false;
  }
  open.erase(found);
  return true;
}
