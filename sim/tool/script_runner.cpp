#include "sim/tool/script_runner.h"

#include <exception>
#include <sstream>

namespace sim::tool {

ScriptRunner::ScriptRunner(Server& server, RunnerSettings settings)
    : server_(server), settings_(std::move(settings)) {}

const std::map<std::string_view, ScriptRunner::Handler>& ScriptRunner::Handlers() {
  static const std::map<std::string_view, Handler> handlers = {
      {"player", &ScriptRunner::Player},
      {"dino", &ScriptRunner::AddDino},
      {"structure", &ScriptRunner::AddStructure},
      {"cryopod", &ScriptRunner::Cryopod},
      {"soultrap", &ScriptRunner::SoulTrap},
      {"item", &ScriptRunner::AddItem},
      {"actor", &ScriptRunner::AddActor},
      {"null_actor", &ScriptRunner::NullActor},
      {"config", &ScriptRunner::Config},
      {"config_delete", &ScriptRunner::ConfigDelete},
      {"aim", &ScriptRunner::Aim},
      {"kill_player", &ScriptRunner::KillPlayer},
      {"revive", &ScriptRunner::Revive},
      {"server_state", &ScriptRunner::ServerState},
      {"load", &ScriptRunner::Load},
      {"unload", &ScriptRunner::Unload},
      {"start", &ScriptRunner::Start},
      {"tame", &ScriptRunner::Tame},
      {"claim", &ScriptRunner::Claim},
      {"unclaim", &ScriptRunner::Unclaim},
      {"multiuse", &ScriptRunner::MultiUse},
      {"die", &ScriptRunner::Die},
      {"destroy", &ScriptRunner::Destroy},
      {"equip", &ScriptRunner::Equip},
      {"use", &ScriptRunner::Use},
      {"slot", &ScriptRunner::Slot},
      {"request_download", &ScriptRunner::RequestDownload},
      {"download", &ScriptRunner::Download},
      {"init_downloaded", &ScriptRunner::InitDownloaded},
      {"clone", &ScriptRunner::Clone},
      {"netexec", &ScriptRunner::NetExec},
      {"spawn", &ScriptRunner::Spawn},
      {"invite", &ScriptRunner::Invite},
      {"merge", &ScriptRunner::Merge},
      {"create_tribe", &ScriptRunner::CreateTribe},
      {"chat", &ScriptRunner::Chat},
      {"console", &ScriptRunner::Console},
      {"rcon", &ScriptRunner::Rcon},
      {"truth", &ScriptRunner::Truth},
  };
  return handlers;
}

bool ScriptRunner::RunLine(std::string_view text, int line) {
  server_.events().line = line;
  std::string error;
  try {
    // The scene comes before the first action is read, since it may name what the scene has.
    if (ScriptParser::StartsAction(text)) SetScene(line);
    Parsed parsed = parser_.Parse(text);
    if (parsed.statement) {
      if (parsed.statement->action) Boot(parsed.statement->verb);
      error = Run(*parsed.statement);
    } else {
      error = std::move(parsed.error);
    }
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (!error.empty()) ReportError(line, error);
  server_.events().line = 0;
  return error.empty();
}

void ScriptRunner::ReportError(int line, const std::string& text) {
  failed_ = true;
  server_.events().Add("error", {{"line", line}, {"text", text}});
}

std::string ScriptRunner::Run(const Statement& statement) {
  std::string error = (this->*Handlers().at(statement.verb))(statement);
  if (statement.verb == "player" || statement.verb == "dino") scene_set_ = true;
  if (statement.action) AdoptNewCreatures();
  return error;
}

std::string ScriptRunner::RunRcon(const std::string& text, int32_t id) {
  std::string answer;
  try {
    SetScene(0);
    Boot("rcon");
    for (const auto& reply : server_.Rcon(text, id)) answer += reply.text;
  } catch (const std::exception& e) {
    ReportError(0, e.what());
  }
  return answer;
}

void ScriptRunner::SetScene(int line) {
  if (action_seen_) return;
  action_seen_ = true;
  if (!scene_set_) RunDefaultWorld();
  server_.events().line = line;
}

void ScriptRunner::Boot(std::string_view verb) {
  if (verb == "load" || verb == "start") {
    booted_ = true;
  } else if (!booted_ && verb != "unload") {
    booted_ = true;
    server_.Start();
    server_.LoadPlugin(settings_.plugin);
  }
}

void ScriptRunner::RunDefaultWorld() {
  server_.events().line = 0;
  std::istringstream lines(settings_.default_world);
  std::string text;
  for (int line = 1; std::getline(lines, text); ++line) {
    Parsed parsed = parser_.Parse(text);
    std::string error = parsed.statement ? Run(*parsed.statement) : parsed.error;
    if (!error.empty()) ReportError(0, "default world line " + std::to_string(line) + ": " + error);
  }
}

void ScriptRunner::AdoptNewCreatures() {
  for (AActor* slot : server_.game().level().actors) {
    auto* actor = FromHost<Actor>(slot);
    if (actor == nullptr || !actor->IsA(sim::Dino::StaticClass())) continue;
    auto* dino = static_cast<sim::Dino*>(actor);
    if (!known_dinos_.insert(dino).second || parser_.Knows(Thing::kDino, dino->name)) continue;
    parser_.Declare(Thing::kDino, dino->name);
    dinos_.emplace(dino->name, dino);
  }
}

Class& ScriptRunner::KindArg(const Statement& s, std::size_t i) {
  // The parser checked the path's shape, so the game makes a class for it.
  return *server_.game().CreatureClass(s.args.at(i));
}

}  // namespace sim::tool
