#include "sim/tool/script_runner.h"

#include <exception>
#include <sstream>

namespace sim::tool {

ScriptRunner::ScriptRunner(Server& server, RunnerSettings settings)
    : server_(server), settings_(std::move(settings)) {
  std::istringstream lines(settings_.default_world);
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

bool ScriptRunner::RunLine(std::string_view text, int line) {
  server_.events().line = line;
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
  if (!error.empty()) ReportError(line, error);
  server_.events().line = 0;
  return error.empty();
}

void ScriptRunner::ReportError(int line, const std::string& text) {
  failed_ = true;
  server_.events().Add("error", {{"line", line}, {"text", text}});
}

std::string ScriptRunner::Run(const Statement& statement) {
  const Verb& verb = *statement.verb;
  std::string error = (this->*verb.run)(statement);
  if (verb.makes == Thing::kPlayer || verb.makes == Thing::kDino) scene_set_ = true;
  if (verb.kind == VerbKind::kAction) AdoptNewCreatures();
  return error;
}

std::string ScriptRunner::RunRcon(const std::string& text, int32_t id) {
  std::string answer;
  try {
    SetScene(0);
    Boot(BootRule::kNeeds);
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

void ScriptRunner::Boot(BootRule rule) {
  if (rule == BootRule::kIsBoot) {
    booted_ = true;
  } else if (rule == BootRule::kNeeds && !booted_) {
    booted_ = true;
    server_.Start();
    LoadPlugin();
  }
}

void ScriptRunner::LoadPlugin() {
  if (!server_.LoadPlugin(settings_.plugin).ok) load_failed_ = true;  // the "load" event tells why
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
