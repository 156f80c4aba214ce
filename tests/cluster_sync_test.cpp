// The sync worker against an in-memory database: what the game thread posts reaches the
// database coalesced, nothing is lost across an outage, the log says one line per loss and per
// return, RequestSync waits for a read begun after it, Stop is bounded against a backend that
// never answers, and the game thread's calls never wait on the worker. Built to run under
// ThreadSanitizer as well.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "cluster/hand_off.h"
#include "cluster/sync_worker.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Key = std::pair<int32_t, std::string>;
using Rows = std::map<Key, int32_t>;

// The cluster's tables: per map a version and its rows, each row with the version that last
// set it (a count of 0 stays as a row, so that reads of changes see it).
struct FakeDb {
  struct Map {
    int64_t version = 0;
    std::map<Key, std::pair<int32_t, int64_t>> rows;  // count, version
  };
  std::mutex mutex;
  std::map<std::string, Map> maps;

  Rows LiveRows(const std::string& name) {
    std::lock_guard lock(mutex);
    Rows live;
    for (const auto& [key, row] : maps[name].rows) {
      if (row.first != 0) live[key] = row.first;
    }
    return live;
  }
};

enum Call { kConnect, kWrite, kRead, kForget, kCalls };

// A backend over a FakeDb that can be told to fail, to hold calls of one kind until allowed,
// or to hang in them until interrupted.
class FakeBackend final : public ClusterBackend {
 public:
  explicit FakeBackend(std::shared_ptr<FakeDb> db) : db_(std::move(db)) {}

  // ---- The test's controls, from any thread.
  void FailWith(std::string reason) {
    std::lock_guard lock(mutex_);
    failure_ = std::move(reason);
  }
  // How many calls of the kind may still pass; -1 for any number.
  void Allow(Call call, int count) {
    std::lock_guard lock(mutex_);
    allowed_[call] = count;
    changed_.notify_all();
  }
  void Hang(Call call) {
    std::lock_guard lock(mutex_);
    hang_[call] = true;
  }
  int Waiting(Call call) {
    std::lock_guard lock(mutex_);
    return waiting_[call];
  }
  int Calls(Call call) {
    std::lock_guard lock(mutex_);
    return calls_[call];
  }
  std::vector<std::pair<std::vector<CountRow>, bool>> Writes() {
    std::lock_guard lock(mutex_);
    return writes_;
  }

  // ---- ClusterBackend.
  Outcome Connect(const ConnectionParams& params) override {
    if (auto outcome = Enter(kConnect); !outcome.ok()) return outcome;
    self_ = params.server_name;
    return Outcome::Ok();
  }
  Outcome Write(std::span<const CountRow> rows, bool whole_state) override {
    if (auto outcome = Enter(kWrite); !outcome.ok()) return outcome;
    {
      std::lock_guard lock(mutex_);
      writes_.emplace_back(std::vector<CountRow>(rows.begin(), rows.end()), whole_state);
    }
    std::lock_guard lock(db_->mutex);
    FakeDb::Map& map = db_->maps[self_];
    const int64_t version = ++map.version;
    if (whole_state) {
      for (auto& [key, row] : map.rows) row = {0, version};
    }
    for (const auto& row : rows) map.rows[{row.team, row.kind}] = {row.count, version};
    return Outcome::Ok();
  }
  Outcome ReadChanges(const std::map<std::string, int64_t>& seen, ReadResult& out) override {
    if (auto outcome = Enter(kRead); !outcome.ok()) return outcome;
    std::lock_guard lock(db_->mutex);
    for (const auto& [name, version] : seen) {
      if (!db_->maps.contains(name)) out.forgotten.push_back(name);
    }
    for (const auto& [name, map] : db_->maps) {
      if (name == self_) continue;
      const auto known = seen.find(name);
      const int64_t since = known == seen.end() ? -1 : known->second;
      if (map.version <= since) continue;
      MapUpdate update{.map = name, .version = map.version, .replace_all = since < 0};
      for (const auto& [key, row] : map.rows) {
        if (row.second > since) update.rows.push_back({key.first, key.second, row.first});
      }
      out.maps.push_back(std::move(update));
    }
    return Outcome::Ok();
  }
  Outcome ReadAll(ReadResult& out) override {
    if (auto outcome = ReadChanges({}, out); !outcome.ok()) return outcome;
    out.complete = true;
    return Outcome::Ok();
  }
  Outcome ForgetMap(std::string_view map) override {
    if (auto outcome = Enter(kForget); !outcome.ok()) return outcome;
    std::lock_guard lock(db_->mutex);
    db_->maps.erase(std::string(map));
    return Outcome::Ok();
  }
  void Close() override {}
  void Interrupt() override {
    std::lock_guard lock(mutex_);
    interrupted_ = true;
    changed_.notify_all();
  }

