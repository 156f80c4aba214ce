#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cluster/backend.h"
#include "cluster/hand_off.h"

// The thread that keeps this map's counts in the cluster's database and reads the other maps'
// counts from it. Every call to the database is made on it; the game thread only hands changes
// over and takes results through a HandOff, and never waits for it (but in Stop, bounded).

struct ClusterParams {
  ConnectionParams connection;
  // Between a write-and-read and the next; changes handed over meanwhile are written at once.
  std::chrono::milliseconds sync_interval{500};
  std::chrono::milliseconds backoff_first{500};  // before the first reconnect, then doubled
  std::chrono::milliseconds backoff_max{30000};
  std::chrono::milliseconds stop_bound{2000};  // the longest Stop takes
  std::size_t batch_rows = 500;                // rows per write of changes

  bool operator==(const ClusterParams&) const = default;
};

// What the worker asks of the game thread, called on it.
struct SyncHooks {
  // This map's whole state (every team's kinds and total), or nothing when it is not known yet:
  // asked again at the next timer. Required.
  std::function<std::optional<std::vector<CountRow>>()> snapshot;
  // Writes one of the worker's log lines. The worker never logs itself: the logger and the
  // framework's sinks are the game thread's.
  std::function<void(const LogLine&)> log;
};

// For the status command.
struct ClusterStatus {
  LinkState state = LinkState::kConnecting;
  std::chrono::system_clock::time_point since;  // unreachable since
  std::string reason;                           // why unreachable
  // Every change posted is written, the snapshot asked after a connect too, and a read begun
  // after the latest RequestSync has finished.
  bool in_sync = false;
  std::size_t changes_to_write = 0;  // rows, before coalescing of those the worker has not taken
  std::vector<MapInfo> maps;         // in name order, this map among them
};

// "connecting", "connected, in sync", "connected, N changes to write" or
// "unreachable since TIME: REASON" (TIME in local time, "YYYY-MM-DD HH:MM:SS").
std::string DescribeState(const ClusterStatus& status);

class SyncWorker {
 public:
  // The least time between two writes of changes (or the interval, when shorter).
  static constexpr std::chrono::milliseconds kChangesGap{20};

  // Starts the thread, which connects at once.
  SyncWorker(ClusterParams params, std::unique_ptr<ClusterBackend> backend, SyncHooks hooks);
  ~SyncWorker();  // Stop()
  SyncWorker(const SyncWorker&) = delete;
  SyncWorker& operator=(const SyncWorker&) = delete;

  const ClusterParams& params() const { return params_; }

  // ---- Game thread; none of these waits for the worker.

  // This map's counts that changed, as absolute values; written at the next interval, coalesced
  // per (team, kind) with the latest winning.
  void PostChanges(std::span<const CountRow> rows);
  // This map's whole state, in place of every change posted before: rows it once wrote and that
  // are not among `rows` go.
  void PostState(std::vector<CountRow> rows) { hand_off_.PostSnapshot(std::move(rows)); }
  // At the framework's timer: passes what waits, answers the worker's request for a snapshot,
  // writes the worker's log lines.
  void OnTimer();
  // The other maps' counts read since the last call (empty when none): at the timer and before
  // each check. Costs one atomic load when nothing is waiting.
  ReadResult TakeIncoming() { return hand_off_.TakeRead(); }
  template <typename Apply>
  void Drain(Apply&& apply) {
    ReadResult read = hand_off_.TakeRead();
    if (!read.empty()) apply(read);
  }
  // Asks for an immediate write and read; Status says in sync only once every change posted
  // before is written and a read begun after has finished. Returns the request's number.
  uint64_t RequestSync();
  // Deletes another map's rows (false for this map's own name); the next TakeIncoming drops it.
  bool Forget(std::string map);
  ClusterStatus Status();

  // Asks the thread to stop, as Stop does, without waiting: it writes what is pending and ends.
  void RequestStop() { hand_off_.FlushAndStop(); }
  // The thread has ended (Stop then joins at once).
  bool Finished() const { return hand_off_.finished(); }

  // Stops the thread: writes what is pending while the database answers, interrupts the
  // backend when the bound is near, and joins. Returns within params().stop_bound, provided
  // the backend honours Interrupt. Idempotent.
  void Stop();

 private:
  using RowKey = std::pair<int32_t, std::string>;
  struct KnownMap {
    int64_t version = 0;
    std::unordered_map<int32_t, int32_t> totals;  // team -> creatures
    std::optional<std::chrono::system_clock::time_point> last_write;
  };

  // Worker thread.
  // The thread's body: Loop, and a line when it ends by an exception.
  void Run();
  void Loop();
  void Stopped(std::string_view why) noexcept;
  // Takes what the game handed over; true when it asks for a write-and-read at once (a sync
  // request, a snapshot or a forget).
  bool Take();
  // Writes what is pending; Cycle writes it and reads the other maps.
  bool WriteChanges();
  bool Cycle();
  bool WriteAll();
  void Absorb(ReadResult& read);
  void Lost(std::string reason);
  void PublishStatus();
  template <typename Call>
  Outcome Safely(Call&& call);

  const ClusterParams params_;
  const std::unique_ptr<ClusterBackend> backend_;
  const SyncHooks hooks_;
  HandOff hand_off_;

  // Worker thread only.
  bool connected_ = false;
  bool need_full_read_ = true;
  bool snapshot_outstanding_ = false;
  std::optional<std::vector<CountRow>> snapshot_;
  std::map<RowKey, int32_t> pending_;  // coalesced changes
  std::vector<std::string> pending_forgets_;
  uint64_t taken_seq_ = 0;
  uint64_t request_taken_ = 0;
  std::string failure_;  // the reason of the latest failed call
  WorkerStatus status_;
  std::map<std::string, KnownMap> known_;  // other maps
  std::unordered_map<int32_t, int32_t> self_totals_;
  std::optional<std::chrono::system_clock::time_point> self_last_write_;

  std::thread thread_;  // last: starts once the rest is made
};

// Game thread, at load and reload: keeps `worker` when `params` equal its own, else asks it to
// stop, moves it to `retiring` (to be joined once Finished, or by Stop) and starts a new one with
// a backend from `make_backend` (none for no params). Never waits. True when the other maps'
// counts known so far no longer apply (the database or the cluster changed, or ended).
bool ReplaceWorker(std::unique_ptr<SyncWorker>& worker,
                   std::vector<std::unique_ptr<SyncWorker>>& retiring,
                   const std::optional<ClusterParams>& params,
                   const std::function<std::unique_ptr<ClusterBackend>()>& make_backend,
                   SyncHooks hooks);

// `when` in local time, "YYYY-MM-DD HH:MM:SS".
std::string LocalTimeText(std::chrono::system_clock::time_point when);
