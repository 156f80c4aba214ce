#pragma once

#include <atomic>
#include <charconv>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/framework/event_kinds.h"

namespace sim {

// A float member of an event: the double of the float's shortest decimal form, so that 1.2f is
// written 1.2 rather than as the double nearest the float, 1.2000000476837158.
inline nlohmann::json EventFloat(float value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  double shortest = value;
  std::from_chars(text, end, shortest);
  return shortest;
}

// What the stand-in game observed, in order: each event is a JSON object whose "event" member
// names its kind (see event_kinds.h). Tests assert on it; the tool prints it.
class EventLog {
 public:
  using Listener = std::function<void(const nlohmann::json&)>;

  // Records {"event": the kind's name, "line": the script line, ...fields}; fields must be an
  // object, and a "line" among them wins.
  void Add(EventKind kind, nlohmann::json fields = nlohmann::json::object());

  const std::vector<nlohmann::json>& all() const { return events_; }
  // The events of one kind, by its name, in order.
  std::vector<nlohmann::json> Of(std::string_view kind) const;
  void Clear() { events_.clear(); }
  // Forgets the events from index `from` on, such as those of questions asked quietly.
  void EraseFrom(std::size_t from) {
    if (from < events_.size()) events_.resize(from);
  }
  // Called with every event as it is added, such as to print it at once. Returns the one it
  // replaces, so that a caller can silence the log for a while and put it back.
  Listener SetListener(Listener listener) { return std::exchange(listener_, std::move(listener)); }

  // The script line being run, reported with every event; 0 outside a script. The plug-in may log
  // from its own threads, which read it.
  std::atomic<int> line = 0;

 private:
  std::vector<nlohmann::json> events_;
  Listener listener_;
};

}  // namespace sim
