#include "cluster/hand_off.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <utility>

namespace {

struct RowKeyHash {
  std::size_t operator()(const std::pair<int32_t, std::string_view>& key) const {
    return std::hash<std::string_view>()(key.second) * 31 + std::hash<int32_t>()(key.first);
  }
};

// Appends `later` to `rows`, keeping one row per (team, kind): the latest.
void CoalesceInto(std::vector<CountRow>& rows, std::vector<CountRow>&& later) {
  // The index holds views of the kinds in `rows`: no reallocation may follow its making.
  rows.reserve(rows.size() + later.size());
  std::unordered_map<std::pair<int32_t, std::string_view>, std::size_t, RowKeyHash> index;
  index.reserve(rows.size() + later.size());
  for (std::size_t i = 0; i < rows.size(); ++i) index[{rows[i].team, rows[i].kind}] = i;
  for (auto& row : later) {
    const auto found = index.find({row.team, row.kind});
    if (found != index.end()) {
      rows[found->second].count = row.count;
    } else {
      rows.push_back(std::move(row));
      index.emplace(std::pair<int32_t, std::string_view>(rows.back().team, rows.back().kind),
                    rows.size() - 1);
    }
  }
}

void DropMap(std::vector<MapUpdate>& maps, const std::string& name) {
  std::erase_if(maps, [&](const MapUpdate& update) { return update.map == name; });
}

}  // namespace

void Outgoing::Append(Outgoing&& later) {
  if (later.snapshot) {
    snapshot = std::move(later.snapshot);
    changes = std::move(later.changes);
  } else if (changes.empty()) {
    changes = std::move(later.changes);
  } else {
    changes.insert(changes.end(), std::make_move_iterator(later.changes.begin()),
                   std::make_move_iterator(later.changes.end()));
  }
  forgets.insert(forgets.end(), std::make_move_iterator(later.forgets.begin()),
                 std::make_move_iterator(later.forgets.end()));
  seq = std::max(seq, later.seq);
  sync_request = std::max(sync_request, later.sync_request);
}

void MergeRead(ReadResult& into, ReadResult&& next) {
  if (next.complete) {
    into = std::move(next);
    return;
  }
  for (auto& name : next.forgotten) {
    DropMap(into.maps, name);
    if (std::find(into.forgotten.begin(), into.forgotten.end(), name) == into.forgotten.end()) {
      into.forgotten.push_back(std::move(name));
    }
  }
  for (auto& update : next.maps) {
    const auto found = std::find_if(into.maps.begin(), into.maps.end(),
                                    [&](const MapUpdate& u) { return u.map == update.map; });
    if (found == into.maps.end()) {
      into.maps.push_back(std::move(update));
    } else if (update.replace_all) {
      *found = std::move(update);
    } else {
      found->version = update.version;
      if (update.last_write) found->last_write = update.last_write;
      CoalesceInto(found->rows, std::move(update.rows));
    }
  }
}

// ---- Game thread.

uint64_t HandOff::Post(std::span<const CountRow> rows) {
  if (rows.empty()) return seq_;
  local_.changes.insert(local_.changes.end(), rows.begin(), rows.end());
  local_.seq = ++seq_;
  Flush();
  return seq_;
}

uint64_t HandOff::PostSnapshot(std::vector<CountRow> rows) {
  local_.snapshot = std::move(rows);
  local_.changes.clear();
  local_.seq = ++seq_;
  snapshot_wanted_seen_ = false;
  Flush();
  return seq_;
}

uint64_t HandOff::RequestSync() {
  local_.sync_request = ++request_;
  Flush();
  return request_;
}

void HandOff::Forget(std::string map) {
  MergeRead(local_read_, ReadResult{.forgotten = {map}});
  local_.forgets.push_back(std::move(map));
  local_.seq = ++seq_;
  Flush();
}

bool HandOff::Flush() {
  if (local_.empty()) return true;
  std::unique_lock lock(mutex_, std::try_to_lock);
  if (!lock.owns_lock()) return false;
  const bool urgent = local_.sync_request != 0 || !local_.forgets.empty() || local_.snapshot ||
                      (wake_on_changes_ && !local_.changes.empty());
  shared_out_.Append(std::move(local_));
  shared_rows_seen_ = shared_out_.rows();
  local_ = Outgoing();
  lock.unlock();
  if (urgent) wake_.notify_one();
  return true;
}

