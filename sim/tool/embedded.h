#pragma once

// Files from examples/, built into the tool so that it runs wherever it is copied.
namespace sim::tool {

extern const char kDefaultWorld[];   // examples/default_world.tws
extern const char kDefaultConfig[];  // examples/config.json
extern const char kCreatures[];      // examples/creatures.tsv
extern const char kItems[];          // examples/items.tsv

}  // namespace sim::tool
