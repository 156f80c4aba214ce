#include "cluster/sync_worker.h"

#include <algorithm>
#include <ctime>
#include <exception>
#include <iterator>

#include <fmt/format.h>

namespace {

using SteadyClock = std::chrono::steady_clock;

}  // namespace

std::string LocalTimeText(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm parts{};
  localtime_r(&seconds, &parts);
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
  return std::string(text, length);
}

namespace {

// Whether two configurations name the same cluster's rows.
bool SameCluster(const ConnectionParams& a, const ConnectionParams& b) {
  return a.host == b.host && a.port == b.port && a.socket == b.socket && a.database == b.database &&
         a.cluster_name == b.cluster_name && a.server_name == b.server_name;
}

}  // namespace

std::string DescribeState(const ClusterStatus& status) {
  switch (status.state) {
    case LinkState::kConnecting:
      return "connecting";
    case LinkState::kConnected:
      return status.in_sync
                 ? std::string("connected, in sync")
                 : fmt::format("connected, {} changes to write", status.changes_to_write);
    case LinkState::kUnreachable:
      return fmt::format("unreachable since {}: {}", LocalTimeText(status.since), status.reason);
  }
  return {};
}

SyncWorker::SyncWorker(ClusterParams params, std::unique_ptr<ClusterBackend> backend,
                       SyncHooks hooks)
    : params_(std::move(params)), backend_(std::move(backend)), hooks_(std::move(hooks)) {
  thread_ = std::thread([this] { Run(); });
}

SyncWorker::~SyncWorker() { Stop(); }

// ---- Game thread.

void SyncWorker::PostChanges(std::span<const CountRow> rows) { hand_off_.Post(rows); }

void SyncWorker::OnTimer() {
  hand_off_.Flush();
  std::vector<LogLine> lines;
  if (hand_off_.TakeNotes(lines) && hooks_.snapshot) {
    if (auto rows = hooks_.snapshot()) hand_off_.PostSnapshot(std::move(*rows));
  }
  if (hooks_.log) {
    for (const auto& line : lines) hooks_.log(line);
  }
}

uint64_t SyncWorker::RequestSync() { return hand_off_.RequestSync(); }

bool SyncWorker::Forget(std::string map) {
  if (map == params_.connection.server_name) return false;
  hand_off_.Forget(std::move(map));
  return true;
}

ClusterStatus SyncWorker::Status() {
  const WorkerStatus& worker = hand_off_.Status();
  ClusterStatus status;
  status.state = worker.state;
  status.since = worker.since;
  status.reason = worker.reason;
  status.maps = worker.maps;
  status.changes_to_write = worker.unwritten_rows + hand_off_.untaken_rows();
  status.in_sync = worker.state == LinkState::kConnected && !worker.snapshot_outstanding &&
                   worker.written_seq >= hand_off_.posted_seq() &&
                   worker.read_for_request >= hand_off_.last_request();
  return status;
}

void SyncWorker::Stop() {
  if (!thread_.joinable()) return;
  const auto start = SteadyClock::now();
  hand_off_.FlushAndStop();
  // A quarter of the bound is left for the interrupted call to return and the thread to end.
  if (!hand_off_.WaitDone(start + params_.stop_bound * 3 / 4)) backend_->Interrupt();
  thread_.join();
  if (hooks_.log) {
    for (const auto& line : hand_off_.TakeLinesBlocking()) hooks_.log(line);
  }
}

// ---- Worker thread.

template <typename Call>
Outcome SyncWorker::Safely(Call&& call) {
  try {
    return call();
  } catch (const std::exception& error) {
    return Outcome::Failed(error.what());
  } catch (...) {
    return Outcome::Failed("unknown exception");
  }
}

void SyncWorker::Run() {
  try {
    Loop();
  } catch (const std::exception& error) {
    Stopped(error.what());
  } catch (...) {
    Stopped("unknown exception");
  }
  hand_off_.MarkDone();
}

void SyncWorker::Stopped(std::string_view why) noexcept {
  try {
    hand_off_.GiveLine(
        {LogLine::Level::kError, fmt::format("Cluster \"{}\": the sync worker stopped: {}",
                                             params_.connection.cluster_name, why)});
  } catch (...) {
    // Nothing more can be said; the game goes on with the counts it has.
  }
}

