// The lines of a cluster rehearsal. `sync` runs on any server; db_stop, db_start and @MAP are
// carried out by the tool that drives the maps (--cluster), so a single server refuses them.
#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>
#include <thread>

#include "sim/tool/cluster_sync.h"
#include "sim/tool/script_runner.h"

namespace sim::tool {
namespace {

using namespace std::chrono_literals;

constexpr int kDefaultSyncSeconds = 10;
constexpr int kMostSyncSeconds = 3600;

bool SameName(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The player who types the console commands: the first living admin by name, else the first
// living player (the plug-in answers no dead one); null when there is none.
ShooterPlayerController* Typist(ScriptContext& c) {
  ShooterPlayerController* typist = nullptr;
  for (const auto& [name, player] : c.players) {
    if (player->dead) continue;
    if (c.server.InGroup(player->steam_id, "Admins")) return player;
    if (typist == nullptr) typist = player;
  }
  return typist;
}

// The lines the plug-in answers `text` with, asked without reporting its answer.
std::vector<std::string> Ask(ScriptContext& c, const std::string& text) {
  EventLog& events = c.server.events();
  const std::size_t before = events.all().size();
  EventLog::Listener listener = events.SetListener(nullptr);
  std::string answer;
  std::vector<nlohmann::json> kept;
  try {
    if (ShooterPlayerController* typist = Typist(c)) {
      c.server.Console(*typist, text);
    } else {
      for (const auto& reply : c.server.Rcon(text, 0)) answer += reply.text + "\n";
    }
  } catch (...) {
    events.SetListener(std::move(listener));
    throw;
  }
  for (std::size_t i = before; i < events.all().size(); ++i) {
    const nlohmann::json& event = events.all()[i];
    const auto kind = EventKindOf(event);
    // What the plug-in logs meanwhile (such as its link's lines, written at these commands) is
    // reported, as are crashes; only the answers are the asker's.
    if (kind == EventKind::kCrash || kind == EventKind::kLog) kept.push_back(event);
    if ((kind == EventKind::kChat || kind == EventKind::kServerMessage) &&
        event.value("text", nlohmann::json()).is_string())
      answer += event["text"].get<std::string>() + "\n";
  }
  events.EraseFrom(before);
  events.SetListener(std::move(listener));
  for (nlohmann::json& event : kept) {
    const EventKind kind = *EventKindOf(event);
    event.erase("event");
    c.Report(kind, std::move(event));
  }
  std::vector<std::string> lines;
  std::istringstream in(answer);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The first line of `tw.cluster`'s answer, or of the no-cluster answer.
std::optional<std::string> StatusLine(const std::vector<std::string>& lines) {
  for (const std::string& line : lines)
    if (line.starts_with("Cluster ") || line.starts_with("no cluster:")) return line;
  return std::nullopt;
}

bool HasClusterCommand(ScriptContext& c) {
  const auto names = c.server.commands().ConsoleNames();
  return std::ranges::any_of(names,
                             [](const std::string& name) { return SameName(name, "tw.cluster"); });
}

void Sync(ScriptContext& c, const Statement& s) {
  int32_t seconds = kDefaultSyncSeconds;
  if (!s.args.empty()) ParseInt(s.args[0], seconds);
  if (seconds < 1 || seconds > kMostSyncSeconds)
    throw LineError("SECONDS must be from 1 to " + std::to_string(kMostSyncSeconds));
  const SyncOutcome outcome = SyncCluster(c, std::chrono::seconds(seconds));
  if (outcome.state == SyncOutcome::State::kTimedOut) throw LineError(outcome.Describe(seconds));
  c.Report(EventKind::kSync, {{"text", outcome.Describe(seconds)}});
}

void OnlyInACluster(ScriptContext&, const Statement& s) {
  throw LineError(std::string(s.verb->name()) + " lines run only with --cluster");
}

}  // namespace

std::string SyncOutcome::Describe(int seconds) const {
  switch (state) {
    case State::kReached:
      return goal == SyncGoal::kInSync ? "in sync" : "the database is unreachable";
    case State::kNothing:
      return "nothing to sync: " + status;
    case State::kTimedOut:
      break;
  }
  return (goal == SyncGoal::kInSync ? "the map did not sync within "
                                    : "the map did not find the database gone within ") +
         std::to_string(seconds) + " s: " + status;
}

SyncOutcome SyncCluster(ScriptContext& c, std::chrono::milliseconds limit, SyncGoal goal) {
  using Clock = std::chrono::steady_clock;
  using State = SyncOutcome::State;
  if (!c.server.plugin_loaded()) return {goal, State::kNothing, "the plug-in is not loaded"};
  if (!HasClusterCommand(c))
    return {goal, State::kNothing, "the plug-in has no tw.cluster command"};
  const auto deadline = Clock::now() + limit;
  const std::optional<std::string> requested = StatusLine(Ask(c, "tw.cluster sync"));
  if (requested && requested->starts_with("no cluster:"))
    return {goal, State::kNothing, *requested};
  std::string status = "no answer from tw.cluster";
  for (;;) {
    if (const auto line = StatusLine(Ask(c, "tw.cluster"))) status = *line;
    if (status.starts_with("no cluster:")) return {goal, State::kNothing, status};
    const bool reached = goal == SyncGoal::kInSync
                             ? status.ends_with("in sync")
                             : status.find(": unreachable since ") != std::string::npos;
    if (reached) return {goal, State::kReached, goal == SyncGoal::kInSync ? "in sync" : status};
    if (Clock::now() >= deadline) return {goal, State::kTimedOut, status};
    std::this_thread::sleep_for(15ms);
  }
}

std::vector<Verb> ClusterVerbs() {
  return {
      ActionRow("sync [SECONDS]",
                "`tw.cluster sync` on the console (as the first living admin, else the first "
                "living player, types it; over RCON without one), then `tw.cluster` about every "
                "15 ms until it says `in sync`",
                "sync 5", Sync,
                "waits, at most SECONDS (10) of real time, until the map has written its changes "
                "and read the other maps'; a `sync` event says `in sync`, or `nothing to sync` "
                "without the plug-in or without a cluster; an error when the time runs out, with "
                "the plug-in's status line."),
      ClusterRow("@MAP LINE",
                 "runs the script line LINE on the map MAP only; any other line runs on every "
                 "map. Lines that make a creature, structure, item or actor belong on one map and "
                 "need it. Before a line runs on other maps than the line before, those maps sync "
                 "(each writes its changes and reads the others'), unless the database is "
                 "stopped.",
                 "@TheIsland tame alice wild_rex1", OnlyInACluster),
      ClusterRow("db_stop",
                 "stops the private database (`--private-db`, or a config without `Cluster`): an "
                 "outage. Each map then waits, at most 10 s, until it has found the database "
                 "gone, so that what follows does not depend on timing. Until the database "
                 "starts again, switching maps does not sync. Takes no arguments.",
                 "db_stop", OnlyInACluster),
      ClusterRow("db_start",
                 "starts the private database again, then syncs every map twice: each writes "
                 "what it kept meanwhile, then reads what the others wrote. Takes no arguments.",
                 "db_start", OnlyInACluster),
  };
}

}  // namespace sim::tool
