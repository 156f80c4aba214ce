#pragma once

#include <compare>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cluster/backend.h"
#include "cluster/database.h"

// The cluster's tables and what a map does with them. Each map of a cluster is the only writer
// of its own rows and writes absolute counts, each change under the map's next version; the other
// maps read what changed since the version they last saw. Synchronous: the cluster worker calls
// these, never the game thread.
//
//   tw_schema (name, version)            one row, name "tables": the layout's version
//   tw_maps   (cluster, map, id, version, written_at)
//             a map's current version; `id` is new each time the row is made, so a map that was
//             forgotten and writes again is read in full by everyone
//   tw_counts (cluster, map, team, kind, count, version, stamp)
//             a team's count of a kind (`kind` the configured key), or with kind "" its total;
//             `version` the map's version that last changed it, `stamp` the writer's own order of
//             the values. A count that goes to 0 stays as a row of 0, so that readers see it.

namespace cluster {

inline constexpr int kSchemaVersion = 1;
// Rows per statement and per transaction.
inline constexpr std::size_t kRowsPerBatch = 500;
inline constexpr std::size_t kMaxNameBytes = 64;    // a cluster's or map's name
inline constexpr std::size_t kMaxKindBytes = 2048;  // a kind's key, in UTF-8

// The tables hold another layout than this code's.
class SchemaMismatch : public DatabaseError {
 public:
  using DatabaseError::DatabaseError;
};

// A team's count of a configured kind, or with an empty kind the team's total: the rows the
// sync worker moves (cluster/backend.h).
using CountRow = ::CountRow;

// Which state of a map a reader holds.
struct MapSeen {
  uint64_t id = 0;  // the maps row's id: another one means the map was forgotten and made anew
  uint64_t version = 0;
  auto operator<=>(const MapSeen&) const = default;
};
using VersionsSeen = std::map<std::string, MapSeen, std::less<>>;

// What changed of one other map.
struct MapChanges {
  std::string map;
  MapSeen seen;            // what the reader holds once it has applied `rows`
  bool full = false;       // `rows` are the map's whole state: its earlier counts go first
  int64_t written_at = 0;  // when it last wrote, seconds since 1970 by the database's clock
  // With `full`, every count that is not 0; else every count that changed, also to 0.
  std::vector<CountRow> rows;
};

struct OthersRead {
  std::vector<MapChanges> changed;     // in name order
  std::vector<std::string> forgotten;  // maps of `seen` that are gone: drop their counts
};

struct WriteResult {
  uint64_t version = 0;  // the map's version after the write (0 when nothing was written)
  // As the server counts them: 1 per row inserted, 2 per row changed.
  uint64_t rows_affected = 0;
  uint64_t transactions = 0;  // committed
  // The map had no row: it is new, or was forgotten while it ran. Its counts in the database are
  // only those just written; the caller writes its whole state.
  bool map_was_missing = false;
};

class ClusterTables {
 public:
  // This map's tables in `cluster`; throws DatabaseError for an empty or too long name.
  ClusterTables(Database& database, std::string cluster, std::string map);

  // Creates the tables when they are missing (with the schema row). Throws SchemaMismatch, having
  // written nothing, when the schema row holds another version.
  void EnsureSchema();

  // Writes this map's counts as they are now, `stamp` the writer's order of these values: it
  // must grow with each change, also across restarts (microseconds of the system clock, kept
  // above the last one used, will do). A row whose stored stamp is newer is left as it is, so
  // that a late resend cannot undo a newer value; a row equal to the stored one changes nothing.
  // Each batch of kRowsPerBatch rows is one transaction under the map's next version; a batch
  // that changes nothing is rolled back and takes no version.
  WriteResult WriteOwnCounts(std::span<const CountRow> rows, int64_t stamp);

  // Makes this map's rows equal `all_rows` (every count it has; rows of 0 may be left out),
  // writing only those that differ from what the database holds (one read of this map's rows
  // first). Nothing differs: nothing is written.
  WriteResult ReplaceOwnCounts(std::span<const CountRow> all_rows, int64_t stamp);

  // Every other map of the cluster that changed since `seen`: a map absent from `seen`, or made
  // anew since, or at a version below the one seen, in full. Maps of `seen` no longer in the
  // database are `forgotten`. One snapshot.
  OthersRead ReadOthersSince(const VersionsSeen& seen);
  // Every other map in full, as after a (re)connect.
  OthersRead ReadAllOthers() { return ReadOthersSince({}); }

  // Deletes another map's rows, in one transaction; every reader sees the map gone at its next
  // read. False when the cluster has no such map. Throws DatabaseError for this map's own name.
  bool ForgetMap(std::string_view name);

  // This map's counts as the database holds them (every row that is not 0), in key order.
  std::vector<CountRow> ReadOwnCounts();

  const std::string& cluster() const { return cluster_; }
  const std::string& map() const { return map_; }

 private:
  WriteResult WriteBatch(std::span<const CountRow> rows, int64_t stamp);
  std::vector<CountRow> ReadCounts(std::string_view map, uint64_t after_version, bool skip_zero);
  int CheckedSchemaVersion();

  Database& database_;
  std::string cluster_;
  std::string map_;
};

}  // namespace cluster