void SyncWorker::Loop() {
  const auto& cluster = params_.connection.cluster_name;
  auto backoff = params_.backoff_first;
  // Reads come once an interval (or at a request), while changes are written as they come, at
  // most one write per gap: another map then counts a change within about one of its intervals,
  // whatever the phases of the two workers.
  const auto gap = std::min(params_.sync_interval, kChangesGap);
  auto next_cycle = SteadyClock::now();
  PublishStatus();
  while (true) {
    bool cycle = Take();
    if (hand_off_.stopping()) break;
    if (SteadyClock::now() >= next_cycle) cycle = true;
    if (!connected_) {
      const Outcome outcome = Safely([&] { return backend_->Connect(params_.connection); });
      if (!outcome.ok()) {
        Lost(outcome.reason());
        PublishStatus();
        hand_off_.Sleep(SteadyClock::now() + backoff);
        backoff = std::min(backoff * 2, params_.backoff_max);
        continue;
      }
      connected_ = true;
      backoff = params_.backoff_first;
      need_full_read_ = true;
      snapshot_outstanding_ = true;
      hand_off_.WantSnapshot();
      if (status_.state == LinkState::kUnreachable) {
        hand_off_.GiveLine(
            {LogLine::Level::kInfo,
             fmt::format("Cluster \"{}\": the database is reachable again", cluster)});
      }
      status_.state = LinkState::kConnected;
      status_.reason.clear();
      PublishStatus();
      cycle = true;
    }
    if (!(cycle ? Cycle() : WriteChanges())) {
      Lost(failure_);
      PublishStatus();
      hand_off_.Sleep(SteadyClock::now() + backoff);
      backoff = std::min(backoff * 2, params_.backoff_max);
      continue;
    }
    if (cycle) next_cycle = SteadyClock::now() + params_.sync_interval;
    PublishStatus();
    hand_off_.Sleep(std::min(SteadyClock::now() + gap, next_cycle));
    hand_off_.Sleep(next_cycle, /*on_changes=*/true);
  }
  // Stopping: what is pending is written while the database answers (until Stop interrupts).
  Take();
  if (connected_ && WriteAll()) status_.written_seq = taken_seq_;
  Safely([&] {
    backend_->Close();
    return Outcome::Ok();
  });
  connected_ = false;
  PublishStatus();
}

bool SyncWorker::Take() {
  Outgoing taken = hand_off_.TakeOutgoing();
  if (taken.empty()) return false;
  const bool asked = taken.sync_request != 0 || taken.snapshot || !taken.forgets.empty();
  if (taken.snapshot) {
    snapshot_ = std::move(taken.snapshot);
    pending_.clear();  // the snapshot holds them
  }
  for (auto& row : taken.changes) pending_[{row.team, std::move(row.kind)}] = row.count;
  for (auto& name : taken.forgets) {
    known_.erase(name);
    pending_forgets_.push_back(std::move(name));
  }
  taken_seq_ = std::max(taken_seq_, taken.seq);
  request_taken_ = std::max(request_taken_, taken.sync_request);
  PublishStatus();  // what the game handed over is now counted here
  return asked;
}

bool SyncWorker::WriteAll() {
  while (!pending_forgets_.empty()) {
    const Outcome outcome = Safely([&] { return backend_->ForgetMap(pending_forgets_.front()); });
    if (!outcome.ok()) return failure_ = outcome.reason(), false;
    pending_forgets_.erase(pending_forgets_.begin());
  }
  if (snapshot_) {
    const Outcome outcome = Safely([&] { return backend_->Write(*snapshot_, true); });
    if (!outcome.ok()) return failure_ = outcome.reason(), false;
    self_totals_.clear();
    for (const auto& row : *snapshot_) {
      if (row.IsTotal() && row.count != 0) self_totals_[row.team] = row.count;
    }
    snapshot_.reset();
    snapshot_outstanding_ = false;
    self_last_write_ = std::chrono::system_clock::now();
  }
  std::vector<CountRow> batch;
  while (!pending_.empty()) {
    batch.clear();
    auto end = pending_.begin();
    for (std::size_t n = 0;
         end != pending_.end() && n < std::max<std::size_t>(params_.batch_rows, 1); ++end, ++n) {
      batch.push_back({end->first.first, end->first.second, end->second});
    }
    const Outcome outcome = Safely([&] { return backend_->Write(batch, false); });
    if (outcome.whole_state_needed()) {
      // The changes wait for the snapshot, which supersedes them.
      snapshot_outstanding_ = true;
      hand_off_.WantSnapshot();
      return true;
    }
    if (!outcome.ok()) return failure_ = outcome.reason(), false;
    pending_.erase(pending_.begin(), end);
    for (const auto& row : batch) {
      if (!row.IsTotal()) continue;
      if (row.count == 0) {
        self_totals_.erase(row.team);
      } else {
        self_totals_[row.team] = row.count;
      }
    }
    self_last_write_ = std::chrono::system_clock::now();
  }
  return true;
}

