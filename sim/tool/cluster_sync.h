#pragma once

#include <chrono>
#include <string>

namespace sim::tool {

struct ScriptContext;

// What a map waits for: to be in sync, or (after the database was stopped) to have found it
// unreachable.
enum class SyncGoal { kInSync, kUnreachable };

// What one map's sync came to.
struct SyncOutcome {
  enum class State {
    kReached,   // the goal: in sync (every change written, the others' read since), or unreachable
    kNothing,   // no plug-in loaded, or it runs without a cluster
    kTimedOut,  // the goal not reached within the time given
  };
  SyncGoal goal;
  State state;
  std::string status;  // kReached: "in sync" or the status line; else why, or the last status line

  // The text of the `sync` line's event, or of its error.
  std::string Describe(int seconds) const;
};

// Asks the plug-in for an immediate exchange with the database (`tw.cluster sync` on the console,
// as an admin types it; over RCON without a living player), then asks `tw.cluster` about every
// 15 ms of real time until its first line says "in sync" (or "unreachable since"), for at most
// `limit`. The questions and their answers are not reported; an exception that escapes into the
// game still is.
SyncOutcome SyncCluster(ScriptContext& context, std::chrono::milliseconds limit,
                        SyncGoal goal = SyncGoal::kInSync);

}  // namespace sim::tool
