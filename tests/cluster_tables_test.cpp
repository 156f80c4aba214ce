// The cluster's database layer against a real server: a private MariaDB started once for this
// binary, a fresh database per test.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "cluster/cluster_tables.h"
#include "cluster/database.h"
#include "cluster/mariadb_backend.h"
#include "cluster/sync_worker.h"
#include "sim/tool/private_mariadb.h"

namespace cluster {
void PrintTo(const CountRow& row, std::ostream* out) {
  *out << "{" << row.team << ", \"" << row.kind << "\", " << row.count << "}";
}
}  // namespace cluster

namespace {

using cluster::ClusterTables;
using cluster::ConnectionParams;
using cluster::CountRow;
using cluster::Database;
using cluster::DatabaseError;
using cluster::OthersRead;
using cluster::VersionsSeen;

PrivateMariaDb* server = nullptr;

class ServerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { server = new PrivateMariaDb(); }
  void TearDown() override {
    delete server;
    server = nullptr;
  }
};

ConnectionParams Params(std::string_view database) {
  ConnectionParams params;
  params.socket = server->socket();
  params.user = PrivateMariaDb::kUser;
  params.password = PrivateMariaDb::kPassword;
  params.database = database;
  params.connect_timeout = params.read_timeout = params.write_timeout = std::chrono::seconds(2);
  return params;
}

// A fresh database and the user's connection to it.
Database Fresh(std::string_view name) {
  server->CreateDatabase(name);
  return Database(Params(name));
}

// Applies a read to a reader's view of the others, as the worker will: per map, team and kind.
struct View {
  VersionsSeen seen;
  std::map<std::string, std::map<std::pair<int32_t, std::string>, int32_t>> counts;

  void Apply(const OthersRead& read) {
    for (const std::string& map : read.forgotten) {
      seen.erase(map);
      counts.erase(map);
    }
    for (const auto& changes : read.changed) {
      auto& map = counts[changes.map];
      if (changes.full) map.clear();
      for (const CountRow& row : changes.rows) {
        if (row.count == 0) {
          map.erase({row.team, row.kind});
        } else {
          map[{row.team, row.kind}] = row.count;
        }
      }
      seen[changes.map] = changes.seen;
    }
  }
  int32_t Of(const std::string& map, int32_t team, const std::string& kind) const {
    const auto it = counts.find(map);
    if (it == counts.end()) return 0;
    const auto row = it->second.find({team, kind});
    return row == it->second.end() ? 0 : row->second;
  }
};

const std::string kRex = "Blueprint'/Game/PrimalEarth/Dinos/Rex/Rex_Character_BP.Rex_Character_BP'";
const std::string kRaptor =
    "Blueprint'/Game/PrimalEarth/Dinos/Raptor/Raptor_Character_BP.Raptor_Character_BP'";