bool SyncWorker::WriteChanges() {
  if (!WriteAll()) return false;
  status_.written_seq = taken_seq_;
  return true;
}

bool SyncWorker::Cycle() {
  if (!WriteChanges()) return false;
  // The read begins after every request taken so far.
  const uint64_t request = request_taken_;
  ReadResult read;
  const Outcome outcome = Safely([&] {
    if (need_full_read_) return backend_->ReadAll(read);
    std::map<std::string, int64_t> seen;
    for (const auto& [name, map] : known_) seen.emplace(name, map.version);
    return backend_->ReadChanges(seen, read);
  });
  if (!outcome.ok()) return failure_ = outcome.reason(), false;
  if (need_full_read_) read.complete = true;
  need_full_read_ = false;
  Absorb(read);
  hand_off_.Give(std::move(read));
  status_.read_for_request = request;
  return true;
}

void SyncWorker::Absorb(ReadResult& read) {
  const auto& self = params_.connection.server_name;
  std::erase_if(read.maps, [&](const MapUpdate& update) { return update.map == self; });
  std::erase(read.forgotten, self);
  if (read.complete) {
    known_.clear();
    for (auto& update : read.maps) update.replace_all = true;
  }
  for (const auto& name : read.forgotten) known_.erase(name);
  for (const auto& update : read.maps) {
    KnownMap& known = known_[update.map];
    if (update.replace_all) known.totals.clear();
    known.version = update.version;
    if (update.last_write) known.last_write = update.last_write;
    for (const auto& row : update.rows) {
      if (!row.IsTotal()) continue;
      if (row.count == 0) {
        known.totals.erase(row.team);
      } else {
        known.totals[row.team] = row.count;
      }
    }
  }
}

void SyncWorker::Lost(std::string reason) {
  // A backend's reason should never hold the password; should one do, it still goes no further.
  const auto& password = params_.connection.password;
  for (std::size_t at; !password.empty() && (at = reason.find(password)) != std::string::npos;) {
    reason.replace(at, password.size(), "***");
  }
  Safely([&] {
    backend_->Close();
    return Outcome::Ok();
  });
  connected_ = false;
  if (status_.state != LinkState::kUnreachable) {
    status_.state = LinkState::kUnreachable;
    status_.since = std::chrono::system_clock::now();
    // A call that Stop interrupted is no loss of the database.
    if (!hand_off_.stopping())
      hand_off_.GiveLine(
          {LogLine::Level::kWarning,
           fmt::format("Cluster \"{}\": the database is unreachable ({}); counting with the other "
                       "maps' last known counts until it is back",
                       params_.connection.cluster_name, reason)});
  }
  status_.reason = std::move(reason);
}

void SyncWorker::PublishStatus() {
  status_.unwritten_rows = pending_.size() + (snapshot_ ? snapshot_->size() : 0);
  status_.snapshot_outstanding = snapshot_outstanding_;
  status_.maps.clear();
  const auto info = [](const std::string& name, bool self,
                       const std::unordered_map<int32_t, int32_t>& totals,
                       std::optional<std::chrono::system_clock::time_point> last_write) {
    MapInfo map{.name = name, .self = self, .teams = static_cast<int32_t>(totals.size())};
    for (const auto& [team, total] : totals) map.creatures += total;
    map.last_write = last_write;
    return map;
  };
  status_.maps.push_back(
      info(params_.connection.server_name, true, self_totals_, self_last_write_));
  for (const auto& [name, known] : known_) {
    status_.maps.push_back(info(name, false, known.totals, known.last_write));
  }
  std::sort(status_.maps.begin(), status_.maps.end(),
            [](const MapInfo& a, const MapInfo& b) { return a.name < b.name; });
  hand_off_.Publish(status_);
}

bool ReplaceWorker(std::unique_ptr<SyncWorker>& worker,
                   std::vector<std::unique_ptr<SyncWorker>>& retiring,
                   const std::optional<ClusterParams>& params,
                   const std::function<std::unique_ptr<ClusterBackend>()>& make_backend,
                   SyncHooks hooks) {
  if (worker && params && worker->params() == *params) return false;
  const bool void_counts =
      worker && (!params || !SameCluster(worker->params().connection, params->connection));
  if (worker) {
    worker->RequestStop();
    retiring.push_back(std::move(worker));
  }
  if (params) worker = std::make_unique<SyncWorker>(*params, make_backend(), std::move(hooks));
  return void_counts;
}
