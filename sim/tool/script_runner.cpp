#include "sim/tool/script_runner.h"

#include <exception>
#include <map>
#include <sstream>

#include <fmt/format.h>

#include "sim/tool/cluster_sync.h"

namespace sim::tool {

ScriptRunner::ScriptRunner(Server& server, RunnerSettings settings)
    : context_{server, std::move(settings)} {
  std::istringstream lines(context_.settings.default_world);
  for (std::string text; std::getline(lines, text);) default_names_.Parse(text);
}

std::vector<std::string> ScriptRunner::Candidates(const std::vector<std::string>& words,
                                                  std::string_view partial) const {
  std::vector<std::string> found = parser_.Candidates(words, partial);
  if (!action_seen_ && !scene_set_) {
    for (std::string& name : default_names_.Candidates(words, partial))
      found.push_back(std::move(name));
  }
  return found;
}

bool ScriptRunner::RunLine(std::string_view text, int line, bool typed) {
  context_.server.events().line = line;
  std::string error;
  try {
    // The scene comes before the first action is read, since it may name what the scene has.
    if (const Verb* verb = ScriptParser::VerbOf(text); verb != nullptr && verb->needs_scene)
      SetScene(line);
    Parsed parsed = parser_.Parse(text);
    if (parsed.statement) {
      Boot(parsed.statement->verb->boot);
      error = Run(*parsed.statement);
    } else {
      error = std::move(parsed.error);
    }
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (!error.empty()) ReportError(typed ? 0 : line, error);
  context_.server.events().line = 0;
  return error.empty();
}

std::string ScriptRunner::SyncQuietly(int seconds, int line, bool outage) {
  context_.server.events().line = line;
  std::string error;
  try {
    const SyncOutcome outcome = SyncCluster(context_, std::chrono::seconds(seconds),
                                            outage ? SyncGoal::kUnreachable : SyncGoal::kInSync);
    if (outcome.state == SyncOutcome::State::kTimedOut) error = outcome.Describe(seconds);
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (!error.empty()) ReportError(line, error);
  context_.server.events().line = 0;
  return error;
}

void ScriptRunner::ReportError(int line, const std::string& text) {
  failed_ = true;
  context_.Report(EventKind::kError, {{"line", line}, {"text", text}});
}

std::string ScriptRunner::Run(const Statement& statement) {
  const Verb& verb = *statement.verb;
  std::string error;
  try {
    verb.run(context_, statement);
  } catch (const LineError& e) {
    error = e.what();
  }
  if (verb.makes == Thing::kPlayer || verb.makes == Thing::kDino) scene_set_ = true;
  if (verb.kind == VerbKind::kAction) AdoptNewCreatures();
  return error;
}

std::string ScriptRunner::RunRcon(const std::string& text, int32_t id) {
  std::string answer;
  try {
    SetScene(0);
    Boot(BootRule::kNeeds);
    for (const auto& reply : context_.server.Rcon(text, id)) answer += reply.text;
  } catch (const std::exception& e) {
    ReportError(0, e.what());
  }
  return answer;
}

void ScriptRunner::SetScene(int line) {
  if (action_seen_) return;
  action_seen_ = true;
  if (!scene_set_) RunDefaultWorld();
  if (scene_listener_) scene_listener_(WorldSummary());
  context_.server.events().line = line;
}

void ScriptRunner::Boot(BootRule rule) {
  if (rule == BootRule::kIsBoot) {
    booted_ = true;
  } else if (rule == BootRule::kNeeds && !booted_) {
    booted_ = true;
    context_.server.Start();
    context_.LoadPlugin();
  }
}

std::string ScriptRunner::WorldSummary() const {
  const auto plural = [](std::size_t n, const char* word) {
    return fmt::format("{} {}{}", n, word, n == 1 ? "" : "s");
  };
  std::set<int32_t> tribes;
  for (const auto& [name, player] : context_.players) {
    const int32_t tribe = FromHost<ShooterPlayerState>(player->player_state)->tribe.tribe_id;
    if (tribe != 0) tribes.insert(tribe);
  }
  std::map<int32_t, int> creatures;  // by team; 0: wild
  for (const auto& [name, dino] : context_.dinos)
    if (!dino->dead() && !dino->destroyed) ++creatures[dino->targeting_team];
  std::string teams;
  for (const auto& [team, count] : creatures)
    if (team != 0) teams += fmt::format("{}{} of team {}", teams.empty() ? "" : ", ", count, team);
  if (creatures.contains(0))
    teams += fmt::format("{}{} wild", teams.empty() ? "" : ", ", creatures[0]);
  return fmt::format("world: {}, {}; creatures: {}", plural(context_.players.size(), "player"),
                     plural(tribes.size(), "tribe"), teams.empty() ? "none" : teams);
}

void ScriptRunner::RunDefaultWorld() {
  context_.server.events().line = 0;
  std::istringstream lines(context_.settings.default_world);
  std::string text;
  for (int line = 1; std::getline(lines, text); ++line) {
    Parsed parsed = parser_.Parse(text);
    std::string error = parsed.statement ? Run(*parsed.statement) : parsed.error;
    if (!error.empty()) ReportError(0, "default world line " + std::to_string(line) + ": " + error);
  }
}

void ScriptRunner::AdoptNewCreatures() {
  for (AActor* slot : context_.server.game().level().actors) {
    auto* actor = FromHost<Actor>(slot);
    if (actor == nullptr || !actor->IsA(sim::Dino::StaticClass())) continue;
    auto* dino = static_cast<sim::Dino*>(actor);
    if (!known_dinos_.insert(dino).second || parser_.Knows(Thing::kDino, dino->name)) continue;
    parser_.Declare(Thing::kDino, dino->name);
    context_.dinos.emplace(dino->name, dino);
  }
}

}  // namespace sim::tool
