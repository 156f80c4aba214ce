#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cluster/backend.h"

// The one place where the game thread and the sync worker meet. The game thread's calls never
// wait: each keeps what it could not pass in a local buffer and passes it at its next try (a
// try_lock); the worker holds the lock only to swap buffers, never across a call to the
// database.

// What the game thread hands the worker, in order.
struct Outgoing {
  // This map's whole state; it supersedes every change handed over before it.
  std::optional<std::vector<CountRow>> snapshot;
  std::vector<CountRow> changes;     // after the snapshot, in order, not yet coalesced
  std::vector<std::string> forgets;  // other maps whose rows go
  uint64_t seq = 0;                  // the sequence number of the latest item in it
  uint64_t sync_request = 0;         // the latest sync request in it, 0 for none

  bool empty() const {
    return !snapshot && changes.empty() && forgets.empty() && sync_request == 0;
  }
  std::size_t rows() const { return (snapshot ? snapshot->size() : 0) + changes.size(); }
  // Adds what was handed over after this.
  void Append(Outgoing&& later);
};

struct LogLine {
  enum class Level { kInfo, kWarning, kError };
  Level level = Level::kInfo;
  std::string text;
  bool operator==(const LogLine&) const = default;
};

// Applies `next` after `into`, so that applying the result equals applying both in turn. Change
// rows are coalesced per (team, kind), the latest winning.
void MergeRead(ReadResult& into, ReadResult&& next);

enum class LinkState { kConnecting, kConnected, kUnreachable };

// What is known of one map of the cluster.
struct MapInfo {
  std::string name;
  bool self = false;  // this map
  int32_t teams = 0;  // teams with creatures there
  int64_t creatures = 0;
  std::optional<std::chrono::system_clock::time_point> last_write;
  bool operator==(const MapInfo&) const = default;
};

// The worker's state as it last published it.
struct WorkerStatus {
  LinkState state = LinkState::kConnecting;
  std::chrono::system_clock::time_point since;  // unreachable since
  std::string reason;                           // why unreachable
  uint64_t written_seq = 0;           // every change with a sequence number up to this is written
  uint64_t read_for_request = 0;      // the latest sync request that a finished read began after
  std::size_t unwritten_rows = 0;     // rows the worker holds, not yet written
  bool snapshot_outstanding = false;  // asked the game for its whole state, not yet written
  std::vector<MapInfo> maps;          // in name order
};

class HandOff {
 public:
  // ---- Game thread: never waits.

  // Changes of this map's counts (absolute values). Returns their sequence number.
  uint64_t Post(std::span<const CountRow> rows);
  // This map's whole state, answering the worker's request.
  uint64_t PostSnapshot(std::vector<CountRow> rows);
  // Asks for an immediate write and read. Returns the request's number.
  uint64_t RequestSync();
  // Another map's rows are to be deleted; its counts are dropped from the next TakeIncoming.
  void Forget(std::string map);
  // Passes what waits locally to the worker, when the lock is free. True when nothing waits.
  bool Flush();
  // Takes what the worker handed over (and what Forget added), when the lock is free. Empty
  // when there is nothing, cheaply.
  ReadResult TakeRead();
  // Takes the worker's log lines and whether it asks for a snapshot, when the lock is free.
  bool TakeNotes(std::vector<LogLine>& lines);
  // The worker's status as last seen; refreshed when the lock is free.
  const WorkerStatus& Status();

  uint64_t posted_seq() const { return seq_; }
  uint64_t last_request() const { return request_; }
  // Rows handed over (or waiting locally) that the worker has not taken yet.
  std::size_t untaken_rows() const { return local_.rows() + shared_rows_seen_; }

  // ---- Game thread, stopping: may wait for the lock (held only briefly).
  void FlushAndStop();
  // Waits until the worker is done, at most until `deadline`. True when it is.
  bool WaitDone(std::chrono::steady_clock::time_point deadline);
  // The worker has marked itself done.
  bool finished() const { return finished_.load(std::memory_order_acquire); }
  // Everything left for the game thread, whatever the lock.
  std::vector<LogLine> TakeLinesBlocking();

  // ---- Worker thread.

  // Sleeps until `deadline`, a sync request or stop; with `on_changes`, also until changes are
  // handed over.
  void Sleep(std::chrono::steady_clock::time_point deadline, bool on_changes = false);
  bool stopping() const { return stopping_.load(std::memory_order_acquire); }
  // Takes what the game thread handed over; drops the maps it forgets from what the game has
  // not taken yet.
  Outgoing TakeOutgoing();
  void Give(ReadResult&& read);
  void GiveLine(LogLine line);
  void WantSnapshot();
  void Publish(const WorkerStatus& status);
  void MarkDone();

 private:
  // Game side.
  Outgoing local_;
  ReadResult local_read_;  // from Forget
  uint64_t seq_ = 0;
  uint64_t request_ = 0;
  WorkerStatus status_seen_;
  std::size_t shared_rows_seen_ = 0;
  bool snapshot_wanted_seen_ = false;

  std::mutex mutex_;
  std::condition_variable wake_;  // the worker: a sync request or stop
  std::condition_variable done_cv_;
  // Under mutex_.
  Outgoing shared_out_;
  ReadResult shared_read_;
  std::vector<LogLine> shared_lines_;
  bool snapshot_wanted_ = false;
  bool wake_on_changes_ = false;  // the worker sleeps until changes come
  WorkerStatus shared_status_;
  bool status_changed_ = false;
  bool done_ = false;
  // Hints read without the lock, so that the game's checks cost one load when nothing waits.
  std::atomic<bool> read_ready_{false};
  std::atomic<bool> notes_ready_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> finished_{false};
};