 private:
  Outcome Enter(Call call) {
    std::unique_lock lock(mutex_);
    ++calls_[call];
    ++waiting_[call];
    changed_.wait(lock, [&] { return interrupted_ || (!hang_[call] && allowed_[call] != 0); });
    --waiting_[call];
    if (interrupted_) return Outcome::Failed("interrupted");
    if (allowed_[call] > 0) --allowed_[call];
    if (!failure_.empty()) return Outcome::Failed(failure_);
    return Outcome::Ok();
  }

  std::shared_ptr<FakeDb> db_;
  std::string self_;  // worker thread only
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string failure_;
  bool interrupted_ = false;
  int allowed_[kCalls] = {-1, -1, -1, -1};
  bool hang_[kCalls] = {};
  int waiting_[kCalls] = {};
  int calls_[kCalls] = {};
  std::vector<std::pair<std::vector<CountRow>, bool>> writes_;
};

// One map's game thread: its own counts, what it knows of the others, the lines it logged.
struct Game {
  Rows own;
  std::map<std::string, Rows> others;
  std::vector<LogLine> lines;

  SyncHooks Hooks() {
    return {.snapshot =
                [this] {
                  std::vector<CountRow> rows;
                  for (const auto& [key, count] : own)
                    rows.push_back({key.first, key.second, count});
                  return std::optional(rows);
                },
            .log = [this](const LogLine& line) { lines.push_back(line); }};
  }
  void Set(SyncWorker& worker, int32_t team, const std::string& kind, int32_t count) {
    if (count == 0) {
      own.erase({team, kind});
    } else {
      own[{team, kind}] = count;
    }
    const CountRow row{team, kind, count};
    worker.PostChanges({&row, 1});
  }
  void Apply(const ReadResult& read) {
    if (read.complete) {
      std::erase_if(others, [&](const auto& map) {
        return std::none_of(read.maps.begin(), read.maps.end(),
                            [&](const MapUpdate& update) { return update.map == map.first; });
      });
    }
    for (const auto& name : read.forgotten) others.erase(name);
    for (const auto& update : read.maps) {
      Rows& rows = others[update.map];
      if (update.replace_all) rows.clear();
      for (const auto& row : update.rows) {
        if (row.count == 0) {
          rows.erase({row.team, row.kind});
        } else {
          rows[{row.team, row.kind}] = row.count;
        }
      }
    }
  }
  int Lines(LogLine::Level level) const {
    return static_cast<int>(std::count_if(
        lines.begin(), lines.end(), [&](const LogLine& line) { return line.level == level; }));
  }
};

ClusterParams Params(const std::string& map, std::chrono::milliseconds interval = 10ms) {
  ClusterParams params;
  params.connection.server_name = map;
  params.connection.cluster_name = "main";
  params.connection.password = "hunter2";
  params.sync_interval = interval;
  params.backoff_first = 5ms;
  params.backoff_max = 40ms;
  return params;
}

