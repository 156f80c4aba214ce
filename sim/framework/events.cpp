#include "sim/framework/events.h"

#include <string>

namespace sim {

void EventLog::Add(EventKind kind, nlohmann::json fields) {
  nlohmann::json event = {{"event", std::string(EventName(kind))}, {"line", line.load()}};
  event.update(fields);
  events_.push_back(std::move(event));
  if (listener_) listener_(events_.back());
}

std::vector<nlohmann::json> EventLog::Of(std::string_view kind) const {
  std::vector<nlohmann::json> found;
  for (const auto& event : events_) {
    if (event["event"] == kind) found.push_back(event);
  }
  return found;
}

}  // namespace sim
