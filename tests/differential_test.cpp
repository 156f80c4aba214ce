// The plug-in's counts against the world's own, over random legal play: seeded sequences of
// tames, forced tames, claims, deaths, captures and releases, spawning items, downloads, spawns,
// joins, reloads, recounts and waits in a small world with low limits. After every step the
// counts each team's players see through /limits equal the world's, except while a creature no
// hooked function saw arrive (out of a cryopod, a soul trap or a spawning item) is in the world
// uncounted, until the next recount; and while they are equal, no road the plug-in checks takes
// a team past a limit. A failing sequence is cut down to the shortest script that still fails.
#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/script_test.h"

namespace {

using nlohmann::json;
using Counts = std::map<std::string, int>;  // kind name ("Rex") or "total" -> count

struct Kind {
  const char* name;
  const char* path;  // as the world names it
  int limit;         // per configuration A; configuration B allows one more; < 0: not limited
};
const Kind kKinds[] = {
    {"Rex", "/Game/PrimalEarth/Dinos/Rex/Rex_Character_BP.Rex_Character_BP", 2},
    {"Raptor", "/Game/PrimalEarth/Dinos/Raptor/Raptor_Character_BP.Raptor_Character_BP", 1},
    {"Dodo", "/Game/PrimalEarth/Dinos/Dodo/Dodo_Character_BP.Dodo_Character_BP", 0},
    {"Trike", "/Game/PrimalEarth/Dinos/Trike/Trike_Character_BP.Trike_Character_BP", -1},
};
constexpr int kMaxAmount = 5;  // configuration A; B allows one more
constexpr int kRecountSeconds = 30;
const char* const kPlayers[] = {"ann", "ben", "cal", "dee", "eve"};
const char* const kPods[] = {"pod1", "pod2", "trap1", "trap2"};

std::string Wrapped(const char* path) { return std::string("Blueprint'") + path + "'"; }

// Configuration A, or B with every limit one higher. /limits prints numbers only.
json Config(bool b) {
  json dinos = json::object();
  for (const Kind& kind : kKinds) {
    if (kind.limit >= 0)
      dinos[Wrapped(kind.path)] = {{"Count", kind.limit + b}, {"Name", kind.name}};
  }
  return {{"General",
           {{"MaxAmount", kMaxAmount + b},
            {"NotificationScale", 1},
            {"NotificationDisplayTime", 1},
            {"RecountIntervalSeconds", kRecountSeconds}}},
          {"Messages",
           {{"ShowLimitCmd", "/limits"},
            {"ShowLimitsType", "Chat"},
            {"NotificationColor", {{"Red", 1}, {"Green", 1}, {"Blue", 1}}},
            {"ShowLimitsScale", 1},
            {"ShowLimitsDisplayTime", 1},
            {"Sender", "W"},
            {"ShowLimitMsg", "{0}={1};"},
            {"TotalLimitMsg", "total={0}"},
            {"ReachLimit", "refused"}}},
          {"Dinos", dinos},
          {"ItemMap",
           {{"Blueprint'/Game/Extinction/CoreBlueprints/Items/"
             "PrimalItem_Spawner_Enforcer.PrimalItem_Spawner_Enforcer'",
             Wrapped(kKinds[1].path)}}}};
}

const std::vector<std::string> kPreamble = {
    "player ann id=100001 tribe=200001 admin",
    "player ben id=100002 tribe=200001",
    "player cal id=100003 tribe=200002",
    "player dee id=100004",
    "player eve id=100005",
    "cryopod pod1",
    "cryopod pod2",
    "soultrap trap1",
    "soultrap trap2",
    "item raptor_kit kind=/Game/Extinction/CoreBlueprints/Items/"
    "PrimalItem_Spawner_Enforcer.PrimalItem_Spawner_Enforcer type=4 consumable=3 spawns=" +
        std::string(kKinds[1].path),
    "item trike_kit kind=/Game/Extinction/CoreBlueprints/Items/"
    "PrimalItem_Spawner_Mek.PrimalItem_Spawner_Mek type=4 consumable=3 spawns=" +
        std::string(kKinds[3].path),
    "config a.json",
    "start",
    "load",
};

// A legal next line for the world as it stands.
class Player {
 public:
  explicit Player(uint32_t seed) : random_(seed) {}

