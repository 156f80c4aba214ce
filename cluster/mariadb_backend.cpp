#include "cluster/mariadb_backend.h"

#include <algorithm>
#include <exception>
#include <utility>
#include <vector>

namespace {

// The library's per-thread state, made on the worker thread at its first connect and released
// when that thread ends.
void HoldClientThreadState() { thread_local cluster::ClientThreadScope scope; }

}  // namespace

MariaDbBackend::~MariaDbBackend() { Close(); }

cluster::ConnectionParams MariaDbBackend::ToDatabaseParams(const ConnectionParams& params) {
  cluster::ConnectionParams converted;
  converted.host = params.host;
  converted.port = static_cast<unsigned>(std::max(params.port, 0));
  converted.socket = params.socket;
  converted.user = params.user;
  converted.password = params.password;
  converted.database = params.database;
  converted.connect_timeout =
      std::clamp(params.connect_timeout, std::chrono::seconds(1), kMaxConnectTimeout);
  converted.read_timeout = converted.write_timeout =
      std::max(params.io_timeout, std::chrono::seconds(1));
  return converted;
}

template <typename Call>
Outcome MariaDbBackend::Guard(Call&& call) {
  if (interrupted_.load()) return Outcome::Failed("interrupted");
  try {
    call();
    return Outcome::Ok();
  } catch (const std::exception& error) {
    return Outcome::Failed(cluster::WithoutSecret(error.what(), password_));
  } catch (...) {
    return Outcome::Failed("unknown failure");
  }
}

Outcome MariaDbBackend::Connect(const ConnectionParams& params) {
  Close();
  password_ = params.password;
  return Guard([&] {
    HoldClientThreadState();
    cluster::Database database(ToDatabaseParams(params));
    {
      // An interrupt that came during the connect finds no socket: it is seen here instead.
      std::lock_guard lock(mutex_);
      if (interrupted_.load()) throw cluster::DatabaseError("interrupted");
      interrupter_ = database.interrupter();
    }
    database_.emplace(std::move(database));
    tables_.emplace(*database_, params.cluster_name, params.server_name);
    tables_->EnsureSchema();
    ids_.clear();
  });
}

int64_t MariaDbBackend::NextStamp() {
  const int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  last_stamp_ = std::max(now, last_stamp_ + 1);
  return last_stamp_;
}

Outcome MariaDbBackend::Write(std::span<const CountRow> rows, bool whole_state) {
  bool forgotten = false;
  Outcome outcome = Guard([&] {
    if (!tables_) throw cluster::DatabaseError("not connected");
    const int64_t stamp = NextStamp();
    const cluster::WriteResult result =
        whole_state ? tables_->ReplaceOwnCounts(rows, stamp) : tables_->WriteOwnCounts(rows, stamp);
    // A map that had rows and has none now was forgotten while it runs: only what was just
    // written is there. (A new map's first changes need nothing: the worker writes its whole
    // state once it knows it.)
    forgotten = !whole_state && result.map_was_missing && has_rows_;
    if (result.version > 0) has_rows_ = true;
  });
  return outcome.ok() && forgotten ? Outcome::WholeStateNeeded() : outcome;
}

void MariaDbBackend::Convert(cluster::OthersRead& read, ReadResult& out) {
  for (std::string& name : read.forgotten) {
    ids_.erase(name);
    out.forgotten.push_back(std::move(name));
  }
  for (cluster::MapChanges& changes : read.changed) {
    ids_[changes.map] = changes.seen.id;
    MapUpdate update;
    update.map = std::move(changes.map);
    update.version = static_cast<int64_t>(changes.seen.version);
    update.replace_all = changes.full;
    update.rows = std::move(changes.rows);
    if (changes.written_at > 0) {
      update.last_write =
          std::chrono::system_clock::time_point(std::chrono::seconds(changes.written_at));
    }
    out.maps.push_back(std::move(update));
  }
}

Outcome MariaDbBackend::ReadChanges(const std::map<std::string, int64_t>& seen, ReadResult& out) {
  return Guard([&] {
    if (!tables_) throw cluster::DatabaseError("not connected");
    cluster::VersionsSeen versions;
    for (const auto& [name, version] : seen) {
      // A map whose row id is unknown here is read in full, which is always safe.
      const auto id = ids_.find(name);
      versions[name] = {id == ids_.end() ? 0 : id->second,
                        static_cast<uint64_t>(std::max<int64_t>(version, 0))};
    }
    auto read = tables_->ReadOthersSince(versions);
    ReadResult result;
    Convert(read, result);
    out = std::move(result);
  });
}

Outcome MariaDbBackend::ReadAll(ReadResult& out) {
  return Guard([&] {
    if (!tables_) throw cluster::DatabaseError("not connected");
    auto read = tables_->ReadAllOthers();
    ids_.clear();
    ReadResult result;
    result.complete = true;
    Convert(read, result);
    out = std::move(result);
  });
}

Outcome MariaDbBackend::ForgetMap(std::string_view map) {
  return Guard([&] {
    if (!tables_) throw cluster::DatabaseError("not connected");
    tables_->ForgetMap(map);
  });
}

void MariaDbBackend::Close() {
  {
    std::lock_guard lock(mutex_);
    interrupter_.reset();
  }
  tables_.reset();
  database_.reset();
}

void MariaDbBackend::Interrupt() {
  std::shared_ptr<cluster::Interrupter> interrupter;
  {
    std::lock_guard lock(mutex_);
    interrupted_.store(true);
    interrupter = interrupter_;
  }
  if (interrupter) interrupter->Interrupt();
}