TEST(ClusterTables, TwoMapsShareTheirCountsByVersion) {
  Database island_db = Fresh("share");
  Database center_db(Params("share"));
  Database third_db(Params("share"));
  ClusterTables island(island_db, "main", "TheIsland");
  ClusterTables center(center_db, "main", "TheCenter");
  ClusterTables other_cluster(third_db, "other", "TheCenter");
  island.EnsureSchema();
  center.EnsureSchema();  // the tables exist: nothing to make

  // The first write makes the map's row; a reader that has seen nothing gets it in full.
  auto written = island.WriteOwnCounts(
      std::vector<CountRow>{{1, "", 3}, {1, kRex, 2}, {1, kRaptor, 1}, {2, "", 1}}, 100);
  EXPECT_TRUE(written.map_was_missing);
  EXPECT_EQ(written.version, 1u);
  View view;
  auto read = center.ReadAllOthers();
  ASSERT_EQ(read.changed.size(), 1u);
  EXPECT_TRUE(read.changed[0].full);
  EXPECT_EQ(read.changed[0].map, "TheIsland");
  EXPECT_GT(read.changed[0].written_at, 1700000000);
  view.Apply(read);
  EXPECT_EQ(view.Of("TheIsland", 1, kRex), 2);
  EXPECT_EQ(view.Of("TheIsland", 2, ""), 1);
  EXPECT_TRUE(other_cluster.ReadAllOthers().changed.empty()) << "clusters share no counts";
  EXPECT_TRUE(island.ReadAllOthers().changed.empty()) << "a map reads no rows of its own";

  // A change: only the changed rows, under the next version.
  written = island.WriteOwnCounts(std::vector<CountRow>{{1, "", 4}, {1, kRex, 3}}, 200);
  EXPECT_EQ(written.version, 2u);
  EXPECT_FALSE(written.map_was_missing);
  read = center.ReadOthersSince(view.seen);
  ASSERT_EQ(read.changed.size(), 1u);
  EXPECT_FALSE(read.changed[0].full);
  EXPECT_EQ(read.changed[0].rows, (std::vector<CountRow>{{1, "", 4}, {1, kRex, 3}}));
  view.Apply(read);
  EXPECT_TRUE(center.ReadOthersSince(view.seen).changed.empty()) << "nothing new";

  // A resend changes nothing and takes no version; a late write of older values undoes nothing.
  written = island.WriteOwnCounts(std::vector<CountRow>{{1, "", 4}, {1, kRex, 3}}, 200);
  EXPECT_EQ(written.transactions, 0u);
  written = island.WriteOwnCounts(std::vector<CountRow>{{1, "", 3}, {1, kRex, 2}}, 100);
  EXPECT_EQ(written.transactions, 0u);
  EXPECT_TRUE(center.ReadOthersSince(view.seen).changed.empty());
  EXPECT_EQ(island.ReadOwnCounts(),
            (std::vector<CountRow>{{1, "", 4}, {1, kRaptor, 1}, {1, kRex, 3}, {2, "", 1}}));

  // Counts that go to 0 reach a reader that saw them, and a new reader never sees them.
  island.WriteOwnCounts(std::vector<CountRow>{{1, kRaptor, 0}, {1, "", 3}, {2, "", 0}}, 300);
  read = center.ReadOthersSince(view.seen);
  ASSERT_EQ(read.changed.size(), 1u);
  EXPECT_EQ(read.changed[0].rows, (std::vector<CountRow>{{1, "", 3}, {1, kRaptor, 0}, {2, "", 0}}));
  view.Apply(read);
  View fresh;
  fresh.Apply(center.ReadAllOthers());
  EXPECT_EQ(fresh.counts, view.counts);
  EXPECT_EQ(view.counts["TheIsland"].size(), 2u);

  // More rows than one batch: several transactions, each under its own version, all read.
  std::vector<CountRow> many;
  for (int32_t team = 1000; team < 2200; ++team) many.push_back({team, kRex, team % 7 + 1});
  written = island.WriteOwnCounts(many, 400);
  EXPECT_EQ(written.transactions, 3u);
  EXPECT_EQ(written.rows_affected, 1200u);
  view.Apply(center.ReadOthersSince(view.seen));
  EXPECT_EQ(view.counts["TheIsland"].size(), 1202u);
  EXPECT_EQ(view.Of("TheIsland", 2199, kRex), 2199 % 7 + 1);

  // A reader ahead of the database (restored from a backup) takes the map in full again.
  VersionsSeen ahead = view.seen;
  ahead["TheIsland"].version += 10;
  read = center.ReadOthersSince(ahead);
  ASSERT_EQ(read.changed.size(), 1u);
  EXPECT_TRUE(read.changed[0].full);
  EXPECT_EQ(read.changed[0].rows.size(), 1202u);

  // Forgetting a map: refused for one's own; every reader then sees it gone.
  center.WriteOwnCounts(std::vector<CountRow>{{1, "", 5}}, 100);
  View island_view;
  island_view.Apply(island.ReadAllOthers());
  EXPECT_EQ(island_view.Of("TheCenter", 1, ""), 5);
  EXPECT_THROW(center.ForgetMap("TheCenter"), DatabaseError);
  EXPECT_TRUE(center.ForgetMap("TheIsland"));
  EXPECT_FALSE(center.ForgetMap("TheIsland")) << "already gone";
  read = center.ReadOthersSince(view.seen);
  EXPECT_EQ(read.forgotten, std::vector<std::string>{"TheIsland"});
  view.Apply(read);
  EXPECT_TRUE(view.counts.empty());
  EXPECT_EQ(island_view.Of("TheCenter", 1, ""), 5) << "the forgetting map's own rows stay";

  // A forgotten map that writes again is a new map: told so, and read in full.
  View stale;
  stale.seen["TheIsland"] = {1, 999};  // a reader that missed the forget
  written = island.WriteOwnCounts(std::vector<CountRow>{{9, "", 1}}, 500);
  EXPECT_TRUE(written.map_was_missing);
  read = center.ReadOthersSince(stale.seen);
  ASSERT_EQ(read.changed.size(), 1u);
  EXPECT_TRUE(read.changed[0].full);
  EXPECT_EQ(read.changed[0].rows, (std::vector<CountRow>{{9, "", 1}}));
}

