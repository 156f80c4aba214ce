#include "cluster/cluster_tables.h"

#include <algorithm>
#include <utility>

namespace cluster {
namespace {

// Names and kinds are bytes compared exactly: VARBINARY, so that no collation folds case,
// ignores trailing spaces or rejects a byte sequence. The key of tw_counts stays within InnoDB's
// 3072 bytes: 64 + 64 + 4 + 2048.
constexpr std::string_view kCreateSchema =
    "CREATE TABLE IF NOT EXISTS tw_schema ("
    " name VARBINARY(32) NOT NULL PRIMARY KEY,"
    " version INT NOT NULL"
    ") ENGINE=InnoDB";

constexpr std::string_view kCreateMaps =
    "CREATE TABLE IF NOT EXISTS tw_maps ("
    " cluster VARBINARY(64) NOT NULL,"
    " map VARBINARY(64) NOT NULL,"
    " id BIGINT UNSIGNED NOT NULL AUTO_INCREMENT,"
    " version BIGINT UNSIGNED NOT NULL,"
    " written_at BIGINT NOT NULL,"
    " PRIMARY KEY (cluster, map),"
    " UNIQUE KEY by_id (id)"
    ") ENGINE=InnoDB";

constexpr std::string_view kCreateCounts =
    "CREATE TABLE IF NOT EXISTS tw_counts ("
    " cluster VARBINARY(64) NOT NULL,"
    " map VARBINARY(64) NOT NULL,"
    " team INT NOT NULL,"
    " kind VARBINARY(2048) NOT NULL,"
    " count INT NOT NULL,"
    " version BIGINT UNSIGNED NOT NULL,"
    " stamp BIGINT NOT NULL,"
    " PRIMARY KEY (cluster, map, team, kind),"
    " KEY by_version (cluster, map, version)"
    ") ENGINE=InnoDB ROW_FORMAT=DYNAMIC";

constexpr std::string_view kSchemaRow = "SELECT version FROM tw_schema WHERE name = 'tables'";

// Takes the map's next version (making its row when missing): 1 row affected when it was made,
// 2 when it was there.
constexpr std::string_view kNextVersion =
    "INSERT INTO tw_maps (cluster, map, version, written_at) VALUES (?, ?, 1, UNIX_TIMESTAMP())"
    " ON DUPLICATE KEY UPDATE version = version + 1, written_at = UNIX_TIMESTAMP()";

constexpr std::string_view kMapVersion =
    "SELECT id, version FROM tw_maps WHERE cluster = ? AND map = ?";

// The assignments run left to right, each seeing the ones before: `version` must compare the old
// count, and `count` the old stamp.
constexpr std::string_view kUpsertTail =
    " ON DUPLICATE KEY UPDATE"
    " version = IF(VALUES(stamp) >= stamp AND VALUES(count) <> count, VALUES(version), version),"
    " count = IF(VALUES(stamp) >= stamp, VALUES(count), count),"
    " stamp = GREATEST(stamp, VALUES(stamp))";

std::string UpsertStatement(std::size_t rows) {
  std::string sql =
      "INSERT INTO tw_counts (cluster, map, team, kind, count, version, stamp) VALUES ";
  for (std::size_t i = 0; i < rows; ++i) sql += i == 0 ? "(?,?,?,?,?,?,?)" : ",(?,?,?,?,?,?,?)";
  sql += kUpsertTail;
  return sql;
}

void CheckName(std::string_view what, std::string_view name) {
  if (name.empty() || name.size() > kMaxNameBytes) {
    throw DatabaseError(std::string(what) + " must have 1 to " + std::to_string(kMaxNameBytes) +
                        " bytes, not " + std::to_string(name.size()));
  }
}

// Ends an open transaction unless it was committed.
class Transaction {
 public:
  explicit Transaction(Database& database) : database_(database) { database_.Begin(); }
  ~Transaction() {
    if (open_) database_.Rollback();
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit() {
    open_ = false;
    database_.Commit();
  }
  void Rollback() {
    open_ = false;
    database_.Rollback();
  }

 private:
  Database& database_;
  bool open_ = true;
};

CountRow ToCountRow(const Row& row) {
  return {static_cast<int32_t>(row.Int(0)), std::string(row.Text(1)),
          static_cast<int32_t>(row.Int(2))};
}

}  // namespace

ClusterTables::ClusterTables(Database& database, std::string cluster, std::string map)
    : database_(database), cluster_(std::move(cluster)), map_(std::move(map)) {
  CheckName("a cluster's name", cluster_);
  CheckName("a map's name", map_);
}

int ClusterTables::CheckedSchemaVersion() {
  const auto rows = database_.Query(kSchemaRow);
  if (rows.empty()) return 0;
  const int64_t version = rows.front().Int(0);
  if (version != kSchemaVersion) {
    throw SchemaMismatch("the database's tables are of schema version " + std::to_string(version) +
                         ", this plug-in uses version " + std::to_string(kSchemaVersion) +
                         "; nothing was written");
  }
  return static_cast<int>(version);
}

void ClusterTables::EnsureSchema() {
  database_.Execute(kCreateSchema);
  if (CheckedSchemaVersion() != 0) return;
  database_.Execute(kCreateMaps);
  database_.Execute(kCreateCounts);
  database_.Execute("INSERT IGNORE INTO tw_schema (name, version) VALUES ('tables', ?)",
                    {int64_t{kSchemaVersion}});
  // Another map may have made them at the same moment, in another layout.
  CheckedSchemaVersion();
}

WriteResult ClusterTables::WriteOwnCounts(std::span<const CountRow> rows, int64_t stamp) {
  for (const CountRow& row : rows) {
    if (row.kind.size() > kMaxKindBytes) {
      throw DatabaseError("a kind's key has " + std::to_string(row.kind.size()) +
                          " bytes, more than " + std::to_string(kMaxKindBytes));
    }
  }
  WriteResult result;
  for (std::size_t at = 0; at < rows.size(); at += kRowsPerBatch) {
    const WriteResult batch =
        WriteBatch(rows.subspan(at, std::min(kRowsPerBatch, rows.size() - at)), stamp);
    if (batch.transactions == 0) continue;
    result.version = batch.version;
    result.rows_affected += batch.rows_affected;
    result.transactions += batch.transactions;
    result.map_was_missing |= batch.map_was_missing;
  }
  return result;
}

WriteResult ClusterTables::WriteBatch(std::span<const CountRow> rows, int64_t stamp) {
  WriteResult result;
  Transaction transaction(database_);
  result.map_was_missing = database_.Execute(kNextVersion, {cluster_, map_}) == 1;
  const auto versions = database_.Query(kMapVersion, {cluster_, map_});
  if (versions.empty()) throw DatabaseError("this map's row vanished while it was written");
  const auto version = static_cast<int64_t>(versions.front().Int(1));

  std::vector<Param> params;
  params.reserve(rows.size() * 7);
  for (const CountRow& row : rows) {
    params.insert(params.end(), {cluster_, map_, int64_t{row.team}, row.kind, int64_t{row.count},
                                 version, stamp});
  }
  // Affected rows: 1 per insert, 2 per changed row, 0 per row left as it was.
  const uint64_t affected = database_.Execute(UpsertStatement(rows.size()), params);
  if (affected == 0 && !result.map_was_missing) {
    transaction.Rollback();  // the version taken above is given back
    return {};
  }
  transaction.Commit();
  result.version = static_cast<uint64_t>(version);
  result.rows_affected = affected;
  result.transactions = 1;
  return result;
}

std::vector<CountRow> ClusterTables::ReadCounts(std::string_view map, uint64_t after_version,
                                                bool skip_zero) {
  const auto rows = database_.Query(
      skip_zero ? "SELECT team, kind, count FROM tw_counts"
                  " WHERE cluster = ? AND map = ? AND version > ? AND count <> 0"
                  " ORDER BY team, kind"
                : "SELECT team, kind, count FROM tw_counts"
                  " WHERE cluster = ? AND map = ? AND version > ? ORDER BY team, kind",
      {cluster_, map, static_cast<int64_t>(after_version)});
  std::vector<CountRow> counts;
  counts.reserve(rows.size());
  for (const Row& row : rows) counts.push_back(ToCountRow(row));
  return counts;
}

std::vector<CountRow> ClusterTables::ReadOwnCounts() { return ReadCounts(map_, 0, true); }

WriteResult ClusterTables::ReplaceOwnCounts(std::span<const CountRow> all_rows, int64_t stamp) {
  using Key = std::pair<int32_t, std::string_view>;
  std::map<Key, int32_t> stored;
  const std::vector<CountRow> held = ReadOwnCounts();
  for (const CountRow& row : held) stored.emplace(Key(row.team, row.kind), row.count);

  std::vector<CountRow> changes;
  for (const CountRow& row : all_rows) {
    const auto it = stored.find(Key(row.team, row.kind));
    const int32_t before = it == stored.end() ? 0 : it->second;
    if (it != stored.end()) stored.erase(it);
    if (row.count != before) changes.push_back(row);
  }
  // What the database holds and the new counts lack has gone to 0.
  for (const auto& [key, count] : stored)
    changes.push_back({key.first, std::string(key.second), 0});
  if (changes.empty()) return {};
  return WriteOwnCounts(changes, stamp);
}

OthersRead ClusterTables::ReadOthersSince(const VersionsSeen& seen) {
  OthersRead read;
  Transaction snapshot(database_);  // every read below sees the same moment
  const auto maps = database_.Query(
      "SELECT map, id, version, written_at FROM tw_maps WHERE cluster = ? AND map <> ?"
      " ORDER BY map",
      {cluster_, map_});
  std::vector<std::string_view> present;
  for (const Row& row : maps) {
    MapChanges changes;
    changes.map = std::string(row.Text(0));
    changes.seen = {static_cast<uint64_t>(row.Int(1)), static_cast<uint64_t>(row.Int(2))};
    changes.written_at = row.Int(3);
    present.push_back(row.Text(0));
    const auto it = seen.find(changes.map);
    // A version above the map's own means the database went back (restored from a backup).
    if (it == seen.end() || it->second.id != changes.seen.id ||
        it->second.version > changes.seen.version) {
      changes.full = true;
      changes.rows = ReadCounts(changes.map, 0, true);
    } else if (it->second.version < changes.seen.version) {
      changes.rows = ReadCounts(changes.map, it->second.version, false);
    } else {
      continue;
    }
    read.changed.push_back(std::move(changes));
  }
  snapshot.Commit();
  for (const auto& [name, map_seen] : seen) {
    if (std::find(present.begin(), present.end(), name) == present.end()) {
      read.forgotten.push_back(name);
    }
  }
  return read;
}

bool ClusterTables::ForgetMap(std::string_view name) {
  if (name == map_) throw DatabaseError("a map cannot forget itself");
  CheckName("a map's name", name);
  Transaction transaction(database_);
  const uint64_t maps =
      database_.Execute("DELETE FROM tw_maps WHERE cluster = ? AND map = ?", {cluster_, name});
  database_.Execute("DELETE FROM tw_counts WHERE cluster = ? AND map = ?", {cluster_, name});
  transaction.Commit();
  return maps > 0;
}

}  // namespace cluster
