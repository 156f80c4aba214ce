#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sim/server.h"
#include "sim/tool/cluster_config.h"
#include "sim/tool/script_parser.h"

namespace sim::tool {

struct RunnerSettings {
  std::filesystem::path plugin;      // the library that `load` attaches
  std::filesystem::path script_dir;  // where `config FILE` finds a relative FILE
  std::string default_world;         // the script that sets the scene when a script sets none
  // A map of a cluster rehearsal: what `config FILE` sets in the copy's "Cluster" section.
  std::optional<ClusterKeys> cluster_keys;
};

// A line that cannot run; the runner reports its text as the line's "error" event.
struct LineError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// What a verb's action works on: the server, and the things lines named (the game owns them).
struct ScriptContext {
  template <typename T>
  using Named = std::map<std::string, T*, std::less<>>;

  Server& server;
  RunnerSettings settings;
  Named<ShooterPlayerController> players;
  Named<Dino> dinos;
  Named<Structure> structures;
  Named<Item> items;
  int32_t next_rcon_id = 1;
  bool load_failed = false;  // a load of the plug-in (by `load`, or at boot) failed

  // What argument `i` names; the parser has checked that it exists.
  ShooterPlayerController& PlayerArg(const Statement& s, std::size_t i) const {
    return *players.at(s.args.at(i));
  }
  Dino& DinoArg(const Statement& s, std::size_t i) const { return *dinos.at(s.args.at(i)); }
  Item& ItemArg(const Statement& s, std::size_t i) const { return *items.at(s.args.at(i)); }
  // The parser checked the path's shape, so the game makes a class for it.
  Class& KindArg(const Statement& s, std::size_t i) const {
    return *server.game().CreatureClass(s.args.at(i));
  }

  void LoadPlugin() {
    if (!server.LoadPlugin(settings.plugin).ok) load_failed = true;  // the "load" event tells why
  }
  // The config's display names ("Name") of creature kinds, by their "Blueprint'...'" path; none
  // when the config cannot be read.
  nlohmann::json DisplayNames() const;
  void Report(EventKind kind, nlohmann::json fields) {
    server.events().Add(kind, std::move(fields));
  }
};

// Runs script lines against the server, one at a time, on the game thread. Every line's events
// carry its line number; a line that cannot run is reported as an "error" event {line, text}
// and the run goes on. Before the first action (or `world`) it sets the scene with the default
// world when no player or creature has been defined, and the first action other than load,
// unload or start boots the server (start, then load) unless load or start came first.
class ScriptRunner {
 public:
  ScriptRunner(Server& server, RunnerSettings settings);
  ScriptRunner(const ScriptRunner&) = delete;
  ScriptRunner& operator=(const ScriptRunner&) = delete;

  // Parses and runs one line. False when it failed. A line typed at the prompt has no place in
  // a file, so its error event carries line 0 (its other events keep `line`).
  bool RunLine(std::string_view text, int line, bool typed = false);
  // An RCON command from a network client, run as an `rcon` line would be, outside any line.
  // Its answers, joined.
  std::string RunRcon(const std::string& text, int32_t id);
  // The things lines named, or null; the game owns them.
  ShooterPlayerController* FindPlayer(std::string_view name) const {
    return Find(context_.players, name);
  }
  Dino* FindDino(std::string_view name) const { return Find(context_.dinos, name); }
  Item* FindItem(std::string_view name) const { return Find(context_.items, name); }
  // A map of a cluster rehearsal: `config FILE` lines set these keys in the copy.
  void SetClusterKeys(ClusterKeys keys) { context_.settings.cluster_keys = std::move(keys); }
  // Syncs the map with the cluster, as the `sync` line does, without reporting it (or, with
  // `outage`, waits until the plug-in has found the database unreachable); what went wrong
  // (reported as the line's error too), or empty. Neither sets the scene nor boots.
  std::string SyncQuietly(int seconds, int line, bool outage = false);
  // Called with a line summing up the world once the scene is set, before the first action.
  void OnSceneSet(std::function<void(const std::string&)> listener) {
    scene_listener_ = std::move(listener);
  }
  // One line summing up the world: players, tribes and living creatures by team.
  std::string WorldSummary() const;
  // Whether any line has failed so far.
  bool failed() const { return failed_; }
  // Whether a load of the plug-in (by `load`, or at boot) has failed so far.
  bool load_failed() const { return context_.load_failed; }
  // What may complete the word being typed at the prompt (see ScriptParser::Candidates): the
  // names defined so far and, while the scene may still become the default world, its names.
  std::vector<std::string> Candidates(const std::vector<std::string>& words,
                                      std::string_view partial) const;

 private:
  template <typename T>
  static T* Find(const ScriptContext::Named<T>& things, std::string_view name) {
    const auto it = things.find(name);
    return it == things.end() ? nullptr : it->second;
  }

  void ReportError(int line, const std::string& text);
  // Before the first action: the default world, unless a player or creature was defined.
  void SetScene(int line);
  // Starts the server and loads the plug-in before the first action that needs them.
  void Boot(BootRule rule);
  void RunDefaultWorld();
  // Gives names to creatures the game made during an action, so later lines can use them.
  void AdoptNewCreatures();
  // Runs a parsed line; what went wrong, or empty.
  std::string Run(const Statement& statement);

  ScriptContext context_;
  ScriptParser parser_;
  ScriptParser default_names_;  // the default world's names, read once for completion
  std::set<const Dino*> known_dinos_;
  bool scene_set_ = false;    // a player or creature was defined
  bool action_seen_ = false;  // the first action has come
  bool booted_ = false;       // load or start ran
  bool failed_ = false;
  std::function<void(const std::string&)> scene_listener_;
};

}  // namespace sim::tool