TEST(ClusterTables, KindKeysTravelByteForByte) {
  Database writer_db = Fresh("kinds");
  Database reader_db(Params("kinds"));
  ClusterTables writer(writer_db, "main", "Ragnarok");
  ClusterTables reader(reader_db, "main", "Valguero");
  writer.EnsureSchema();
  const std::vector<std::string> kinds = {
      "Blueprint'/Game/Mods/Odd/It's_a\\path;.X_C'",
      "'; DROP TABLE tw_counts; --",
      "Blueprint'/Game/Mods/Dr\xC3\xA4"
      "che/\xE7\xAB\x9C.\xE7\xAB\x9C'",     // UTF-8
      "Blueprint'/Game/Mods/Dr??che/X.X'",  // the game data's escape of what is not ASCII
      "rex",
      "Rex",
      "Rex ",  // case and a trailing space make other keys
      "100%_match\"",
      std::string(cluster::kMaxKindBytes, 'k'),
  };
  std::vector<CountRow> rows;
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    rows.push_back({7, kinds[i], static_cast<int32_t>(i + 1)});
  }
  writer.WriteOwnCounts(rows, 1);
  View view;
  view.Apply(reader.ReadAllOthers());
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    EXPECT_EQ(view.Of("Ragnarok", 7, kinds[i]), static_cast<int32_t>(i + 1)) << kinds[i];
  }
  EXPECT_EQ(view.counts["Ragnarok"].size(), kinds.size());

  // A key too long for the column is refused before anything is written.
  const auto version = view.seen["Ragnarok"];
  EXPECT_THROW(writer.WriteOwnCounts(
                   std::vector<CountRow>{{7, "rex", 50},
                                         {7, std::string(cluster::kMaxKindBytes + 1, 'k'), 1}},
                   2),
               DatabaseError);
  EXPECT_TRUE(reader.ReadOthersSince(view.seen).changed.empty());
  EXPECT_EQ(view.seen["Ragnarok"], version);
}

TEST(ClusterTables, ARecountWritesOnlyWhatChanged) {
  Database database = Fresh("recount");
  Database reader_db(Params("recount"));
  ClusterTables map(database, "main", "Aberration");
  ClusterTables reader(reader_db, "main", "Extinction");
  map.EnsureSchema();
  std::vector<CountRow> counts;
  for (int32_t team = 1; team <= 300; ++team) {
    counts.push_back({team, "", 3});
    counts.push_back({team, kRex, 1});
    counts.push_back({team, kRaptor, 2});
  }
  auto written = map.ReplaceOwnCounts(counts, 10);
  EXPECT_EQ(written.rows_affected, 900u);
  EXPECT_EQ(written.transactions, 2u);
  View view;
  view.Apply(reader.ReadAllOthers());

  // The same counts again: one read, no write, no version.
  const uint64_t before = database.statements_run();
  written = map.ReplaceOwnCounts(counts, 11);
  EXPECT_EQ(database.statements_run() - before, 1u);
  EXPECT_EQ(written.transactions, 0u);
  EXPECT_TRUE(reader.ReadOthersSince(view.seen).changed.empty());

  // One count changed, a team gone (its rows left out): only those rows are written.
  counts[4].count = 5;                                   // team 2's Rex
  counts.erase(counts.begin() + 6, counts.begin() + 9);  // team 3
  written = map.ReplaceOwnCounts(counts, 12);
  EXPECT_EQ(written.transactions, 1u);
  const auto read = reader.ReadOthersSince(view.seen);
  ASSERT_EQ(read.changed.size(), 1u);
  EXPECT_EQ(read.changed[0].rows,
            (std::vector<CountRow>{{2, kRex, 5}, {3, "", 0}, {3, kRaptor, 0}, {3, kRex, 0}}));
  view.Apply(read);
  View fresh;
  fresh.Apply(reader.ReadAllOthers());
  EXPECT_EQ(fresh.counts, view.counts);
  EXPECT_EQ(fresh.counts["Aberration"].size(), 897u);
}