  // `called`: whether the last line ran a game function of its own.
  std::vector<std::string> Next(sim::Game& game, const sim::tool::ScriptRunner& runner,
                                bool called) {
    // A download follows a request the game took up, as in the game.
    if (!download_.empty()) {
      std::string download = std::move(download_);
      download_.clear();
      if (called) return {download};
    }
    std::vector<sim::Dino*> wild, owned;
    for (AActor* slot : game.level().actors) {
      auto* actor = sim::FromHost<sim::Actor>(slot);
      if (actor == nullptr || !actor->IsA(sim::Dino::StaticClass())) continue;
      auto* dino = static_cast<sim::Dino*>(actor);
      if (dino->dead()) continue;
      (dino->targeting_team == 0 ? wild : owned).push_back(dino);
    }
    const std::string who = Pick(kPlayers);
    const auto player_team = [&](const std::string& name) {
      return sim::Game::TeamOf(*runner.FindPlayer(name));
    };
    const Kind& kind = kKinds[Below(std::size(kKinds))];
    const auto new_wild = [&] {
      const std::string name = "w" + std::to_string(++dinos_);
      return std::vector<std::string>{"dino " + name + " kind=" + kind.path, name};
    };
    const auto mine = [&]() -> sim::Dino* {
      std::vector<sim::Dino*> ours;
      for (sim::Dino* dino : owned) {
        if (dino->targeting_team == player_team(who)) ours.push_back(dino);
      }
      return ours.empty() ? nullptr : ours[Below(ours.size())];
    };
    switch (Below(19)) {
      case 0:
      case 1:
      case 2: {
        auto made = new_wild();
        return {made[0], "tame " + who + " " + made[1]};
      }
      case 3: {
        auto made = new_wild();
        return {made[0], "force_tame " + who + " " + made[1]};
      }
      case 4: {
        auto made = new_wild();
        return {made[0], "claim " + who + " " + made[1]};
      }
      case 5:
        if (sim::Dino* dino = mine()) return {"unclaim " + who + " " + dino->name};
        return {};
      case 6:
        if (!owned.empty()) return {"die " + owned[Below(owned.size())]->name};
        return {};
      case 7:
        if (!owned.empty()) return {"destroy " + owned[Below(owned.size())]->name};
        return {};
      case 8: {
        sim::Dino* dino = mine();
        const std::string pod = Pick(kPods);
        if (dino == nullptr || runner.FindItem(pod)->custom_item_datas.Num() != 0) return {};
        return {"capture " + who + " " + dino->name + " " + pod};
      }
      case 9:
        return {"release " + who + " " + Pick(kPods)};
      case 10:
        return {std::string("use ") + who + (Below(2) ? " raptor_kit" : " trike_kit")};
      case 11:
        download_ = "download " + who + " " + kind.path;
        return {"request_download " + who + " " + kind.path};
      case 12:
        return {"spawn " + who + " " + Wrapped(kind.path)};
      case 13:
      case 14: {
        const std::string other = Pick(kPlayers);
        if (other == who) return {};
        return {(Below(2) ? "invite " : "merge ") + who + " " + other};
      }
      case 15:
        if (runner.FindPlayer(who) != nullptr && player_team(who) < 200000)
          return {"create_tribe " + who + " " + std::to_string(300000 + ++tribes_)};
        return {};
      case 16:
        return {Below(2) ? "config b.json" : "config a.json", "rcon tw.reload"};
      case 17:
        return {"rcon UpdateDinos"};
      default:
        return {"wait " + std::to_string(5 + Below(20))};
    }
  }

 private:
  std::size_t Below(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
  }
  template <typename T, std::size_t N>
  std::string Pick(const T (&from)[N]) {
    return from[Below(N)];
  }

  std::mt19937 random_;
  std::string download_;  // the download after the request just made
  int dinos_ = 0;
  int tribes_ = 0;
};

// Runs of a script, each in a fresh server: lines are made by a Player (from the world as it
// stands) or come from a script being replayed, and are checked one by one.
class Differential : public ScriptTest {
 protected:
  Differential() {
    std::ofstream(dir() / "a.json") << Config(false).dump();
    std::ofstream(dir() / "b.json") << Config(true).dump();
  }

  // A fresh server with the world's set-up run.
  void NewRun() {
    Restart();
    run_ = {};
    Run(kPreamble);
  }

  // Runs one line; the failure it shows, or nothing.
  std::optional<std::string> Step(const std::string& line) {
    events().Clear();
    const auto before = game().Truth();
    Run({line});
    run_.called = false;
    for (const json& result : Events("result")) run_.called = run_.called || result["called"];
    for (const json& crash : Events("crash")) return "a crash: " + crash.dump();
    Learn(line);
    if (run_.drifted) return std::nullopt;
    const auto truth = game().Truth();
    for (const auto& [team, seen] : Seen()) {
      const Counts world = Summed(truth, team);
      if (seen != world)
        return "team " + std::to_string(team) + " sees " + json(seen).dump() + ", the world has " +
               json(world).dump();
      if (Checked(line) && world != Summed(before, team)) {
        for (const auto& [kind, n] : world) {
          if (n > Limit(kind) && n > Summed(before, team)[kind])
            return "team " + std::to_string(team) + " passed its " + kind +
                   " limit: " + std::to_string(n);
        }
      }
    }
    return std::nullopt;
  }

  // Replays a script; the first failure it shows.
  std::optional<std::string> Replay(const std::vector<std::string>& script) {
    NewRun();
    for (const std::string& line : script) {
      if (auto failure = Step(line)) return failure;
    }
    return std::nullopt;
  }

