// Lines that show: help, and the world as the script has built it. Neither touches the game.
#include <fstream>

#include "host/game_facts.h"
#include "sim/framework/text.h"
#include "sim/tool/script_runner.h"
#include "sim/tool/world_paths.h"

namespace sim::tool {
namespace {

nlohmann::json Location(const Actor& actor) {
  const auto* root = FromHost<SceneComponent>(actor.root_component);
  if (root == nullptr) return nullptr;
  const FVector& at = root->relative_location;
  return {EventFloat(at.X), EventFloat(at.Y), EventFloat(at.Z)};
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

// The kinds a cryopod or soul trap holds, by their paths.
nlohmann::json Holds(Game& game, const Item& item) {
  nlohmann::json kinds = nlohmann::json::array();
  const auto add = [&kinds](const Class* kind) {
    if (kind != nullptr)
      kinds.push_back(kind->kind_path.empty() ? kind->class_name : kind->kind_path);
  };
  for (const FCustomItemData& data : item.custom_item_datas) {
    if (!item.keeps_path) {
      for (UClass* kind : data.CustomDataClasses) add(FromHost<Class>(kind));
    } else if (data.CustomDataStrings.Num() > game_facts::kSoulTrapPathIndex) {
      add(game.CreatureClass(ToUtf8(data.CustomDataStrings[game_facts::kSoulTrapPathIndex])));
    }
  }
  return kinds;
}

// The display names of the kinds a world event mentions.
nlohmann::json NamesOf(const nlohmann::json& all, const nlohmann::json& dinos,
                       const nlohmann::json& items) {
  nlohmann::json names = nlohmann::json::object();
  const auto add = [&](const nlohmann::json& path) {
    if (const auto it = all.find(path.get<std::string>()); it != all.end())
      names[path.get<std::string>()] = *it;
  };
  for (const auto& dino : dinos) add(dino["kind"]);
  for (const auto& item : items)
    if (const auto held = item.find("holds"); held != item.end())
      for (const auto& path : *held) add(path);
  return names;
}

void Help(ScriptContext& c, const Statement& s) {
  if (s.args.empty()) {
    c.Report(EventKind::kHelp, {{"text", VerbOverview()}});
  } else {
    c.Report(EventKind::kHelp, {{"verb", s.args[0]}, {"text", VerbHelp(*FindVerb(s.args[0]))}});
  }
}

void ShowWorld(ScriptContext& c, const Statement&) {
  nlohmann::json players = nlohmann::json::array();
  for (const auto& [name, player] : c.players) {
    const auto* state = FromHost<ShooterPlayerState>(player->player_state);
    players.push_back({{"name", name},
                       {"id", state->player_id},
                       {"tribe", state->tribe.tribe_id},
                       {"team", Game::TeamOf(*player)},
                       {"groups", c.server.Groups(player->steam_id)},
                       {"dead", player->dead}});
  }
  nlohmann::json dinos = nlohmann::json::array();
  for (const auto& [name, dino] : c.dinos) {
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
  for (const auto& [name, structure] : c.structures)
    structures.push_back({{"name", name}, {"at", Location(*structure)}});
  nlohmann::json items = nlohmann::json::array();
  for (const auto& [name, item] : c.items) {
    nlohmann::json entry = {{"name", name}, {"kind", ItemPath(*FromHost<Class>(item->cls))}};
    if (const std::string& path = entry["kind"]; path == kCryopodPath || path == kSoulTrapPath)
      entry["holds"] = Holds(c.server.game(), *item);
    items.push_back(std::move(entry));
  }
  nlohmann::json names = NamesOf(c.DisplayNames(), dinos, items);
  c.Report(EventKind::kWorld, {{"loaded", c.server.plugin_loaded()},
                               {"players", std::move(players)},
                               {"dinos", std::move(dinos)},
                               {"structures", std::move(structures)},
                               {"items", std::move(items)},
                               {"names", std::move(names)}});
}

}  // namespace

nlohmann::json ScriptContext::DisplayNames() const {
  nlohmann::json names = nlohmann::json::object();
  try {
    std::ifstream in(server.ConfigPath());
    const auto config = nlohmann::json::parse(in, nullptr, /*allow_exceptions=*/false);
    const auto dinos = config.is_object() ? config.find("Dinos") : config.end();
    if (dinos == config.end() || !dinos->is_object()) return names;
    for (const auto& [path, entry] : dinos->items()) {
      if (entry.is_object() && entry.contains("Name") && entry["Name"].is_string())
        names[path] = entry["Name"];
    }
  } catch (const std::exception&) {  // a config that cannot be read names nothing
  }
  return names;
}

std::vector<Verb> ShowVerbs() {
  return {
      ShowRow("help [VERB]",
              "lists every kind of script line; with VERB, what that line does, its arguments "
              "and an example.",
              "help tame", Help, false),
      ShowRow(
          "world",
          "shows the plug-in's state and every player (name, id, tribe, team, groups, dead), "
          "creature (name, kind, team, dead, location), structure and item (what each cryopod "
          "and soul trap holds), kinds by the config's names where it gives them. The scene is set "
          "first (the default world when the script has made no player or creature), but "
          "neither the server nor the plug-in starts. Takes no arguments.",
          "world", ShowWorld, true),
  };
}

}  // namespace sim::tool
