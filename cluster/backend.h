#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What the sync worker asks of the cluster's database, and the rows it moves. Every call but
// Interrupt is made from the worker thread only, one at a time.

// One count of one team on one map, as an absolute value. `kind` is the kind's key in UTF-8,
// empty for the team's total over every kind; a count of 0 means the row is gone.
struct CountRow {
  int32_t team = 0;
  std::string kind;
  int32_t count = 0;

  bool IsTotal() const { return kind.empty(); }
  auto operator<=>(const CountRow&) const = default;
};

// Where the database is and who this map is. Never print `password`.
struct ConnectionParams {
  std::string host = "127.0.0.1";
  int port = 3306;
  std::string socket;  // a unix socket path, used instead of host and port when not empty
  std::string user;
  std::string password;
  std::string database;
  std::string cluster_name = "default";
  std::string server_name;  // this map
  std::chrono::seconds connect_timeout{3};
  std::chrono::seconds io_timeout{3};  // each read or write on the connection

  bool operator==(const ConnectionParams&) const = default;
};

// The result of a call: success, or a failure with its reason (never containing the password).
class Outcome {
 public:
  static Outcome Ok() { return Outcome(); }
  static Outcome Failed(std::string reason) {
    Outcome outcome;
    outcome.failed_ = true;
    outcome.reason_ = reason.empty() ? "unknown failure" : std::move(reason);
    return outcome;
  }
  // A write that found this map's rows gone (the map was forgotten while it runs): only what it
  // just wrote is there, and the connection is fine. The worker writes the whole state next.
  static Outcome WholeStateNeeded() {
    Outcome outcome;
    outcome.whole_state_needed_ = true;
    return outcome;
  }
  bool ok() const { return !failed_; }
  bool whole_state_needed() const { return whole_state_needed_; }
  const std::string& reason() const { return reason_; }

 private:
  bool failed_ = false;
  bool whole_state_needed_ = false;
  std::string reason_;
};

// What one read learnt of one other map.
struct MapUpdate {
  std::string map;             // its ServerName
  int64_t version = 0;         // its version after these rows
  bool replace_all = false;    // `rows` are its whole state: what was known of it goes first
  std::vector<CountRow> rows;  // else only the rows that changed (count 0: gone)
  // When the map last wrote, when the database knows.
  std::optional<std::chrono::system_clock::time_point> last_write;
};

// What one read learnt, applied in this order: when `complete`, every map not in `maps` is
// dropped (and every map in it is replace_all); then each of `forgotten` is dropped; then each
// update of `maps` is applied.
struct ReadResult {
  bool complete = false;
  std::vector<std::string> forgotten;
  std::vector<MapUpdate> maps;

  bool empty() const { return !complete && forgotten.empty() && maps.empty(); }
};

// The database of the cluster, as the worker uses it. Implementations bound every call by their
// own timeouts (ConnectionParams); a call that fails leaves the connection unusable, and the
// worker calls Close before it connects again.
//
// Interrupt contract: Interrupt may be called from any thread, at any time, any number of times,
// also while another call runs on the worker thread. It must return promptly without waiting for
// that call. From then on the call in progress and every later call except Close return promptly
// with a failure; Close returns promptly. The worker is discarded after an interrupt, so the
// state need not be undone (for a socket, shutting it down from the other thread is enough).
class ClusterBackend {
 public:
  virtual ~ClusterBackend() = default;

  // Opens the connection and makes the tables when missing.
  virtual Outcome Connect(const ConnectionParams& params) = 0;
  // Makes this map's rows equal `rows` (absolute values, under a new version of this map). When
  // `whole_state`, `rows` are all of this map's rows and every other row of it goes, in one
  // transaction.
  virtual Outcome Write(std::span<const CountRow> rows, bool whole_state) = 0;
  // What changed on the other maps since `seen` (map -> the version last read): the rows of
  // maps with a newer version, maps new since (replace_all), and maps of `seen` that are gone
  // (forgotten). Never this map's own rows.
  virtual Outcome ReadChanges(const std::map<std::string, int64_t>& seen, ReadResult& out) = 0;
  // Every other map's rows, as a complete result.
  virtual Outcome ReadAll(ReadResult& out) = 0;
  // Deletes every row of another map.
  virtual Outcome ForgetMap(std::string_view map) = 0;
  // Closes the connection, if any.
  virtual void Close() = 0;
  // See the contract above.
  virtual void Interrupt() = 0;
};
