#pragma once

#include <chrono>
#include <string>

namespace sim::tool {

struct ScriptContext;

// What one map's sync came to.
struct SyncOutcome {
  enum class State {
    kInSync,    // the plug-in wrote every change and read the others' since
    kNothing,   // no plug-in loaded, or it runs without a cluster
    kTimedOut,  // not in sync within the time given
  };
  State state;
  std::string status;  // kInSync: "in sync"; else why, or the plug-in's last status line

  // The text of the `sync` line's event, or of its error.
  std::string Describe(int seconds) const;
};

// Asks the plug-in for an immediate exchange with the database (`tw.cluster sync` on the console,
// as an admin types it; over RCON when the world has no player), then asks `tw.cluster` about every
// 15 ms of real time until its first line says "in sync", for at most `limit`. The questions and
// their answers are not reported; an exception that escapes into the game still is.
SyncOutcome SyncCluster(ScriptContext& context, std::chrono::milliseconds limit);

}  // namespace sim::tool