  // The script without every line it can do without and still fail (one line at a time).
  std::vector<std::string> Shortest(std::vector<std::string> script) {
    for (std::size_t i = script.size(); i-- > 0;) {
      std::vector<std::string> shorter = script;
      shorter.erase(shorter.begin() + static_cast<std::ptrdiff_t>(i));
      if (Replay(shorter)) script = std::move(shorter);
    }
    return script;
  }

  bool called() const { return run_.called; }

 private:
  // What a line tells about the counts: a release or a spawning item may bring in a creature
  // uncounted; a recount makes the counts the world's again.
  void Learn(const std::string& line) {
    const std::string verb = line.substr(0, line.find(' '));
    // An answer's first line: a reload's answer goes on with its summary.
    const auto answered = [&](const char* text) {
      for (const json& e : events().all()) {
        const std::string answer = e.value("text", "");
        if (answer.substr(0, answer.find('\n')) == text) return true;
      }
      return false;
    };
    if (verb == "release" || verb == "use") {
      const std::size_t dinos = DinoCount();
      if (dinos != run_.dinos) run_.drifted = true;
    }
    if (line == "rcon UpdateDinos" || answered("Reloaded config")) run_.drifted = false;
    if (line.starts_with("rcon tw.reload") && answered("Reloaded config"))
      run_.b = run_.line_config_b;
    if (verb == "wait") {
      run_.seconds += std::stoi(line.substr(5));
      if (run_.seconds >= kRecountSeconds) run_.drifted = false;
      run_.seconds %= kRecountSeconds;
    }
    if (verb == "config") run_.line_config_b = line == "config b.json";
    run_.dinos = DinoCount();
  }

  std::size_t DinoCount() { return game().level().actors.Num(); }

  // The counts each team's players see.
  std::map<int32_t, Counts> Seen() {
    std::map<int32_t, Counts> seen;
    for (sim::ShooterPlayerController* player : game().Players()) {
      const int32_t team = sim::Game::TeamOf(*player);
      if (seen.contains(team)) continue;
      events().Clear();
      server().Chat(*player, "/limits");
      const auto chats = Events("chat");
      if (chats.size() != 1) {
        seen[team]["no answer to /limits"] = 1;  // fails the comparison
        continue;
      }
      Counts& counts = seen[team];
      std::string text = chats[0]["text"];
      for (std::size_t at = 0; at < text.size();) {
        const std::size_t eq = text.find('=', at), end = std::min(text.find(';', at), text.size());
        counts[text.substr(at, eq - at)] = std::stoi(text.substr(eq + 1, end - eq - 1));
        at = end + 1;
      }
    }
    return seen;
  }

  static Counts Summed(const std::map<int32_t, std::map<std::string, int>>& truth, int32_t team) {
    Counts counts;
    for (const auto& kind : kKinds) {
      if (kind.limit >= 0) counts[kind.name] = 0;
    }
    counts["total"] = 0;
    const auto it = truth.find(team);
    if (it == truth.end()) return counts;
    for (const auto& [path, n] : it->second) {
      counts["total"] += n;
      for (const auto& kind : kKinds) {
        if (path == Wrapped(kind.path) && kind.limit >= 0) counts[kind.name] += n;
      }
    }
    return counts;
  }

  int Limit(const std::string& kind) const {
    if (kind == "total") return kMaxAmount + run_.b;
    for (const auto& k : kKinds) {
      if (kind == k.name) return k.limit + run_.b;
    }
    return 1 << 30;
  }

  // The roads the plug-in checks before a team gains a creature.
  static bool Checked(const std::string& line) {
    for (const char* verb : {"tame ", "claim ", "download ", "invite ", "merge ", "spawn "}) {
      if (line.starts_with(verb)) return true;
    }
    return false;
  }

  // What the run so far has shown.
  struct RunState {
    bool called = false;   // the last line ran a game function of its own
    bool drifted = false;  // a creature may be in the world uncounted
    bool b = false, line_config_b = false;
    int seconds = 0;  // since the last recount
    std::size_t dinos = 0;
  } run_;
};

TEST_F(Differential, CountsFollowTheWorldAndCheckedRoadsKeepTheLimits) {
  constexpr int kSequences = 250;
  constexpr int kSteps = 40;
  int steps = 0;
  for (uint32_t seed = 1; seed <= kSequences; ++seed) {
    std::vector<std::string> script;
    std::optional<std::string> failure;
    Player player(seed);
    NewRun();
    for (int i = 0; i < kSteps && !failure; ++i) {
      for (const std::string& line : player.Next(game(), runner(), called())) {
        script.push_back(line);
        ++steps;
        if ((failure = Step(line))) break;
      }
    }
    if (failure) {
      std::string shortest;
      for (const std::string& line : Shortest(script)) shortest += "  " + line + "\n";
      FAIL() << "seed " << seed << ": " << *failure << "\nthe shortest script that fails "
             << "(after the world's set-up):\n"
             << shortest;
    }
  }
  RecordProperty("steps", steps);
}

}  // namespace
