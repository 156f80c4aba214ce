#pragma once

#include <functional>

namespace sim::tool {

// What the game thread does while it waits for the next script line: it serves commands that
// came in over the network, and it watches for a request to end.
struct Idle {
  std::function<bool()> has_work;  // something waits to run on the game thread
  std::function<void()> serve;     // runs it; may print events
  std::function<bool()> stop;      // the server was asked to end (SIGINT, SIGTERM)
};

}  // namespace sim::tool