TEST(ClusterTables, AnotherSchemaVersionIsRefusedWithoutWriting) {
  Database database = Fresh("schema_check");
  ClusterTables map(database, "main", "TheIsland");
  map.EnsureSchema();
  map.WriteOwnCounts(std::vector<CountRow>{{1, "", 1}}, 1);
  server->RootSql("UPDATE schema_check.tw_schema SET version = 2");
  Database again(Params("schema_check"));
  ClusterTables later(again, "main", "TheIsland");
  try {
    later.EnsureSchema();
    FAIL() << "a schema of version 2 was taken";
  } catch (const cluster::SchemaMismatch& error) {
    EXPECT_STREQ(error.what(),
                 "the database's tables are of schema version 2, this plug-in uses version 1; "
                 "nothing was written");
  }

  // Before any table of its own: the schema row alone stops it making them.
  Database bare = Fresh("bare");
  server->RootSql(
      "CREATE TABLE bare.tw_schema (name VARBINARY(32) NOT NULL PRIMARY KEY, version INT NOT "
      "NULL); INSERT INTO bare.tw_schema VALUES ('tables', 7)");
  ClusterTables bare_map(bare, "main", "TheIsland");
  EXPECT_THROW(bare_map.EnsureSchema(), cluster::SchemaMismatch);
  const auto tables =
      bare.Query("SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = DATABASE()");
  EXPECT_EQ(tables.at(0).Int(0), 1);
}

// A unix socket that takes connections and never answers.
class SilentListener {
 public:
  explicit SilentListener(std::string path) : path_(std::move(path)) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(fd_, 4), 0);
  }
  ~SilentListener() {
    ::close(fd_);
    ::unlink(path_.c_str());
  }

 private:
  std::string path_;
  int fd_;
};