// Runs the game thread's timer until `done` holds, at most 5 s.
template <typename Done>
bool PumpUntil(std::vector<std::pair<SyncWorker*, Game*>> maps, Done&& done) {
  const auto deadline = Clock::now() + 5s;
  while (true) {
    for (auto [worker, game] : maps) {
      worker->OnTimer();
      game->Apply(worker->TakeIncoming());
    }
    if (done()) return true;
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
}
template <typename Done>
bool PumpUntil(SyncWorker& worker, Game& game, Done&& done) {
  return PumpUntil({{&worker, &game}}, std::forward<Done>(done));
}
bool InSync(SyncWorker& worker) { return worker.Status().in_sync; }

// A merged result applies as the results one after the other do: generated sequences.
TEST(ClusterMergeRead, MergedEqualsSequential) {
  std::mt19937 random(18);
  const std::string names[] = {"A", "B", "C"};
  const std::string kinds[] = {"", "Rex", "It's"};
  for (int round = 0; round < 300; ++round) {
    Game sequential, merged;
    ReadResult all;
    const int reads = 1 + static_cast<int>(random() % 5);
    for (int r = 0; r < reads; ++r) {
      ReadResult read;
      read.complete = random() % 6 == 0;
      for (const auto& name : names) {
        const unsigned pick = random() % 4;
        if (pick == 0 && !read.complete) read.forgotten.push_back(name);
        if (pick >= 2 || (read.complete && pick == 1)) {
          MapUpdate update{.map = name, .replace_all = read.complete || random() % 3 == 0};
          for (int n = static_cast<int>(random() % 4); n > 0; --n) {
            update.rows.push_back({static_cast<int32_t>(random() % 3), kinds[random() % 3],
                                   static_cast<int32_t>(random() % 3)});
          }
          read.maps.push_back(std::move(update));
        }
      }
      sequential.Apply(read);
      MergeRead(all, std::move(read));
    }
    merged.Apply(all);
    ASSERT_EQ(merged.others, sequential.others) << "round " << round;
  }
}

// Changes reach the database coalesced per (team, kind) and in batches; another map reads them,
// and forgetting that map drops it here at once and from the database.
TEST(ClusterSyncWorker, ChangesAreCoalescedBatchedReadAndForgotten) {
  auto db = std::make_shared<FakeDb>();
  auto params = Params("Island");
  params.batch_rows = 3;
  Game island_game, tundra_game;
  island_game.own[{7, ""}] = 1;
  auto* backend = new FakeBackend(db);
  SyncWorker island(params, std::unique_ptr<ClusterBackend>(backend), island_game.Hooks());
  SyncWorker tundra(Params("Tundra"), std::make_unique<FakeBackend>(db), tundra_game.Hooks());
  const std::vector<std::pair<SyncWorker*, Game*>> both = {{&island, &island_game},
                                                           {&tundra, &tundra_game}};
  ASSERT_TRUE(PumpUntil(both, [&] { return InSync(island) && InSync(tundra); }));
  EXPECT_EQ(db->LiveRows("Island"), island_game.own);  // the snapshot after connecting

  // Hold writes while one is under way, so that everything posted meanwhile is taken at once.
  backend->Allow(kWrite, 0);
  island_game.Set(island, 1, "Rex", 1);
  island.RequestSync();
  ASSERT_TRUE(PumpUntil(island, island_game, [&] { return backend->Waiting(kWrite) == 1; }));
  const std::size_t writes_before = backend->Writes().size();
  for (int count = 2; count <= 40; ++count) island_game.Set(island, 1, "Rex", count);
  for (int team = 2; team <= 8; ++team) island_game.Set(island, team, "It's \\;", team);
  island_game.Set(island, 7, "", 0);
  EXPECT_FALSE(InSync(island));
  EXPECT_EQ(DescribeState(island.Status()), "connected, 48 changes to write");
  backend->Allow(kWrite, -1);
  ASSERT_TRUE(PumpUntil(
      both, [&] { return InSync(island) && tundra_game.others["Island"] == island_game.own; }));
  EXPECT_EQ(DescribeState(island.Status()), "connected, in sync");
  EXPECT_EQ(db->LiveRows("Island"), island_game.own);

  // After the held write of one row: 9 coalesced rows in batches of at most 3.
  const auto writes = backend->Writes();
  std::map<Key, int> times;
  std::size_t rows = 0;
  for (std::size_t i = writes_before; i < writes.size(); ++i) {
    EXPECT_FALSE(writes[i].second);
    EXPECT_LE(writes[i].first.size(), 3u);
    for (const auto& row : writes[i].first) ++times[{row.team, row.kind}], ++rows;
  }
  EXPECT_EQ(rows, 10u);  // (1, Rex) twice: once held, once coalesced from 39 changes
  EXPECT_EQ(times[Key(1, "Rex")], 2);

  const auto map_info = tundra.Status().maps;
  ASSERT_EQ(map_info.size(), 2u);
  EXPECT_EQ(map_info[0].name, "Island");
  EXPECT_EQ(map_info[0].teams, 0);  // island wrote no team total but 7's, now 0
  EXPECT_TRUE(map_info[1].self);

  EXPECT_FALSE(tundra.Forget("Tundra"));
  EXPECT_TRUE(tundra.Forget("Island"));
  tundra_game.Apply(tundra.TakeIncoming());
  EXPECT_FALSE(tundra_game.others.contains("Island"));
  tundra.RequestSync();
  ASSERT_TRUE(PumpUntil(tundra, tundra_game, [&] { return InSync(tundra); }));
  EXPECT_FALSE(tundra_game.others.contains("Island"));
  std::lock_guard lock(db->mutex);
  EXPECT_FALSE(db->maps.contains("Island"));
}

// An outage: one warning with the reason, whatever the number of attempts, one line when back;
// changes made meanwhile are written after it, and the whole state is written again (here to a
// database that lost this map's rows).
TEST(ClusterSyncWorker, OutageLosesNothingAndLogsOnceEachWay) {
  auto db = std::make_shared<FakeDb>();
  Game game;
  game.own[{1, "Rex"}] = 2;
  auto* backend = new FakeBackend(db);
  SyncWorker worker(Params("Island"), std::unique_ptr<ClusterBackend>(backend), game.Hooks());
  ASSERT_TRUE(PumpUntil(worker, game, [&] { return InSync(worker); }));
  EXPECT_TRUE(game.lines.empty());

  backend->FailWith("Lost connection to server during query; hunter2");
  game.Set(worker, 2, "Rex", 3);
  ASSERT_TRUE(PumpUntil(worker, game, [&] {
    return worker.Status().state == LinkState::kUnreachable && backend->Calls(kConnect) >= 5;
  }));
  game.Set(worker, 1, "Rex", 0);
  game.Set(worker, 3, "", 4);
  const ClusterStatus status = worker.Status();
  EXPECT_EQ(DescribeState(status).find("unreachable since "), 0u);
  EXPECT_EQ(status.reason, "Lost connection to server during query; ***");
  {
    std::lock_guard lock(db->mutex);
    db->maps.clear();
  }
  PumpUntil(worker, game, [] { return true; });
  ASSERT_EQ(game.lines.size(), 1u);
  EXPECT_EQ(game.lines[0].level, LogLine::Level::kWarning);
  EXPECT_NE(game.lines[0].text.find("Lost connection to server during query"), std::string::npos);

  backend->FailWith("");
  ASSERT_TRUE(PumpUntil(worker, game, [&] { return InSync(worker); }));
  EXPECT_EQ(db->LiveRows("Island"), (Rows{{{2, "Rex"}, 3}, {{3, ""}, 4}}));
  EXPECT_EQ(game.Lines(LogLine::Level::kWarning), 1);
  EXPECT_EQ(game.Lines(LogLine::Level::kInfo), 1);
  for (const auto& line : game.lines) EXPECT_EQ(line.text.find("hunter2"), std::string::npos);
  const auto writes = backend->Writes();
  EXPECT_TRUE(
      std::any_of(writes.begin() + 1, writes.end(), [](const auto& w) { return w.second; }));
}

// RequestSync: in sync only once a read begun after the latest request has finished, and every
// change posted before it is written.
TEST(ClusterSyncWorker, RequestSyncWaitsForAReadBegunAfterIt) {
  auto db = std::make_shared<FakeDb>();
  Game game;
  auto* backend = new FakeBackend(db);
  // A long interval: reads happen only when asked.
  SyncWorker worker(Params("Island", 1h), std::unique_ptr<ClusterBackend>(backend), game.Hooks());
  ASSERT_TRUE(PumpUntil(worker, game, [&] { return InSync(worker); }));
  const int reads = backend->Calls(kRead);

  backend->Allow(kRead, 0);
  game.Set(worker, 1, "Rex", 1);
  worker.RequestSync();
  ASSERT_TRUE(PumpUntil(worker, game, [&] { return backend->Waiting(kRead) == 1; }));
  EXPECT_EQ(db->LiveRows("Island"), game.own);  // written, but the read has not finished
  worker.RequestSync();                         // while the first read runs
  backend->Allow(kRead, 1);
  ASSERT_TRUE(PumpUntil(worker, game, [&] {
    return backend->Calls(kRead) == reads + 2 && backend->Waiting(kRead) == 1;
  }));
  EXPECT_FALSE(InSync(worker));  // the finished read began before the second request
  backend->Allow(kRead, -1);
  ASSERT_TRUE(PumpUntil(worker, game, [&] { return InSync(worker); }));
  game.Set(worker, 1, "Rex", 2);
  EXPECT_FALSE(InSync(worker));  // posted, not yet written
}

// Changes are written as soon as they are handed over, not at the next interval, while reads stay
// one an interval: a burst takes a few writes, and a write that fails is retried after a
// reconnect, which reads everything again.
TEST(ClusterSyncWorker, ChangesAreWrittenAtOnceAndReadsWaitForTheInterval) {
  auto db = std::make_shared<FakeDb>();
  Game game;
  auto* backend = new FakeBackend(db);
  SyncWorker worker(Params("Island", 1h), std::unique_ptr<ClusterBackend>(backend), game.Hooks());
  ASSERT_TRUE(PumpUntil(worker, game, [&] { return InSync(worker); }));
  const int reads = backend->Calls(kRead);

  game.Set(worker, 1, "Rex", 1);
  ASSERT_TRUE(PumpUntil(worker, game, [&] { return db->LiveRows("Island") == game.own; }));
  const std::size_t writes = backend->Writes().size();
  const auto burst = Clock::now();
  for (int count = 2; count <= 200; ++count) {
    game.Set(worker, 1 + count % 5, "Raptor", count);
    std::this_thread::sleep_for(500us);
  }
  ASSERT_TRUE(PumpUntil(worker, game, [&] { return db->LiveRows("Island") == game.own; }));
  const auto took = Clock::now() - burst;
  // At most one write per gap while the changes came, and a last one after them.
  EXPECT_LE(backend->Writes().size() - writes, took / SyncWorker::kChangesGap + 2);
  EXPECT_EQ(backend->Calls(kRead), reads);
  EXPECT_TRUE(InSync(worker));

  backend->FailWith("Lost connection to server during query");
  game.Set(worker, 2, "Rex", 7);
  ASSERT_TRUE(
      PumpUntil(worker, game, [&] { return worker.Status().state == LinkState::kUnreachable; }));
  // Meanwhile changes keep coming: reconnects still wait for the backoff (at most 40 ms here).
  const int connects = backend->Calls(kConnect);
  const auto outage = Clock::now();
  for (int count = 1; count <= 200; ++count) {
    game.Set(worker, 3, "Rex", count);
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_LE(backend->Calls(kConnect) - connects, (Clock::now() - outage) / 40ms + 5);
  backend->FailWith("");
  ASSERT_TRUE(PumpUntil(worker, game, [&] { return InSync(worker); }));
  EXPECT_EQ(db->LiveRows("Island"), game.own);
  EXPECT_GT(backend->Calls(kRead), reads);       // the reconnect's full read
  EXPECT_TRUE(backend->Writes().back().second);  // and the whole state after it
}

// The worker's sleep ends at changes handed over only when it waits for them.
TEST(ClusterHandOff, ChangesEndOnlyASleepThatWaitsForThem) {
  HandOff hand_off;
  const auto post_later = [&] {
    return std::thread([&] {
      std::this_thread::sleep_for(20ms);
      const CountRow row{1, "Rex", 1};
      hand_off.Post({&row, 1});
      while (!hand_off.Flush()) std::this_thread::yield();  // the sleeper may hold the lock
    });
  };
  auto start = Clock::now();
  std::thread poster = post_later();
  hand_off.Sleep(start + 300ms);
  poster.join();
  EXPECT_GE(Clock::now() - start, 300ms);
  EXPECT_EQ(hand_off.TakeOutgoing().changes.size(), 1u);

  start = Clock::now();
  poster = post_later();
  hand_off.Sleep(start + 60s, /*on_changes=*/true);
  poster.join();
  EXPECT_LT(Clock::now() - start, 10s);
  EXPECT_EQ(hand_off.TakeOutgoing().changes.size(), 1u);
}

// Stop is bounded against a backend that never answers, wherever it hangs, and meanwhile the
// game thread's calls return: posting, the timer, taking results, status, requests.
TEST(ClusterSyncWorker, StopIsBoundedAndTheGameNeverWaits) {
  for (const Call hang : {kConnect, kWrite, kRead}) {
    SCOPED_TRACE(hang);
    auto db = std::make_shared<FakeDb>();
    Game game;
    game.own[{1, "Rex"}] = 1;
    auto* backend = new FakeBackend(db);
    backend->Hang(hang);  // a write comes with the snapshot after the first read
    // The real bound where writes hang, a shorter one elsewhere to keep the test quick.
    auto params = Params("Island");
    if (hang != kWrite) params.stop_bound = 400ms;
    auto worker = std::make_unique<SyncWorker>(params, std::unique_ptr<ClusterBackend>(backend),
                                               game.Hooks());
    ASSERT_TRUE(PumpUntil(*worker, game, [&] { return backend->Waiting(hang) == 1; }));
    // Where a read hangs, the snapshot may not be handed over yet.
    const std::string state = DescribeState(worker->Status());
    EXPECT_EQ(state.substr(0, 10), hang == kConnect ? "connecting" : "connected,") << state;
    for (int i = 0; i < 20000; ++i) {
      game.Set(*worker, i % 100, "Raptor", i);
      worker->OnTimer();
      game.Apply(worker->TakeIncoming());
      if (i % 1000 == 0) worker->RequestSync(), (void)worker->Status();
    }
    EXPECT_FALSE(InSync(*worker));
    const auto start = Clock::now();
    worker->Stop();
    const auto took = Clock::now() - start;
    // Generous slack over the bound, for a loaded machine; the worker waited for the pending
    // writes before interrupting.
    EXPECT_LT(took, params.stop_bound + 1s)
        << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
    EXPECT_GE(took, params.stop_bound / 2);
    EXPECT_TRUE(game.lines.empty());  // an interrupted call at unload is no outage
    worker.reset();
  }
}

// Stop writes what is pending when the database answers.
TEST(ClusterSyncWorker, StopWritesWhatIsPending) {
  auto db = std::make_shared<FakeDb>();
  Game game;
  SyncWorker worker(Params("Island", 1h), std::make_unique<FakeBackend>(db), game.Hooks());
  ASSERT_TRUE(PumpUntil(worker, game, [&] { return InSync(worker); }));
  for (int team = 1; team <= 50; ++team) game.Set(worker, team, "", team);
  worker.Stop();
  EXPECT_EQ(db->LiveRows("Island"), game.own);
  worker.Stop();  // idempotent
}

// A reload keeps the worker for equal parameters, and replaces it otherwise; a changed cluster
// voids what is known of other maps.
TEST(ClusterSyncWorker, ReplaceWorkerOnReload) {
  auto db = std::make_shared<FakeDb>();
  Game game;
  int backends = 0;
  const auto make = [&] {
    ++backends;
    return std::make_unique<FakeBackend>(db);
  };
  std::unique_ptr<SyncWorker> worker;
  std::vector<std::unique_ptr<SyncWorker>> retiring;
  EXPECT_FALSE(ReplaceWorker(worker, retiring, Params("Island"), make, game.Hooks()));
  SyncWorker* first = worker.get();
  EXPECT_FALSE(ReplaceWorker(worker, retiring, Params("Island"), make, game.Hooks()));
  EXPECT_EQ(worker.get(), first);
  auto faster = Params("Island", 20ms);
  EXPECT_FALSE(ReplaceWorker(worker, retiring, faster, make, game.Hooks()));
  auto other = faster;
  other.connection.cluster_name = "other";
  EXPECT_TRUE(ReplaceWorker(worker, retiring, other, make, game.Hooks()));
  ASSERT_TRUE(PumpUntil(*worker, game, [&] { return InSync(*worker); }));
  EXPECT_TRUE(ReplaceWorker(worker, retiring, std::nullopt, make, game.Hooks()));
  EXPECT_EQ(worker, nullptr);
  EXPECT_EQ(backends, 3);
  // The replaced workers were asked to stop, never waited for: each ends by itself.
  ASSERT_EQ(retiring.size(), 3u);
  for (auto& old : retiring) {
    ASSERT_TRUE(PumpUntil(*old, game, [&] { return old->Finished(); }));
    old->Stop();
  }
}

}  // namespace
