// The cluster's figures, against a private MariaDB server this program starts itself: how soon a
// change made on one map is counted on another, what the recount of the benchmark level writes,
// and how far maps that gain at the same moment can pass a limit. Run by hand (it takes under a
// minute); each figure is one line, the details it rests on follow it indented. Nothing here
// asserts on time: a figure out of its bound is printed as such.
//
//   tw_cluster_bench [--changes N] [--actors N] [--rounds N] [--interval-ms N]
#include <algorithm>
#include <barrier>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench/bench_world.h"
#include "cluster/database.h"
#include "cluster/mariadb_backend.h"
#include "cluster/sync_worker.h"
#include "counting/dino_count_store.h"
#include "counting/recount.h"
#include "sim/tool/private_mariadb.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Key = std::pair<int32_t, std::string>;
using Counts = std::map<Key, int32_t>;

struct Options {
  int changes = 1000;
  int64_t actors = 1'000'000;
  int rounds = 10;
  std::chrono::milliseconds interval{500};
};

// The framework's timer, which passes what a post could not hand over and answers the worker.
constexpr auto kGameTimer = 1s;
// A game thread between two looks at what its worker read (a short sleep of a tight loop).
constexpr auto kPoll = 200us;

double Ms(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

// p50, p99 and the largest of some durations, as a line's words.
struct Spread {
  double p50 = 0, p99 = 0, max = 0;

  static Spread Of(std::vector<double> values) {
    Spread spread;
    if (values.empty()) return spread;
    std::sort(values.begin(), values.end());
    const auto at = [&](double share) {
      const auto rank = static_cast<std::size_t>(std::ceil(share * values.size()));
      return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
    };
    spread.p50 = at(0.50);
    spread.p99 = at(0.99);
    spread.max = values.back();
    return spread;
  }
  std::string Text() const {
    char text[96];
    std::snprintf(text, sizeof text, "p50 %.1f ms, p99 %.1f ms, max %.1f ms", p50, p99, max);
    return text;
  }
};

// The real backend, with what went through its writes noted: rows, calls and time, and when
// each row's write ended.
class NotingBackend final : public ClusterBackend {
 public:
  struct Noted {
    std::size_t writes = 0;
    std::size_t rows = 0;
    std::size_t whole_state_rows = 0;
    Clock::duration whole_state_time{};
  };
  using OnWritten = std::function<void(std::span<const CountRow>, Clock::time_point)>;

  explicit NotingBackend(OnWritten on_written = {}) : on_written_(std::move(on_written)) {}

  Noted noted() {
    std::lock_guard lock(mutex_);
    return noted_;
  }

  Outcome Connect(const ConnectionParams& params) override { return real_.Connect(params); }
  Outcome Write(std::span<const CountRow> rows, bool whole_state) override {
    const auto start = Clock::now();
    Outcome outcome = real_.Write(rows, whole_state);
    const auto end = Clock::now();
    if (!outcome.ok()) return outcome;
    if (on_written_) on_written_(rows, end);
    std::lock_guard lock(mutex_);
    ++noted_.writes;
    noted_.rows += rows.size();
    if (whole_state) {
      noted_.whole_state_rows += rows.size();
      noted_.whole_state_time += end - start;
    }
    return outcome;
  }
  Outcome ReadChanges(const std::map<std::string, int64_t>& seen, ReadResult& out) override {
    return real_.ReadChanges(seen, out);
  }
  Outcome ReadAll(ReadResult& out) override { return real_.ReadAll(out); }
  Outcome ForgetMap(std::string_view map) override { return real_.ForgetMap(map); }
  void Close() override { real_.Close(); }
  void Interrupt() override { real_.Interrupt(); }

 private:
  MariaDbBackend real_;
  const OnWritten on_written_;
  std::mutex mutex_;
  Noted noted_;
};

// One map's game thread: its own counts, the other maps' counts as last read, and its worker.
struct Map {
  std::string name;
  Counts own;
  std::map<std::string, Counts> others;
  // This map's whole state when the worker asks for it; `own` without one.
  std::function<std::vector<CountRow>()> snapshot;
  NotingBackend* backend = nullptr;
  std::unique_ptr<SyncWorker> worker;
  Clock::time_point last_timer;

  void Start(const PrivateMariaDb& server, const std::string& database,
             std::chrono::milliseconds interval, NotingBackend::OnWritten on_written = {}) {
    ClusterParams params;
    params.connection.socket = server.socket();
    params.connection.user = PrivateMariaDb::kUser;
    params.connection.password = PrivateMariaDb::kPassword;
    params.connection.database = database;
    params.connection.cluster_name = "bench";
    params.connection.server_name = name;
    params.sync_interval = interval;
    SyncHooks hooks;
    hooks.snapshot = [this] {
      if (snapshot) return std::optional(snapshot());
      std::vector<CountRow> rows;
      for (const auto& [key, count] : own) rows.push_back({key.first, key.second, count});
      return std::optional(rows);
    };
    hooks.log = [this](const LogLine& line) {
      std::fprintf(stderr, "  [%s] %s\n", name.c_str(), line.text.c_str());
    };
    auto made = std::make_unique<NotingBackend>(std::move(on_written));
    backend = made.get();
    worker = std::make_unique<SyncWorker>(params, std::move(made), hooks);
  }

  // A change of this map's count, handed to the worker as a hook's change would be.
  void Set(int32_t team, const std::string& kind, int32_t count) {
    own[{team, kind}] = count;
    const CountRow row{team, kind, count};
    worker->PostChanges({&row, 1});
    Timer();
  }
  void Timer() {
    worker->OnTimer();
    last_timer = Clock::now();
  }
  // What a game thread does between its checks: the timer once a second, and what was read.
  ReadResult Poll() {
    if (Clock::now() - last_timer >= kGameTimer) Timer();
    ReadResult read = worker->TakeIncoming();
    Apply(read);
    return read;
  }
  void Apply(const ReadResult& read) {
    if (read.complete) {
      std::erase_if(others, [&](const auto& known) {
        return std::none_of(read.maps.begin(), read.maps.end(),
                            [&](const MapUpdate& update) { return update.map == known.first; });
      });
    }
    for (const auto& gone : read.forgotten) others.erase(gone);
    for (const auto& update : read.maps) {
      Counts& counts = others[update.map];
      if (update.replace_all) counts.clear();
      for (const auto& row : update.rows) {
        if (row.count == 0) {
          counts.erase({row.team, row.kind});
        } else {
          counts[{row.team, row.kind}] = row.count;
        }
      }
    }
  }
  // The team's count of the kind in the cluster as this map's check sees it.
  int64_t Cluster(int32_t team, const std::string& kind) const {
    const auto of = [&](const Counts& counts) -> int64_t {
      const auto found = counts.find({team, kind});
      return found == counts.end() ? 0 : found->second;
    };
    int64_t sum = of(own);
    for (const auto& [other, counts] : others) sum += of(counts);
    return sum;
  }
};

// Runs the maps' game threads (here one) until `done`, at most `limit`.
template <typename Done>
bool Until(std::initializer_list<Map*> maps, Done&& done, Clock::duration limit = 20s) {
  const auto deadline = Clock::now() + limit;
  while (Clock::now() < deadline) {
    for (Map* map : maps) {
      map->Timer();
      map->Poll();
    }
    if (done()) return true;
    std::this_thread::sleep_for(1ms);
  }
  return false;
}

// Every map's changes written and a read begun after that finished, on every map.
bool Synced(std::initializer_list<Map*> maps) {
  for (int pass = 0; pass < 2; ++pass) {  // the second: each read began after every write
    for (Map* map : maps) map->worker->RequestSync();
    const bool synced = Until(maps, [&] {
      return std::all_of(maps.begin(), maps.end(),
                         [](Map* map) { return map->worker->Status().in_sync; });
    });
    if (!synced) return false;
  }
  return true;
}

std::string BoundText(std::chrono::milliseconds interval) {
  return "bound SyncIntervalMs + 50 = " + std::to_string(interval.count() + 50) + " ms";
}

// ---- How soon a change on one map is counted on another.

void Propagation(PrivateMariaDb& server, const Options& options) {
  server.CreateDatabase("tw_propagation");
  const std::string kind = "Blueprint'/Game/Bench/Propagated.Propagated'";
  constexpr int32_t kFirstTeam = 300000;
  const int changes = options.changes;
  std::vector<Clock::time_point> posted(changes), written(changes), seen(changes);
  std::vector<bool> was_written(changes), was_seen(changes);
  std::mutex written_mutex;
  Map a{.name = "A"}, b{.name = "B"};
  a.Start(server, "tw_propagation", options.interval,
          [&](std::span<const CountRow> rows, Clock::time_point at) {
            std::lock_guard lock(written_mutex);
            for (const CountRow& row : rows) {
              const int i = row.team - kFirstTeam;
              if (row.kind == kind && i >= 0 && i < changes && !was_written[i])
                was_written[i] = true, written[i] = at;
            }
          });
  b.Start(server, "tw_propagation", options.interval);
  if (!Synced({&a, &b})) throw std::runtime_error("maps A and B did not get in sync");

  // One change at a time, a random 0-50 ms apart, so that posts fall at every point of either
  // worker's interval; each change is a new team's row, seen once.
  std::mt19937 random(19);
  int next = 0, seen_count = 0;
  auto next_post = Clock::now();
  const auto deadline = next_post + changes * 50ms + 30s;
  while (seen_count < changes && Clock::now() < deadline) {
    if (next < changes && Clock::now() >= next_post) {
      posted[next] = Clock::now();
      a.Set(kFirstTeam + next, kind, 1);
      ++next;
      next_post = Clock::now() + std::chrono::microseconds(random() % 50'000);
    }
    if (Clock::now() - a.last_timer >= kGameTimer) a.Timer();
    const ReadResult read = b.Poll();
    const auto now = Clock::now();
    for (const MapUpdate& update : read.maps) {
      if (update.map != "A") continue;
      for (const CountRow& row : update.rows) {
        const int i = row.team - kFirstTeam;
        if (row.kind == kind && row.count == 1 && i >= 0 && i < next && !was_seen[i])
          was_seen[i] = true, seen[i] = now, ++seen_count;
      }
    }
    std::this_thread::sleep_for(kPoll);
  }
  a.worker->Stop();
  b.worker->Stop();

  std::vector<double> total, writer, reader;
  {
    std::lock_guard lock(written_mutex);
    for (int i = 0; i < changes; ++i) {
      if (!was_seen[i]) continue;
      total.push_back(Ms(seen[i] - posted[i]));
      if (was_written[i]) {
        writer.push_back(Ms(written[i] - posted[i]));
        reader.push_back(Ms(seen[i] - written[i]));
      }
    }
  }
  const Spread spread = Spread::Of(total);
  const auto bound = static_cast<double>(options.interval.count() + 50);
  std::printf("Propagation, %d changes posted on A one at a time until B sees each: %s; %s: %s\n",
              changes, spread.Text().c_str(), BoundText(options.interval).c_str(),
              spread.p99 <= bound ? "p99 within it" : "p99 ABOVE it");
  std::printf("  posted until A's write ended: %s\n", Spread::Of(writer).Text().c_str());
  std::printf("  A's write ended until B's game saw it: %s\n", Spread::Of(reader).Text().c_str());
  std::printf("  %zu writes on A; %d changes never seen\n", a.backend->noted().writes,
              changes - seen_count);
}

// ---- What a recount of the benchmark level writes.

// The rows of a take of the store's changes, as the worker writes them.
std::vector<CountRow> ToRows(const ChangedRows& changed) {
  std::vector<CountRow> rows;
  for (const TeamRows& team : changed.teams) {
    rows.push_back({team.team, "", team.total});
    for (const KindRow& kind : team.kinds) rows.push_back({team.team, kind.kind, kind.count});
  }
  return rows;
}

// This map's rows as the database holds them: every row, and those not 0.
std::pair<int64_t, int64_t> RowsInDatabase(const PrivateMariaDb& server,
                                           const std::string& database, const std::string& map) {
  cluster::ConnectionParams params;
  params.socket = server.socket();
  params.user = PrivateMariaDb::kUser;
  params.password = PrivateMariaDb::kPassword;
  params.database = database;
  cluster::Database connection(params);
  const auto rows = connection.Query(
      "SELECT COUNT(*), COUNT(NULLIF(count, 0)) FROM tw_counts WHERE cluster = ? AND map = ?",
      {"bench", map});
  return {rows.at(0).Int(0), rows.at(0).Int(1)};
}

void RecountWrites(PrivateMariaDb& server, const Options& options) {
  server.CreateDatabase("tw_recount");
  const auto building = Clock::now();
  BenchWorld::Get(options.actors);
  const double build_ms = Ms(Clock::now() - building);

  Store().TrackChanges(true);
  auto start = Clock::now();
  RecountResult counted = UpdateDinoCountAll();
  const double first_recount_ms = Ms(Clock::now() - start);
  const ChangedRows full = Store().TakeChanges();
  std::vector<CountRow> rows = ToRows(full);
  const std::size_t taken = rows.size();

  // The worker asks for this map's whole state once it is connected: the full take answers.
  Map map{.name = "Recounted"};
  Clock::time_point handed_over{};
  map.snapshot = [&] {
    if (handed_over == Clock::time_point{}) handed_over = Clock::now();
    return rows;
  };
  map.Start(server, "tw_recount", options.interval);
  const bool written = Until(
      {&map}, [&] { return map.worker->Status().in_sync; }, 120s);
  const auto in_sync = Clock::now();
  const NotingBackend::Noted first = map.backend->noted();
  const auto [stored, stored_live] = RowsInDatabase(server, "tw_recount", map.name);
  std::printf(
      "Recount of the benchmark level, first write of this map's whole state: %zu rows in %.0f "
      "ms (%.0f ms from the hand-over until in sync)%s\n",
      first.whole_state_rows, Ms(first.whole_state_time), Ms(in_sync - handed_over),
      written ? "" : " NOT IN SYNC");
  std::printf(
      "  %lld actors, %zu creatures of %zu teams (level built in %.0f ms, recounted in %.0f ms); "
      "the full take: %zu teams, %zu rows, %s; in the database: %lld rows\n",
      static_cast<long long>(options.actors), counted.creatures, counted.teams, build_ms,
      first_recount_ms, full.teams.size(), taken, full.full ? "full" : "NOT FULL",
      static_cast<long long>(stored_live));

  start = Clock::now();
  counted = UpdateDinoCountAll();
  const double second_recount_ms = Ms(Clock::now() - start);
  const std::vector<CountRow> changed = ToRows(Store().TakeChanges());
  if (!changed.empty()) map.worker->PostChanges(changed);
  const bool synced = Synced({&map});
  const NotingBackend::Noted second = map.backend->noted();
  const auto [stored_after, stored_live_after] = RowsInDatabase(server, "tw_recount", map.name);
  std::printf("Second recount, nothing changed: %zu rows taken, %zu rows written (%zu writes)%s\n",
              changed.size(), second.rows - first.rows, second.writes - first.writes,
              synced ? "" : " NOT IN SYNC");
  std::printf("  recounted in %.0f ms, %zu team counts corrected; rows in the database %s (%lld)\n",
              second_recount_ms, counted.corrected,
              stored_after == stored && stored_live_after == stored_live ? "unchanged" : "CHANGED",
              static_cast<long long>(stored_live_after));
  map.worker->Stop();
  Store().TrackChanges(false);
  BenchWorld::Release();
}

// ---- Maps that gain at the same moment.

void Race(PrivateMariaDb& server, const Options& options) {
  server.CreateDatabase("tw_race");
  const std::string kind = "Blueprint'/Game/Bench/Raced.Raced'";
  constexpr int32_t kLimit = 40;
  constexpr int kMaps = 3;
  std::vector<Map> maps(kMaps);
  for (int m = 0; m < kMaps; ++m) {
    maps[m].name = std::string("Race") + static_cast<char>('A' + m);
    maps[m].Start(server, "tw_race", options.interval);
  }
  const auto all = {&maps[0], &maps[1], &maps[2]};

  int64_t worst_passed = 0;
  int most_grants = 0;  // by one map in one round
  long retries = 0, retries_granted = 0;
  std::vector<double> settled;  // the gain until every map's check counts every map's gain
  int unsettled = 0;
  for (int round = 0; round < options.rounds; ++round) {
    // One place below the limit in the cluster, the team's creatures spread over the maps.
    const int32_t team = 500000 + round;
    for (int m = 0; m < kMaps; ++m)
      maps[m].Set(team, kind, (kLimit - 1) / kMaps + (m < (kLimit - 1) % kMaps ? 1 : 0));
    if (!Synced(all)) throw std::runtime_error("the race's maps did not get in sync");
    for (const Map& map : maps) {
      if (map.Cluster(team, kind) != kLimit - 1)
        throw std::runtime_error(map.name + " does not see the team one place below the limit");
    }

    // Each map's game thread checks and gains at the same moment, then goes on checking (a
    // player trying again every millisecond) until its check counts every map's gain.
    std::barrier start(kMaps);
    std::vector<int> grants(kMaps);
    std::vector<long> tries(kMaps), granted_tries(kMaps);
    std::vector<Clock::duration> until_settled(kMaps, Clock::duration::max());
    const int64_t everyone = kLimit - 1 + kMaps;
    std::vector<std::thread> threads;
    for (int m = 0; m < kMaps; ++m) {
      threads.emplace_back([&, m] {
        Map& map = maps[m];
        start.arrive_and_wait();
        const auto gained = Clock::now();
        const auto check_and_gain = [&] {
          if (map.Cluster(team, kind) >= kLimit) return false;
          ++grants[m];
          map.Set(team, kind, map.own[{team, kind}] + 1);
          return true;
        };
        check_and_gain();
        while (Clock::now() - gained < options.interval * 4) {
          map.Poll();
          ++tries[m];
          if (check_and_gain()) ++granted_tries[m];
          if (map.Cluster(team, kind) >= everyone) {
            until_settled[m] = Clock::now() - gained;
            break;
          }
          std::this_thread::sleep_for(1ms);
        }
      });
    }
    for (auto& thread : threads) thread.join();

    int64_t in_cluster = 0;
    for (const Map& map : maps) in_cluster += map.own.at({team, kind});
    worst_passed = std::max(worst_passed, in_cluster - kLimit);
    const auto slowest = *std::max_element(until_settled.begin(), until_settled.end());
    if (slowest == Clock::duration::max()) {
      ++unsettled;
    } else {
      settled.push_back(Ms(slowest));
    }
    for (int m = 0; m < kMaps; ++m) {
      most_grants = std::max(most_grants, grants[m]);
      retries += tries[m];
      retries_granted += granted_tries[m];
    }
  }
  for (Map& map : maps) map.worker->Stop();

  const Spread spread = Spread::Of(settled);
  std::printf(
      "Race, %d maps, a team one place below a limit of %d, each map checks and gains at the "
      "same moment: the cluster reaches limit + %lld (%lld), at most %d grant a map, %ld of %ld "
      "later checks granted; every map counts every gain after %s; %s\n",
      kMaps, kLimit, static_cast<long long>(worst_passed),
      static_cast<long long>(kLimit + worst_passed), most_grants, retries_granted, retries,
      spread.Text().c_str(), BoundText(options.interval).c_str());
  std::printf(
      "  %d rounds, a map checking again every millisecond after its gain; %d rounds where a map "
      "did not count every gain within 4 intervals\n",
      options.rounds, unsettled);
}

Options Parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const auto value = [&]() -> long long {
      if (i + 1 >= argc) throw std::invalid_argument(std::string(argv[i]) + " needs a value");
      return std::stoll(argv[++i]);
    };
    if (std::strcmp(argv[i], "--changes") == 0) {
      options.changes = static_cast<int>(std::max(1LL, value()));
    } else if (std::strcmp(argv[i], "--actors") == 0) {
      options.actors = std::max(10LL, value());
    } else if (std::strcmp(argv[i], "--rounds") == 0) {
      options.rounds = static_cast<int>(std::max(1LL, value()));
    } else if (std::strcmp(argv[i], "--interval-ms") == 0) {
      options.interval = std::chrono::milliseconds(std::max(1LL, value()));
    } else {
      throw std::invalid_argument(std::string("unknown argument ") + argv[i]);
    }
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const Options options = Parse(argc, argv);
    cluster::ClientThreadScope client;
    PrivateMariaDb server;
    std::printf("SyncIntervalMs %lld, against a private MariaDB server on a unix socket\n",
                static_cast<long long>(options.interval.count()));
    Propagation(server, options);
    RecountWrites(server, options);
    Race(server, options);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tw_cluster_bench: %s\n", error.what());
    return 1;
  }
}