TEST(Database, FailuresNameNoPasswordAndEndInTime) {
  server->CreateDatabase("failures");
  ConnectionParams wrong = Params("failures");
  wrong.password = "Wr0ng-'pass;word";
  try {
    Database database(wrong);
    FAIL() << "connected with a wrong password";
  } catch (const DatabaseError& error) {
    const std::string text = error.what();
    EXPECT_NE(text.find("Access denied"), std::string::npos) << text;
    EXPECT_EQ(text.find(wrong.password), std::string::npos) << text;
    EXPECT_EQ(text.find(PrivateMariaDb::kPassword), std::string::npos) << text;
    EXPECT_FALSE(error.connection_lost());
  }
  ConnectionParams unknown = Params("no_such_database");
  EXPECT_THROW(Database database(unknown), DatabaseError);
  EXPECT_EQ(cluster::WithoutSecret("a pw and pw", "pw"), "a *** and ***");

  // A server that takes the connection and never answers: the connect gives up in time.
  const std::string path = server->directory() + "/silent.sock";
  SilentListener listener(path);
  ConnectionParams silent = Params("failures");
  silent.socket = path;
  silent.connect_timeout = silent.read_timeout = silent.write_timeout = std::chrono::seconds(1);
  const auto start = std::chrono::steady_clock::now();
  try {
    Database database(silent);
    FAIL() << "a silent server was taken for one";
  } catch (const DatabaseError& error) {
    EXPECT_TRUE(error.connection_lost()) << error.what();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

  // A statement that waits long on the server ends at once when another thread interrupts it.
  ConnectionParams patient = Params("failures");
  patient.read_timeout = std::chrono::seconds(30);
  auto interrupter = std::make_shared<cluster::Interrupter>();
  std::optional<DatabaseError> failure;
  std::chrono::steady_clock::duration waited{};
  std::atomic<bool> connected = false;
  std::thread worker([&] {
    cluster::ClientThreadScope scope;
    Database database(patient);
    interrupter = database.interrupter();
    connected = true;
    const auto begin = std::chrono::steady_clock::now();
    try {
      database.Query("SELECT SLEEP(20)");
    } catch (const DatabaseError& error) {
      failure = error;
    }
    waited = std::chrono::steady_clock::now() - begin;
  });
  while (!connected) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  interrupter->Interrupt();
  worker.join();
  ASSERT_TRUE(failure.has_value());
  EXPECT_TRUE(failure->connection_lost()) << failure->what();
  EXPECT_LT(waited, std::chrono::seconds(2));
}

TEST(Database, AnOutageBreaksTheConnectionAndKeepsTheCounts) {
  Database database = Fresh("outage");
  ClusterTables map(database, "main", "ScorchedEarth");
  map.EnsureSchema();
  map.WriteOwnCounts(std::vector<CountRow>{{4, kRex, 2}}, 1);

  server->Stop(/*kill=*/true);
  try {
    map.WriteOwnCounts(std::vector<CountRow>{{4, kRex, 3}}, 2);
    FAIL() << "wrote to a stopped server";
  } catch (const DatabaseError& error) {
    EXPECT_TRUE(error.connection_lost()) << error.what();
  }
  EXPECT_THROW(Database again(Params("outage")), DatabaseError);
  server->Start();

  Database again(Params("outage"));
  ClusterTables reconnected(again, "main", "ScorchedEarth");
  reconnected.EnsureSchema();
  EXPECT_EQ(reconnected.ReadOwnCounts(), (std::vector<CountRow>{{4, kRex, 2}}));
  reconnected.WriteOwnCounts(std::vector<CountRow>{{4, kRex, 3}}, 2);
  EXPECT_EQ(reconnected.ReadOwnCounts(), (std::vector<CountRow>{{4, kRex, 3}}));
}

// ---- Two maps' sync workers with the real backend against the private server.

// One map as the game thread sees it: its own rows, what it learnt of the others, its log.
struct MapUnderTest {
  std::string name;
  std::map<std::pair<int32_t, std::string>, int32_t> own;
  std::map<std::string, std::map<std::pair<int32_t, std::string>, int32_t>> others;
  std::vector<LogLine> lines;
  std::unique_ptr<SyncWorker> worker;

  void Start(std::string_view database,
             std::string password = std::string(PrivateMariaDb::kPassword),
             std::chrono::milliseconds interval = std::chrono::milliseconds(50)) {
    ClusterParams params;
    params.connection.socket = server->socket();
    params.connection.user = PrivateMariaDb::kUser;
    params.connection.password = std::move(password);
    params.connection.database = database;
    params.connection.cluster_name = "main";
    params.connection.server_name = name;
    params.connection.connect_timeout = params.connection.io_timeout = std::chrono::seconds(2);
    params.sync_interval = interval;
    params.backoff_first = std::chrono::milliseconds(50);
    params.backoff_max = std::chrono::milliseconds(200);
    SyncHooks hooks;
    hooks.snapshot = [this] {
      std::vector<::CountRow> rows;
      for (const auto& [key, count] : own) rows.push_back({key.first, key.second, count});
      return std::optional(rows);
    };
    hooks.log = [this](const LogLine& line) { lines.push_back(line); };
    worker = std::make_unique<SyncWorker>(params, std::make_unique<MariaDbBackend>(), hooks);
  }
  void Post(int32_t team, const std::string& kind, int32_t count) {
    own[{team, kind}] = count;
    const ::CountRow row{team, kind, count};
    worker->PostChanges(std::span(&row, 1));
  }
  // The game thread's timer: hands over, and applies what was read.
  void Tick() {
    worker->OnTimer();
    const ReadResult read = worker->TakeIncoming();
    if (read.complete) {
      std::erase_if(others, [&](const auto& known) {
        return std::none_of(read.maps.begin(), read.maps.end(),
                            [&](const MapUpdate& update) { return update.map == known.first; });
      });
    }
    for (const auto& map : read.forgotten) others.erase(map);
    for (const auto& update : read.maps) {
      EXPECT_NE(update.map, name) << "a map read its own rows";
      auto& counts = others[update.map];
      if (update.replace_all || read.complete) counts.clear();
      for (const auto& row : update.rows) {
        if (row.count == 0) {
          counts.erase({row.team, row.kind});
        } else {
          counts[{row.team, row.kind}] = row.count;
        }
      }
    }
  }
  int32_t Of(const std::string& map, int32_t team, const std::string& kind) const {
    const auto it = others.find(map);
    if (it == others.end()) return 0;
    const auto row = it->second.find({team, kind});
    return row == it->second.end() ? 0 : row->second;
  }
  std::size_t Lines(LogLine::Level level) const {
    return std::count_if(lines.begin(), lines.end(),
                         [&](const LogLine& line) { return line.level == level; });
  }
};

// Runs the maps' timers until `done`, for at most a few seconds.
template <typename Done>
bool Until(std::initializer_list<MapUnderTest*> maps, Done&& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
  while (std::chrono::steady_clock::now() < deadline) {
    for (MapUnderTest* map : maps) map->Tick();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// Asks every map for a sync and waits until each is in sync and has read what every other wrote.
bool Synced(std::initializer_list<MapUnderTest*> maps) {
  // Two rounds: a map's read in the first may begin before another map's write ends; every read
  // of the second begins after every write of the first.
  for (int round = 0; round < 2; ++round) {
    for (MapUnderTest* map : maps) map->worker->RequestSync();
    const bool synced = Until(maps, [&] {
      return std::all_of(maps.begin(), maps.end(), [](MapUnderTest* map) {
        const ClusterStatus status = map->worker->Status();
        return status.state == LinkState::kConnected && status.in_sync;
      });
    });
    if (!synced) return false;
  }
  return true;
}

TEST(MariaDbBackend, TwoMapsShareCountsThroughAnOutageAndForget) {
  server->CreateDatabase("workers");
  MapUnderTest island{"TheIsland"};
  MapUnderTest ragnarok{"Ragnarok"};
  island.own[{7, ""}] = 1;  // known before the first connect: written as the whole state
  island.own[{7, kRex}] = 1;
  island.Start("workers");
  ragnarok.Start("workers");
  ASSERT_TRUE(Synced({&island, &ragnarok}));
  ASSERT_TRUE(Synced({&ragnarok}));  // a read begun after the island's first write
  EXPECT_EQ(ragnarok.Of("TheIsland", 7, kRex), 1);

  // Changes made on one map are counted on the other after a sync of both.
  island.Post(7, "", 3);
  island.Post(7, kRex, 3);
  ragnarok.Post(8, kRaptor, 2);
  ragnarok.Post(8, "", 2);
  ASSERT_TRUE(Synced({&island, &ragnarok}));
  ASSERT_TRUE(Synced({&island, &ragnarok}));  // each read began after the other's write
  EXPECT_EQ(ragnarok.Of("TheIsland", 7, kRex), 3);
  EXPECT_EQ(ragnarok.Of("TheIsland", 7, ""), 3);
  EXPECT_EQ(island.Of("Ragnarok", 8, kRaptor), 2);
  EXPECT_EQ(island.others.count("TheIsland"), 0u);

  // The database goes away: the worker says so once, keeps what changes, and Stop still ends in
  // time. A count that went to 0 meanwhile reaches the others once the database is back.
  server->Stop(/*kill=*/true);
  island.Post(7, kRex, 0);
  island.Post(7, "", 0);
  island.Post(9, kRaptor, 4);
  island.Post(9, "", 4);
  ASSERT_TRUE(Until({&island, &ragnarok}, [&] {
    return island.worker->Status().state == LinkState::kUnreachable &&
           ragnarok.worker->Status().state == LinkState::kUnreachable;
  }));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // several reconnects fail
  const auto stopping = std::chrono::steady_clock::now();
  ragnarok.worker->Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::milliseconds(2500));
  ragnarok.Tick();
  server->Start();
  ASSERT_TRUE(Synced({&island}));
  EXPECT_EQ(island.Lines(LogLine::Level::kWarning), 1u);
  EXPECT_EQ(island.Lines(LogLine::Level::kInfo), 1u);
  EXPECT_EQ(island.Lines(LogLine::Level::kError), 0u);
  EXPECT_EQ(island.Of("Ragnarok", 8, kRaptor), 2);  // the last known counts stayed

  // Ragnarok again, as after a restart: it reads everything, and its own rows are still there.
  MapUnderTest ragnarok_again{"Ragnarok"};
  ragnarok_again.own = ragnarok.own;
  ragnarok_again.Start("workers");
  ASSERT_TRUE(Synced({&island, &ragnarok_again}));
  ASSERT_TRUE(Synced({&island, &ragnarok_again}));
  EXPECT_EQ(ragnarok_again.others["TheIsland"],
            (std::map<std::pair<int32_t, std::string>, int32_t>{{{9, ""}, 4}, {{9, kRaptor}, 4}}));
  EXPECT_EQ(island.Of("Ragnarok", 8, kRaptor), 2);

  // A retired map forgotten on one map is dropped there at once, and from the database.
  ragnarok_again.worker->Stop();
  EXPECT_FALSE(island.worker->Forget("TheIsland"));
  EXPECT_TRUE(island.worker->Forget("Ragnarok"));
  island.Tick();
  EXPECT_EQ(island.others.count("Ragnarok"), 0u);
  ASSERT_TRUE(Synced({&island}));
  Database reader_db(Params("workers"));
  ClusterTables reader(reader_db, "main", "Reader");
  const auto read = reader.ReadAllOthers();
  ASSERT_EQ(read.changed.size(), 1u);
  EXPECT_EQ(read.changed[0].map, "TheIsland");
}

// A map whose own interval is an hour still writes a change at once: another map, reading every
// 200 ms, counts it within about that, whatever the writer's phase.
TEST(MariaDbBackend, AChangeIsCountedElsewhereWithinTheReadersInterval) {
  server->CreateDatabase("prompt");
  MapUnderTest island{"TheIsland"};
  MapUnderTest ragnarok{"Ragnarok"};
  island.Start("prompt", std::string(PrivateMariaDb::kPassword), std::chrono::hours(1));
  ragnarok.Start("prompt", std::string(PrivateMariaDb::kPassword), std::chrono::milliseconds(200));
  ASSERT_TRUE(Synced({&island, &ragnarok}));
  for (int32_t count = 1; count <= 3; ++count) {
    island.Post(7, kRex, count);
    const auto posted = std::chrono::steady_clock::now();
    ASSERT_TRUE(
        Until({&island, &ragnarok}, [&] { return ragnarok.Of("TheIsland", 7, kRex) == count; }));
    // Generous over 200 ms for a loaded machine, far below the writer's hour.
    EXPECT_LT(std::chrono::steady_clock::now() - posted, std::chrono::seconds(3));
  }
}

// Three maps, a team one place below a limit in the cluster, each map checking its own count
// plus the others' as last read, and each gaining before any of them reads again: each grants
// one place, refuses at once after it, and counts every map's gain after one of its reads.
TEST(MariaDbBackend, ThreeMapsGainingAtOnceEachGrantOnceAndThenCountAll) {
  server->CreateDatabase("race");
  const std::string password(PrivateMariaDb::kPassword);
  MapUnderTest island{"TheIsland"}, ragnarok{"Ragnarok"}, aberration{"Aberration"};
  MapUnderTest* const maps[] = {&island, &ragnarok, &aberration};
  for (MapUnderTest* map : maps) {
    map->Start("race", password, std::chrono::milliseconds(100));
    map->Post(7, kRex, 13);
  }
  ASSERT_TRUE(Synced({&island, &ragnarok, &aberration}));
  const auto in_cluster = [](const MapUnderTest& map) {
    int32_t sum = map.own.at({7, kRex});
    for (const auto& [other, counts] : map.others) sum += map.Of(other, 7, kRex);
    return sum;
  };
  constexpr int32_t kLimit = 40;
  for (MapUnderTest* map : maps) ASSERT_EQ(in_cluster(*map), kLimit - 1) << map->name;
  for (MapUnderTest* map : maps) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (in_cluster(*map) < kLimit) map->Post(7, kRex, map->own.at({7, kRex}) + 1);
    }
    EXPECT_EQ(map->own.at({7, kRex}), 14) << map->name;
  }
  ASSERT_TRUE(Until({&island, &ragnarok, &aberration}, [&] {
    return std::all_of(std::begin(maps), std::end(maps),
                       [&](MapUnderTest* map) { return in_cluster(*map) == kLimit + 2; });
  }));
}

