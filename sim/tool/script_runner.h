#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "sim/server.h"
#include "sim/tool/script_parser.h"

namespace sim::tool {

struct RunnerSettings {
  std::filesystem::path plugin;      // the library that `load` attaches
  std::filesystem::path script_dir;  // where `config FILE` finds a relative FILE
  std::string default_world;         // the script that sets the scene when a script sets none
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

  // Parses and runs one line. False when it failed.
  bool RunLine(std::string_view text, int line);
  // An RCON command from a network client, run as an `rcon` line would be, outside any line.
  // Its answers, joined.
  std::string RunRcon(const std::string& text, int32_t id);
  // The things lines named, or null; the game owns them.
  ShooterPlayerController* FindPlayer(std::string_view name) const { return Find(players_, name); }
  Dino* FindDino(std::string_view name) const { return Find(dinos_, name); }
  Item* FindItem(std::string_view name) const { return Find(items_, name); }
  // Whether any line has failed so far.
  bool failed() const { return failed_; }
  // Whether a load of the plug-in (by `load`, or at boot) has failed so far.
  bool load_failed() const { return load_failed_; }
  // What may complete the word being typed at the prompt (see ScriptParser::Candidates): the
  // names defined so far and, while the scene may still become the default world, its names.
  std::vector<std::string> Candidates(const std::vector<std::string>& words,
                                      std::string_view partial) const;

 private:
  friend const std::vector<Verb>& Verbs();  // the verb table names the handlers

  template <typename T>
  static T* Find(const std::map<std::string, T*, std::less<>>& things, std::string_view name) {
    const auto it = things.find(name);
    return it == things.end() ? nullptr : it->second;
  }

  void ReportError(int line, const std::string& text);
  // Before the first action: the default world, unless a player or creature was defined.
  void SetScene(int line);
  // Starts the server and loads the plug-in before the first action that needs them.
  void Boot(BootRule rule);
  void LoadPlugin();
  void RunDefaultWorld();
  // Gives names to creatures the game made during an action, so later lines can use them.
  void AdoptNewCreatures();
  std::string Run(const Statement& statement);

  ShooterPlayerController& PlayerArg(const Statement& s, std::size_t i) {
    return *players_.at(s.args.at(i));
  }
  Dino& DinoArg(const Statement& s, std::size_t i) { return *dinos_.at(s.args.at(i)); }
  Class& KindArg(const Statement& s, std::size_t i);

  // World lines (script_world.cpp).
  std::string Player(const Statement& s);
  std::string AddDino(const Statement& s);
  std::string AddStructure(const Statement& s);
  std::string Cryopod(const Statement& s);
  std::string SoulTrap(const Statement& s);
  std::string AddItem(const Statement& s);
  std::string AddActor(const Statement& s);
  std::string NullActor(const Statement& s);
  std::string Config(const Statement& s);
  std::string ConfigDelete(const Statement& s);
  std::string Aim(const Statement& s);
  std::string KillPlayer(const Statement& s);
  std::string Revive(const Statement& s);
  std::string ServerState(const Statement& s);

  // Actions (script_actions.cpp).
  std::string Load(const Statement& s);
  std::string Unload(const Statement& s);
  std::string Start(const Statement& s);
  std::string Tame(const Statement& s);
  std::string ForceTame(const Statement& s);
  std::string Capture(const Statement& s);
  std::string Release(const Statement& s);
  std::string Wait(const Statement& s);
  std::string Claim(const Statement& s);
  std::string Unclaim(const Statement& s);
  std::string MultiUse(const Statement& s);
  std::string Die(const Statement& s);
  std::string Destroy(const Statement& s);
  std::string Equip(const Statement& s);
  std::string Use(const Statement& s);
  std::string Slot(const Statement& s);
  std::string RequestDownload(const Statement& s);
  std::string Download(const Statement& s);
  std::string InitDownloaded(const Statement& s);
  std::string Clone(const Statement& s);
  std::string NetExec(const Statement& s);
  std::string Spawn(const Statement& s);
  std::string Invite(const Statement& s);
  std::string Merge(const Statement& s);
  std::string CreateTribe(const Statement& s);
  std::string Chat(const Statement& s);
  std::string Console(const Statement& s);
  std::string Rcon(const Statement& s);
  std::string Truth(const Statement& s);

  // Lines that show (script_show.cpp).
  std::string Help(const Statement& s);
  std::string ShowWorld(const Statement& s);

  Server& server_;
  RunnerSettings settings_;
  ScriptParser parser_;
  ScriptParser default_names_;  // the default world's names, read once for completion
  // The things scripts named; the game owns them.
  std::map<std::string, ShooterPlayerController*, std::less<>> players_;
  std::map<std::string, Dino*, std::less<>> dinos_;
  std::map<std::string, Structure*, std::less<>> structures_;
  std::map<std::string, Item*, std::less<>> items_;
  std::set<const Dino*> known_dinos_;
  bool scene_set_ = false;    // a player or creature was defined
  bool action_seen_ = false;  // the first action has come
  bool booted_ = false;       // load or start ran
  bool failed_ = false;
  bool load_failed_ = false;
  int32_t next_rcon_id_ = 1;
};

}  // namespace sim::tool
