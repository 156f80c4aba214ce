#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <spdlog/common.h>

#include "host/ark_api.h"
#include "sim/framework/commands.h"
#include "sim/framework/events.h"
#include "sim/framework/plugin_loader.h"
#include "sim/game/game.h"

namespace sim {

// The stand-in game server: the framework a plug-in talks to (commands, hooks, utilities, log
// sinks, permissions, the server directory) and the game it serves. One runs at a time; while
// it exists, the framework's functions reach it through Current().
class Server {
 public:
  explicit Server(std::filesystem::path server_dir);
  ~Server();  // unloads a loaded plug-in first
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  static bool Exists();
  static Server& Current();  // a fault when no server runs

  Game& game() { return *game_; }
  EventLog& events() { return events_; }
  Commands& commands() { return commands_; }
  ArkApi::IApiUtils& api_utils() { return *api_utils_; }
  const std::vector<spdlog::sink_ptr>& log_sinks() const { return log_sinks_; }
  const std::filesystem::path& server_dir() const { return server_dir_; }
  // Where the plug-in reads its configuration.
  std::filesystem::path ConfigPath() const { return ConfigPathIn(server_dir_); }
  static std::filesystem::path ConfigPathIn(const std::filesystem::path& server_dir);
  std::filesystem::path LogPath() const;

  int server_state() const { return server_state_; }
  void set_server_state(int state) { server_state_ = state; }

  // Permission groups by Steam id.
  void AddToGroup(uint64_t steam_id, std::string group);
  bool InGroup(uint64_t steam_id, const std::string& group) const;
  // The groups of a Steam id, in name order.
  std::vector<std::string> Groups(uint64_t steam_id) const;

  // Framework calls made by plug-ins ("RegisterChatCommand NAME", "InstallHook NAME", ...), in
  // order. Only the latest calls are kept (at least kTraceKept), so that a server running for
  // ever, loading and unloading, keeps a bounded trace.
  void Trace(std::string call);
  const std::vector<std::string>& trace() const { return trace_; }
  void ClearTrace() { trace_.clear(); }
  static constexpr std::size_t kTraceKept = 1024;

  // Game functions whose hooks the framework refuses, as a host may: InstallHook answers kDeclined
  // for them and changes nothing.
  void RefuseHook(std::string name) { refused_hooks_.insert(std::move(name)); }
  bool HookRefused(std::string_view name) const { return refused_hooks_.contains(name); }

  // Loads the plug-in library and attaches it; reports a "load" event {ok, error}.
  LoadResult LoadPlugin(const std::filesystem::path& library);
  // Detaches and closes the plug-in, if one is loaded.
  void UnloadPlugin();
  bool plugin_loaded() const { return loader_.loaded(); }

  // Starts the world: "AShooterGameMode.InitGame" through its hooks, then the running state.
  void Start();

  // Game time passes, a second at a time; each second runs every timer callback once.
  void AdvanceTime(int64_t seconds);

  // A player types a chat line or a console command; false when no command has its first word.
  bool Chat(ShooterPlayerController& player, std::string_view text);
  bool Console(ShooterPlayerController& player, std::string_view text);
  // An RCON request. Plug-in commands answer through "RCONClientConnection.SendMessageW"; any
  // other command gets the game's answer for a command without output.
  std::vector<RconConnection::Reply> Rcon(std::string_view text, int32_t request_id = 1);

 private:
  static Server* current_;

  std::filesystem::path server_dir_;
  EventLog events_;
  std::vector<std::string> trace_;
  uint64_t traced_ = 0;  // calls traced since the server began, kept or not
  Commands commands_;
  std::unique_ptr<ArkApi::IApiUtils> api_utils_;
  std::vector<spdlog::sink_ptr> log_sinks_;
  std::unique_ptr<Game> game_;
  std::map<uint64_t, std::set<std::string>> groups_;
  std::set<std::string, std::less<>> refused_hooks_;
  int server_state_ = 0;
  PluginLoader loader_;
};

// The game's answer to an RCON command that printed nothing.
inline constexpr char kRconNoResponse[] = "Server received, But no response!! \n ";

// Reports a fault of the caller that the real game would crash on, and stops the process.
[[noreturn]] void Fault(const std::string& what);

}  // namespace sim
