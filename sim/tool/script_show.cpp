// Lines that show: help, and the world as the script has built it. Neither touches the game.
#include "sim/tool/script_runner.h"

namespace sim::tool {
namespace {

nlohmann::json Location(const Actor& actor) {
  const auto* root = FromHost<SceneComponent>(actor.root_component);
  if (root == nullptr) return nullptr;
  const FVector& at = root->relative_location;
  return {at.X, at.Y, at.Z};
}

// An item's blueprint path, "/Game/.../X.X", from its class's default object
// "X_C /Game/.../X.Default__X_C".
std::string ItemPath(const Class& cls) {
  const std::string& full = cls.default_full_name;
  const std::size_t space = full.find(' ');
  const std::size_t dot = full.find(".Default__");
  if (space == std::string::npos || dot == std::string::npos || dot < space) return cls.class_name;
  const std::string package = full.substr(space + 1, dot - space - 1);
  return package + "." + package.substr(package.rfind('/') + 1);
}

}  // namespace

std::string ScriptRunner::Help(const Statement& s) {
  if (s.args.empty()) {
    server_.events().Add("help", {{"text", VerbOverview()}});
  } else {
    server_.events().Add("help", {{"verb", s.args[0]}, {"text", VerbHelp(*FindVerb(s.args[0]))}});
  }
  return "";
}

std::string ScriptRunner::ShowWorld(const Statement&) {
  nlohmann::json players = nlohmann::json::array();
  for (const auto& [name, player] : players_) {
    const auto* state = FromHost<ShooterPlayerState>(player->player_state);
    players.push_back({{"name", name},
                       {"id", state->player_id},
                       {"tribe", state->tribe.tribe_id},
                       {"team", Game::TeamOf(*player)},
                       {"groups", server_.Groups(player->steam_id)},
                       {"dead", player->dead}});
  }
  nlohmann::json dinos = nlohmann::json::array();
  for (const auto& [name, dino] : dinos_) {
    const auto* kind = FromHost<Class>(dino->cls);
    nlohmann::json entry = {{"name", name},
                            {"kind", kind->kind_path.empty() ? kind->class_name : kind->kind_path},
                            {"team", dino->targeting_team},
                            {"dead", dino->dead()},
                            {"at", Location(*dino)}};
    if (dino->destroyed) entry["destroyed"] = true;
    dinos.push_back(std::move(entry));
  }
  nlohmann::json structures = nlohmann::json::array();
  for (const auto& [name, structure] : structures_)
    structures.push_back({{"name", name}, {"at", Location(*structure)}});
  nlohmann::json items = nlohmann::json::array();
  for (const auto& [name, item] : items_)
    items.push_back({{"name", name}, {"kind", ItemPath(*FromHost<Class>(item->cls))}});
  server_.events().Add("world", {{"loaded", server_.plugin_loaded()},
                                 {"players", std::move(players)},
                                 {"dinos", std::move(dinos)},
                                 {"structures", std::move(structures)},
                                 {"items", std::move(items)}});
  return "";
}

}  // namespace sim::tool