ReadResult HandOff::TakeRead() {
  ReadResult taken;
  if (read_ready_.load(std::memory_order_acquire)) {
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (lock.owns_lock()) {
      taken = std::move(shared_read_);
      shared_read_ = ReadResult();
      read_ready_.store(false, std::memory_order_relaxed);
    }
  }
  if (!local_read_.empty()) {
    // What Forget dropped comes after what the worker read before it took the forget.
    MergeRead(taken, std::move(local_read_));
    local_read_ = ReadResult();
  }
  return taken;
}

bool HandOff::TakeNotes(std::vector<LogLine>& lines) {
  if (notes_ready_.load(std::memory_order_acquire)) {
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (lock.owns_lock()) {
      std::move(shared_lines_.begin(), shared_lines_.end(), std::back_inserter(lines));
      shared_lines_.clear();
      if (snapshot_wanted_) snapshot_wanted_seen_ = true;
      snapshot_wanted_ = false;
      notes_ready_.store(false, std::memory_order_relaxed);
    }
  }
  return snapshot_wanted_seen_;
}

const WorkerStatus& HandOff::Status() {
  Flush();
  std::unique_lock lock(mutex_, std::try_to_lock);
  if (lock.owns_lock()) {
    if (status_changed_) status_seen_ = shared_status_;
    status_changed_ = false;
    shared_rows_seen_ = shared_out_.rows();
  }
  return status_seen_;
}

// ---- Game thread, stopping.

void HandOff::FlushAndStop() {
  {
    std::lock_guard lock(mutex_);
    shared_out_.Append(std::move(local_));
    local_ = Outgoing();
    stopping_.store(true, std::memory_order_release);
  }
  wake_.notify_all();
}

bool HandOff::WaitDone(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  return done_cv_.wait_until(lock, deadline, [&] { return done_; });
}

std::vector<LogLine> HandOff::TakeLinesBlocking() {
  std::lock_guard lock(mutex_);
  notes_ready_.store(false, std::memory_order_relaxed);
  return std::exchange(shared_lines_, {});
}

// ---- Worker thread.

void HandOff::Sleep(std::chrono::steady_clock::time_point deadline, bool on_changes) {
  std::unique_lock lock(mutex_);
  wake_on_changes_ = on_changes;
  wake_.wait_until(lock, deadline, [&] {
    return stopping_.load(std::memory_order_relaxed) || shared_out_.sync_request != 0 ||
           !shared_out_.forgets.empty() || shared_out_.snapshot ||
           (on_changes && !shared_out_.changes.empty());
  });
  wake_on_changes_ = false;
}

Outgoing HandOff::TakeOutgoing() {
  std::lock_guard lock(mutex_);
  Outgoing taken = std::move(shared_out_);
  shared_out_ = Outgoing();
  for (const auto& name : taken.forgets) {
    // The game has dropped these already; what was read of them before must not bring them back.
    DropMap(shared_read_.maps, name);
  }
  return taken;
}

void HandOff::Give(ReadResult&& read) {
  if (read.empty()) return;
  std::lock_guard lock(mutex_);
  MergeRead(shared_read_, std::move(read));
  read_ready_.store(true, std::memory_order_release);
}

void HandOff::GiveLine(LogLine line) {
  std::lock_guard lock(mutex_);
  shared_lines_.push_back(std::move(line));
  notes_ready_.store(true, std::memory_order_release);
}

void HandOff::WantSnapshot() {
  std::lock_guard lock(mutex_);
  snapshot_wanted_ = true;
  notes_ready_.store(true, std::memory_order_release);
}

void HandOff::Publish(const WorkerStatus& status) {
  std::lock_guard lock(mutex_);
  shared_status_ = status;
  status_changed_ = true;
}

void HandOff::MarkDone() {
  {
    std::lock_guard lock(mutex_);
    done_ = true;
  }
  finished_.store(true, std::memory_order_release);
  done_cv_.notify_all();
}
