// World lines: they set the scene directly, and no hook runs.
#include <filesystem>
#include <system_error>

#include "host/game_facts.h"
#include "sim/tool/script_runner.h"
#include "sim/tool/world_paths.h"

namespace sim::tool {
namespace {

int32_t IntOption(const Statement& s, std::string_view key, int32_t fallback = 0) {
  int32_t value = fallback;
  if (const auto it = s.options.find(key); it != s.options.end()) ParseInt(it->second, value);
  return value;
}

FVector Location(const Statement& s) {
  FVector at;
  if (const auto it = s.options.find("at"); it != s.options.end())
    ParseVector(it->second, at.X, at.Y, at.Z);
  return at;
}

void SetDead(ShooterPlayerController& player, bool dead) {
  player.dead = dead;
  if (player.character != nullptr) player.character->set_dead(dead);
}

}  // namespace

std::string ScriptRunner::Player(const Statement& s) {
  PlayerSpec details;
  details.name = s.args.at(0);
  details.id = IntOption(s, "id");
  details.tribe = IntOption(s, "tribe");
  details.dead = s.Has("dead");
  // Without steam=, an id in the range Steam gives individual accounts.
  details.steam_id = kSteamIdBase + static_cast<uint32_t>(details.id);
  if (const auto it = s.options.find("steam"); it != s.options.end())
    ParseUint64(it->second, details.steam_id);
  ShooterPlayerController& player = server_.game().AddPlayer(details);
  if (s.Has("admin")) server_.AddToGroup(details.steam_id, "Admins");
  const std::string groups = s.Option("groups");
  for (std::size_t at = 0; at < groups.size();) {
    const std::size_t comma = std::min(groups.find(',', at), groups.size());
    if (comma > at) server_.AddToGroup(details.steam_id, groups.substr(at, comma - at));
    at = comma + 1;
  }
  players_.emplace(details.name, &player);
  return "";
}

std::string ScriptRunner::AddDino(const Statement& s) {
  Game& game = server_.game();
  Class& kind = s.options.contains("fullname") ? game.CreatureClassNamed(s.Option("fullname"))
                                               : *game.CreatureClass(s.Option("kind"));
  Dino& dino = game.AddDino(s.args.at(0), kind, IntOption(s, "team"), Location(s));
  dino.set_dead(s.Has("dead"));
  dinos_.emplace(dino.name, &dino);
  return "";
}

std::string ScriptRunner::AddStructure(const Statement& s) {
  structures_.emplace(s.args.at(0), &server_.game().AddStructure(s.args.at(0), Location(s)));
  return "";
}

std::string ScriptRunner::Cryopod(const Statement& s) {
  Game& game = server_.game();
  Item& item = game.AddItem(s.args.at(0), *game.ItemClass(kCryopodPath));
  const std::string holds = s.Option("holds");
  if (!holds.empty()) {
    FCustomItemData data;
    for (std::size_t at = 0; at <= holds.size();) {
      const std::size_t comma = std::min(holds.find(',', at), holds.size());
      data.CustomDataClasses.Add(ToHost<UClass>(game.CreatureClass(holds.substr(at, comma - at))));
      at = comma + 1;
    }
    item.custom_item_datas.Add(std::move(data));
  }
  items_.emplace(item.name, &item);
  return "";
}

std::string ScriptRunner::SoulTrap(const Statement& s) {
  Game& game = server_.game();
  Item& item = game.AddItem(s.args.at(0), *game.ItemClass(kSoulTrapPath));
  item.keeps_path = true;
  // The trap keeps the creature's path, without Blueprint'...', after other strings.
  if (const std::string holds = s.Option("holds"); !holds.empty()) {
    FCustomItemData data;
    for (int i = 0; i < game_facts::kSoulTrapPathIndex; ++i)
      data.CustomDataStrings.Add(FString("field " + std::to_string(i)));
    data.CustomDataStrings.Add(FString(BarePath(holds)));
    item.custom_item_datas.Add(std::move(data));
  }
  items_.emplace(item.name, &item);
  return "";
}

std::string ScriptRunner::AddItem(const Statement& s) {
  Game& game = server_.game();
  Item& item = game.AddItem(s.args.at(0), *game.ItemClass(s.Option("kind")));
  item.item_type = static_cast<uint8_t>(IntOption(s, "type"));
  item.consumable_type = static_cast<uint8_t>(IntOption(s, "consumable"));
  if (const std::string spawns = s.Option("spawns"); !spawns.empty())
    item.spawns = game.CreatureClass(spawns);
  items_.emplace(item.name, &item);
  return "";
}

std::string ScriptRunner::AddActor(const Statement& s) {
  server_.game().AddActor(s.args.at(0));
  return "";
}

std::string ScriptRunner::NullActor(const Statement&) {
  server_.game().AddNullActor();
  return "";
}

std::string ScriptRunner::Config(const Statement& s) {
  std::filesystem::path file = s.args.at(0);
  if (file.is_relative()) file = settings_.script_dir / file;
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return "no config file " + file.string();
  std::filesystem::copy_file(file, server_.ConfigPath(),
                             std::filesystem::copy_options::overwrite_existing, error);
  if (error) return "cannot copy " + file.string() + ": " + error.message();
  return "";
}

std::string ScriptRunner::ConfigDelete(const Statement&) {
  std::error_code ignored;  // already gone is fine
  std::filesystem::remove(server_.ConfigPath(), ignored);
  return "";
}

std::string ScriptRunner::Aim(const Statement& s) {
  ShooterPlayerController& player = PlayerArg(s, 0);
  if (player.character == nullptr) return "player " + player.name + " has no body";
  const std::string& target = s.args.at(1);
  if (target == "none") {
    player.character->aimed = nullptr;
  } else if (Dino* dino = FindDino(target)) {
    player.character->aimed = dino;
  } else {
    player.character->aimed = structures_.at(target);
  }
  return "";
}

std::string ScriptRunner::KillPlayer(const Statement& s) {
  SetDead(PlayerArg(s, 0), true);
  return "";
}

std::string ScriptRunner::Revive(const Statement& s) {
  SetDead(PlayerArg(s, 0), false);
  return "";
}

std::string ScriptRunner::ServerState(const Statement& s) {
  int32_t state = 0;
  ParseInt(s.args.at(0), state);
  server_.set_server_state(state);
  return "";
}

}  // namespace sim::tool
