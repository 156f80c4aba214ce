#include "sim/server.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "sim/framework/call_trace.h"
#include "sim/framework/log_sinks.h"
#include "sim/framework/text.h"
#include "sim/game/functions.h"

namespace sim {
namespace {

class ApiUtils final : public ArkApi::IApiUtils {
 public:
  explicit ApiUtils(Server& server) : server_(server) {}

  UWorld* GetGameWorld() override { return ToHost<UWorld>(&server_.game().world()); }
  int GetServerState() override { return server_.server_state(); }
  bool IsPlayerDead(AShooterPlayerController* controller) override {
    return controller != nullptr && FromHost<ShooterPlayerController>(controller)->dead;
  }
  uint64_t GetSteamIdFromController(AController* controller) override {
    auto* object = FromHost<Object>(controller);
    if (object == nullptr || !object->IsA(ShooterPlayerController::StaticClass())) return 0;
    return static_cast<ShooterPlayerController*>(object)->steam_id;
  }
  AShooterPlayerController* FindControllerFromCharacter(AShooterCharacter* character) override {
    auto* body = FromHost<Survivor>(character);
    return body == nullptr ? nullptr : ToHost<AShooterPlayerController>(body->controller);
  }

 private:
  Server& server_;
};

}  // namespace

Server* Server::current_ = nullptr;

void Fault(const std::string& what) {
  std::fprintf(stderr, "stand-in game: fault: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

Server::Server(std::filesystem::path server_dir)
    : server_dir_(std::move(server_dir)),
      commands_([this](std::string call) { Trace(std::move(call)); }),
      api_utils_(std::make_unique<ApiUtils>(*this)),
      game_(std::make_unique<Game>()) {
  if (current_ != nullptr) throw std::logic_error("a stand-in server is already running");
  std::filesystem::create_directories(LogPath().parent_path());
  std::filesystem::create_directories(ConfigPath().parent_path());
  log_sinks_ = MakeLogSinks(LogPath(), events_);
  current_ = this;
}

Server::~Server() {
  UnloadPlugin();
  current_ = nullptr;
}

bool Server::Exists() { return current_ != nullptr; }

Server& Server::Current() {
  if (current_ == nullptr) Fault("the framework was used while no server runs");
  return *current_;
}

std::filesystem::path Server::ConfigPathIn(const std::filesystem::path& server_dir) {
  return server_dir / "ArkApi" / "Plugins" / "Tamewarden" / "config.json";
}

std::filesystem::path Server::LogPath() const {
  return server_dir_ / "ArkApi" / "Logs" / "server.log";
}

void Server::AddToGroup(uint64_t steam_id, std::string group) {
  groups_[steam_id].insert(std::move(group));
}

bool Server::InGroup(uint64_t steam_id, const std::string& group) const {
  const auto it = groups_.find(steam_id);
  return it != groups_.end() && it->second.contains(group);
}

std::vector<std::string> Server::Groups(uint64_t steam_id) const {
  const auto it = groups_.find(steam_id);
  return it == groups_.end() ? std::vector<std::string>()
                             : std::vector<std::string>(it->second.begin(), it->second.end());
}

void Server::Trace(std::string call) {
  // Dropping the older half at once keeps the cost of a call constant on average.
  if (trace_.size() >= 2 * kTraceKept)
    trace_.erase(trace_.begin(), trace_.begin() + static_cast<std::ptrdiff_t>(kTraceKept));
  trace_.push_back(std::move(call));
  ++traced_;
}

LoadResult Server::LoadPlugin(const std::filesystem::path& library) {
  const uint64_t before = traced_;
  LoadResult result = loader_.Load(library);
  // What the plug-in registered with the framework while it loaded, in order (the latest
  // kTraceKept calls of a load that made more).
  const auto made = static_cast<std::ptrdiff_t>(
      std::min<uint64_t>(traced_ - before, static_cast<uint64_t>(trace_.size())));
  const std::vector<std::string> registered(trace_.end() - made, trace_.end());
  events_.Add(EventKind::kLoad,
              {{"ok", result.ok},
               {"error", result.ok ? nlohmann::json(nullptr) : nlohmann::json(result.error)},
               {"registered", registered}});
  return result;
}

void Server::UnloadPlugin() {
  if (!loader_.loaded()) return;
  const std::string error = loader_.Unload();
  if (!error.empty()) events_.Add(EventKind::kCrash, {{"text", error}});
  events_.Add(EventKind::kUnload);
}

void Server::Start() {
  FString map("TheIsland"), options("?listen"), error;
  Invoke<"AShooterGameMode.InitGame">(ToHost<AShooterGameMode>(&game_->game_mode()), &map, &options,
                                      &error);
  server_state_ = 1;
}

void Server::AdvanceTime(int64_t seconds) {
  for (int64_t i = 0; i < seconds; ++i) commands_.RunTimers();
}

bool Server::Chat(ShooterPlayerController& player, std::string_view text) {
  return commands_.RunChat(ToHost<AShooterPlayerController>(&player), FromUtf8(std::string(text)),
                           EChatSendMode::GlobalChat);
}

bool Server::Console(ShooterPlayerController& player, std::string_view text) {
  return commands_.RunConsole(ToHost<APlayerController>(&player), FromUtf8(std::string(text)));
}

std::vector<RconConnection::Reply> Server::Rcon(std::string_view text, int32_t request_id) {
  RconConnection connection;
  RCONPacket packet;
  packet.Id = request_id;
  packet.Type = 2;
  packet.Body = FromUtf8(std::string(text));
  packet.Length = 10 + static_cast<int32_t>(text.size());
  auto* host_connection = reinterpret_cast<RCONClientConnection*>(&connection);
  if (!commands_.RunRcon(host_connection, packet, ToHost<UWorld>(&game_->world()))) {
    FString answer(kRconNoResponse);
    game_functions::RconSendMessage(host_connection, request_id, 0, &answer);
  }
  return std::move(connection.replies);
}

}  // namespace sim
