#include "cluster/cluster_link.h"

#include <algorithm>
#include <memory>
#include <utility>

#include <fmt/format.h>

#include "base/logger.h"
#include "cluster/mariadb_backend.h"
#include "counting/dino_count_store.h"
#include "counting/other_maps.h"

namespace {

struct Link {
  std::unique_ptr<SyncWorker> worker;
  // Workers a reload replaced: asked to stop, joined once done (or at unload).
  std::vector<std::unique_ptr<SyncWorker>> retiring;
};

Link& TheLink() {
  static Link link;
  return link;
}

std::vector<CountRow> ToCountRows(const ChangedRows& changed) {
  std::vector<CountRow> rows;
  for (const TeamRows& team : changed.teams) {
    rows.push_back({team.team, std::string(), team.total});
    for (const KindRow& kind : team.kinds) rows.push_back({team.team, kind.kind, kind.count});
  }
  return rows;
}

std::vector<ClusterRow> ToClusterRows(const std::vector<CountRow>& rows) {
  std::vector<ClusterRow> converted;
  converted.reserve(rows.size());
  for (const CountRow& row : rows) converted.push_back({row.team, row.kind, row.count});
  return converted;
}

// This map's whole state, for the worker after a (re)connect.
std::optional<std::vector<CountRow>> Snapshot() {
  const DinoCountStore& store = Store();
  ChangedRows all;
  all.full = true;
  store.ForEachTeam([&](int32_t team, int32_t) { all.teams.push_back(store.RowsOf(team)); });
  return ToCountRows(all);
}

void WriteLogLine(const LogLine& line) {
  switch (line.level) {
    case LogLine::Level::kInfo:
      Log().info(line.text);
      break;
    case LogLine::Level::kWarning:
      Log().warn(line.text);
      break;
    case LogLine::Level::kError:
      Log().error(line.text);
      break;
  }
}

// Hands the store's changes to the worker: a full take (after tracking began, or the kinds were
// made anew) as this map's whole state, so that rows of kinds no longer configured go too.
void PostChanges() {
  SyncWorker* worker = TheLink().worker.get();
  if (worker == nullptr || !Store().HasChanges()) return;
  const ChangedRows changed = Store().TakeChanges();
  if (changed.full) {
    worker->PostState(ToCountRows(changed));
  } else if (!changed.teams.empty()) {
    worker->PostChanges(ToCountRows(changed));
  }
}

void ApplyRead(ReadResult& read) {
  OtherMaps& others = Others();
  if (read.complete) {
    std::vector<std::string> gone;
    others.ForEachMap([&](const std::string& name) {
      const bool kept = std::any_of(read.maps.begin(), read.maps.end(),
                                    [&](const MapUpdate& update) { return update.map == name; });
      if (!kept) gone.push_back(name);
    });
    for (const std::string& name : gone) others.ForgetMap(name);
  }
  for (const std::string& name : read.forgotten) others.ForgetMap(name);
  for (const MapUpdate& update : read.maps) {
    const std::vector<ClusterRow> rows = ToClusterRows(update.rows);
    if (update.replace_all || read.complete) {
      others.ReplaceMap(update.map, rows);
    } else {
      others.ApplyRows(update.map, rows);
    }
  }
}

void Refresh() {
  PostChanges();
  if (SyncWorker* worker = TheLink().worker.get()) worker->Drain(ApplyRead);
}

void JoinFinished() {
  auto& retiring = TheLink().retiring;
  std::erase_if(retiring, [](const std::unique_ptr<SyncWorker>& worker) {
    if (!worker->Finished()) return false;
    worker->Stop();  // joins at once: the thread has ended
    return true;
  });
}

}  // namespace

ClusterParams ToClusterParams(const ClusterSettings& settings) {
  ClusterParams params;
  ConnectionParams& connection = params.connection;
  connection.host = settings.host;
  connection.port = settings.port;
  connection.socket = settings.socket;
  connection.user = settings.user;
  connection.password = settings.password;
  connection.database = settings.database;
  connection.cluster_name = settings.cluster_name;
  connection.server_name = settings.server_name;
  params.sync_interval = std::chrono::milliseconds(settings.sync_interval_ms);
  return params;
}

void ApplyClusterSettings(const std::optional<ClusterSettings>& settings) {
  Link& link = TheLink();
  std::optional<ClusterParams> params;
  if (settings) params = ToClusterParams(*settings);
  if (link.worker && params && link.worker->params() == *params) return;
  // What the old worker still has to write is handed to it before it is asked to stop.
  PostChanges();
  const bool void_counts = ReplaceWorker(
      link.worker, link.retiring, params, [] { return std::make_unique<MariaDbBackend>(); },
      SyncHooks{&Snapshot, &WriteLogLine});
  if (void_counts || !params) Others().Clear();
  Store().TrackChanges(params.has_value());  // on: the next take is this map's whole state
  SetClusterExchange(params ? ClusterExchange{&PostChanges, &Refresh} : ClusterExchange{});
  if (!params) return;
  const ConnectionParams& connection = params->connection;
  Log().info("Cluster \"{}\" as \"{}\": connecting to database \"{}\" {}", connection.cluster_name,
             connection.server_name, connection.database,
             connection.socket.empty() ? fmt::format("on {}:{}", connection.host, connection.port)
                                       : "on socket " + connection.socket);
}

void StopCluster() {
  Link& link = TheLink();
  SetClusterExchange({});
  if (link.worker) {
    PostChanges();
    link.worker->RequestStop();
    link.retiring.push_back(std::move(link.worker));
  }
  // Every worker was asked to stop first, so that they end together within about one bound.
  for (auto& worker : link.retiring) worker->Stop();
  link.retiring.clear();
  Store().TrackChanges(false);
  Others().Clear();
}

void ClusterOnTimer() {
  Link& link = TheLink();
  if (!link.retiring.empty()) {
    for (auto& worker : link.retiring) worker->OnTimer();  // their last log lines
    JoinFinished();
  }
  if (!link.worker) return;
  PostChanges();
  link.worker->OnTimer();
  link.worker->Drain(ApplyRead);
}

SyncWorker* ClusterWorker() { return TheLink().worker.get(); }

namespace {

// The state line of `worker`, from one status, so that it and the map lines agree.
std::string StateLine(const SyncWorker& worker, const ClusterStatus& status) {
  const ConnectionParams& connection = worker.params().connection;
  return fmt::format("Cluster \"{}\" as \"{}\": {}", connection.cluster_name,
                     connection.server_name, DescribeState(status));
}

constexpr char kNoCluster[] = "no cluster: the configuration has no \"Cluster\" section";

}  // namespace

std::string ClusterStateLine() {
  SyncWorker* worker = ClusterWorker();
  return worker == nullptr ? kNoCluster : StateLine(*worker, worker->Status());
}

std::vector<std::string> ClusterStatusLines() {
  SyncWorker* worker = ClusterWorker();
  if (worker == nullptr) return {kNoCluster};
  const ClusterStatus status = worker->Status();
  std::vector<std::string> lines = {StateLine(*worker, status)};
  for (const MapInfo& map : status.maps) {
    lines.push_back(fmt::format("  {}{}: {} teams, {} creatures, {}", map.name,
                                map.self ? " (this map)" : "", map.teams, map.creatures,
                                map.last_write ? "last wrote " + LocalTimeText(*map.last_write)
                                               : std::string("not written yet")));
  }
  return lines;
}