TEST(MariaDbBackend, AWrongPasswordIsReportedWithoutIt) {
  server->CreateDatabase("refused");
  const std::string wrong = "Wr0ng-" + std::string(PrivateMariaDb::kPassword);
  MapUnderTest island{"TheIsland"};
  island.Start("refused", wrong);
  ASSERT_TRUE(Until({&island}, [&] { return island.Lines(LogLine::Level::kWarning) > 0; }));
  const ClusterStatus status = island.worker->Status();
  EXPECT_EQ(status.state, LinkState::kUnreachable);
  EXPECT_NE(status.reason.find("denied"), std::string::npos) << status.reason;
  EXPECT_EQ(status.reason.find(wrong), std::string::npos);
  for (const auto& line : island.lines) {
    EXPECT_EQ(line.text.find(wrong), std::string::npos) << line.text;
    EXPECT_EQ(line.text.find(PrivateMariaDb::kPassword), std::string::npos) << line.text;
  }
  const auto stopping = std::chrono::steady_clock::now();
  island.worker->Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::milliseconds(2500));
}

TEST(MariaDbBackend, RewritesAfterAForgetAndStopsAtAnInterrupt) {
  server->CreateDatabase("interrupted");
  ::ConnectionParams params;
  params.socket = server->socket();
  params.user = PrivateMariaDb::kUser;
  params.password = PrivateMariaDb::kPassword;
  params.database = "interrupted";
  params.cluster_name = "main";
  params.server_name = "TheIsland";
  params.io_timeout = std::chrono::seconds(10);  // far above what the interrupt may take
  MariaDbBackend backend;
  const Outcome connected = backend.Connect(params);
  ASSERT_TRUE(connected.ok()) << connected.reason();
  const std::vector<::CountRow> rows{{1, kRex, 1}};
  const Outcome first = backend.Write(rows, false);
  ASSERT_TRUE(first.ok()) << first.reason();

  // Forgotten by another map while it runs: its next change asks for the whole state, which is
  // then written again (the connection is fine: no outage).
  ::ConnectionParams other_params = params;
  other_params.server_name = "Ragnarok";
  MariaDbBackend other;
  ASSERT_TRUE(other.Connect(other_params).ok());
  ASSERT_TRUE(other.ForgetMap("TheIsland").ok());
  const std::vector<::CountRow> change{{2, kRex, 1}};
  const Outcome after_forget = backend.Write(change, false);
  EXPECT_TRUE(after_forget.ok() && after_forget.whole_state_needed()) << after_forget.reason();
  EXPECT_TRUE(backend.Write(rows, true).ok());
  ReadResult seen_by_other;
  ASSERT_TRUE(other.ReadAll(seen_by_other).ok());
  ASSERT_EQ(seen_by_other.maps.size(), 1u);
  EXPECT_EQ(seen_by_other.maps[0].rows, rows);
  other.Close();

  // Another connection holds the map's row, so the next write waits on the server.
  Database holder(Params("interrupted"));
  holder.Begin();
  holder.Query("SELECT version FROM tw_maps WHERE map = ? FOR UPDATE", {"TheIsland"});
  std::optional<Outcome> written;
  std::thread writer([&] {
    const std::vector<::CountRow> more{{1, kRex, 2}};
    written = backend.Write(more, false);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto interrupted = std::chrono::steady_clock::now();
  backend.Interrupt();
  writer.join();
  EXPECT_LT(std::chrono::steady_clock::now() - interrupted, std::chrono::seconds(1));
  ASSERT_TRUE(written.has_value());
  EXPECT_FALSE(written->ok());
  ReadResult read;
  EXPECT_FALSE(backend.ReadAll(read).ok());
  EXPECT_FALSE(backend.ForgetMap("Ragnarok").ok());
  EXPECT_FALSE(backend.Connect(params).ok());  // and without waiting on a connect
  holder.Rollback();
  backend.Close();
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  cluster::ClientThreadScope client;
  ::testing::AddGlobalTestEnvironment(new ServerEnvironment);
  return RUN_ALL_TESTS();
}
