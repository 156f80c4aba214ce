// World lines: they set the scene directly, and no hook runs.
#include <filesystem>
#include <system_error>

#include <fmt/format.h>

#include "host/game_text.h"
#include "sim/game/actions.h"
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

void Player(ScriptContext& c, const Statement& s) {
  PlayerSpec details;
  details.name = s.args.at(0);
  details.id = IntOption(s, "id");
  details.tribe = IntOption(s, "tribe");
  details.dead = s.Has("dead");
  // Without steam=, an id in the range Steam gives individual accounts.
  details.steam_id = kSteamIdBase + static_cast<uint32_t>(details.id);
  if (const auto it = s.options.find("steam"); it != s.options.end())
    ParseUint64(it->second, details.steam_id);
  ShooterPlayerController& player = c.server.game().AddPlayer(details);
  if (s.Has("admin")) c.server.AddToGroup(details.steam_id, "Admins");
  for (const std::string& group : Split(s.Option("groups"), ','))
    if (!group.empty()) c.server.AddToGroup(details.steam_id, group);
  c.players.emplace(details.name, &player);
}

void AddDino(ScriptContext& c, const Statement& s) {
  Game& game = c.server.game();
  Class& kind = s.options.contains("fullname") ? game.CreatureClassNamed(s.Option("fullname"))
                                               : *game.CreatureClass(s.Option("kind"));
  const std::string& name = s.args.at(0);
  const int32_t count = IntOption(s, "count");
  for (int32_t i = count == 0 ? 0 : 1; i <= count; ++i) {
    Dino& dino = game.AddDino(count == 0 ? name : name + std::to_string(i), kind,
                              IntOption(s, "team"), Location(s));
    dino.set_dead(s.Has("dead"));
    c.dinos.emplace(dino.name, &dino);
  }
}

void AddStructure(ScriptContext& c, const Statement& s) {
  c.structures.emplace(s.args.at(0), &c.server.game().AddStructure(s.args.at(0), Location(s)));
}

void Cryopod(ScriptContext& c, const Statement& s) {
  Game& game = c.server.game();
  Item& item = game.AddItem(s.args.at(0), *game.ItemClass(kCryopodPath));
  const std::string holds = s.Option("holds");
  if (!holds.empty()) {
    FCustomItemData data;
    for (const std::string& kind : Split(holds, ','))
      data.CustomDataClasses.Add(ToHost<UClass>(game.CreatureClass(kind)));
    item.custom_item_datas.Add(std::move(data));
  }
  c.items.emplace(item.name, &item);
}

void SoulTrap(ScriptContext& c, const Statement& s) {
  Game& game = c.server.game();
  Item& item = game.AddItem(s.args.at(0), *game.ItemClass(kSoulTrapPath));
  item.keeps_path = true;
  if (const std::string holds = s.Option("holds"); !holds.empty())
    item.custom_item_datas.Add(actions::SoulTrapData(FString(game_text::Unwrap(holds))));
  c.items.emplace(item.name, &item);
}

void AddItem(ScriptContext& c, const Statement& s) {
  Game& game = c.server.game();
  Item& item = game.AddItem(s.args.at(0), *game.ItemClass(s.Option("kind")));
  item.item_type = static_cast<uint8_t>(IntOption(s, "type"));
  item.consumable_type = static_cast<uint8_t>(IntOption(s, "consumable"));
  if (const std::string spawns = s.Option("spawns"); !spawns.empty())
    item.spawns = game.CreatureClass(spawns);
  c.items.emplace(item.name, &item);
}

void AddActor(ScriptContext& c, const Statement& s) { c.server.game().AddActor(s.args.at(0)); }

void NullActor(ScriptContext& c, const Statement&) { c.server.game().AddNullActor(); }

void Config(ScriptContext& c, const Statement& s) {
  std::filesystem::path file = s.args.at(0);
  if (file.is_relative()) file = c.settings.script_dir / file;
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error))
    throw LineError("no config file " + file.string());
  std::filesystem::copy_file(file, c.server.ConfigPath(),
                             std::filesystem::copy_options::overwrite_existing, error);
  if (error) throw LineError("cannot copy " + file.string() + ": " + error.message());
  if (c.settings.cluster_keys) {
    try {
      ApplyClusterKeysToFile(c.server.ConfigPath(), *c.settings.cluster_keys);
    } catch (const std::runtime_error& e) {
      throw LineError(e.what());
    }
  }
}

void ConfigDelete(ScriptContext& c, const Statement&) {
  std::error_code ignored;  // already gone is fine
  std::filesystem::remove(c.server.ConfigPath(), ignored);
}

void Aim(ScriptContext& c, const Statement& s) {
  ShooterPlayerController& player = c.PlayerArg(s, 0);
  if (player.character == nullptr) throw LineError("player " + player.name + " has no body");
  const std::string& target = s.args.at(1);
  if (target == "none") {
    player.character->aimed = nullptr;
  } else if (const auto dino = c.dinos.find(target); dino != c.dinos.end()) {
    player.character->aimed = dino->second;
  } else {
    player.character->aimed = c.structures.at(target);
  }
}

void KillPlayer(ScriptContext& c, const Statement& s) { SetDead(c.PlayerArg(s, 0), true); }

void Revive(ScriptContext& c, const Statement& s) { SetDead(c.PlayerArg(s, 0), false); }

void ServerState(ScriptContext& c, const Statement& s) {
  int32_t state = 0;
  ParseInt(s.args.at(0), state);
  c.server.set_server_state(state);
}

}  // namespace

std::vector<Verb> WorldVerbs() {
  return {
      WorldRow("player NAME id=N [steam=N] [tribe=N] [groups=G[,G...]] [admin] [dead]",
               fmt::format("a connected player NAME (controller, player state and body) with "
                           "player id `id`. `tribe` is the id of the player's tribe; the player's "
                           "team (`AActor.TargetingTeam`) is the tribe id, else the player id. "
                           "`steam` is the Steam id (default {} + id). `groups` puts the player "
                           "in those permission groups; `admin` is short for the \"Admins\" "
                           "group. `dead`: the player starts dead.",
                           kSteamIdBase),
               "player frank id=100006 tribe=200002 groups=VIP admin", Player, Thing::kPlayer),
      WorldRow("dino NAME kind=KIND|fullname=\"...\" [team=N] [dead] [at=X,Y,Z] [count=N]",
               "a creature NAME in the level. `kind` is its species: a creature's name from the "
               "built-in list (`Rex`) or its class name (`Rex_Character_BP`), letter case "
               "ignored, or a blueprint path. With `fullname=\"...\"` instead, the full name of "
               "its class's default object is exactly the text given. `team` is its targeting "
               "and taming team (default 0: wild). `dead`: it lies dead. `at` is its location. "
               "`count=N` makes N alike creatures named NAME1 to NAMEN (N from 1 to 100000).",
               "dino rex kind=Rex team=200001 at=100,0,0 count=3", AddDino, Thing::kDino),
      WorldRow("structure NAME [at=X,Y,Z]",
               "a structure NAME in the level, such as a cloning chamber; `at` is its location.",
               "structure chamber at=5000,0,0", AddStructure, Thing::kStructure),
      WorldRow("cryopod NAME [holds=KIND[,KIND...]]",
               "an empty cryopod NAME. With `holds`, its custom item data holds the classes of "
               "those creature kinds (each a name from the built-in list or a path); without, "
               "none.",
               "cryopod pod holds=Rex", Cryopod, Thing::kItem),
      WorldRow("soultrap NAME [holds=KIND]",
               "a soul trap NAME. With `holds`, the creature kind's path (from a name in the "
               "built-in list or a path, without `Blueprint'...'`) is its eleventh custom data "
               "string, as a trap holding such a creature keeps it; without, that string is empty.",
               "soultrap trap holds=/Game/PrimalEarth/Dinos/Giganotosaurus/"
               "Gigant_Character_BP.Gigant_Character_BP",
               SoulTrap, Thing::kItem),
      WorldRow("item NAME kind=ITEMPATH [type=N] [consumable=N] [spawns=KIND]",
               "any item NAME. `kind` is its item class: an item's name from the built-in list, "
               "its class name or a blueprint path. `type` and `consumable` are its item type and "
               "consumable type (0 to 255); type 4 with consumable 3 spawns a creature. With "
               "`spawns`, a use the game allows puts a creature of that kind (a name or a path) "
               "in the level for the player's team.",
               "item kit kind=/Game/Extinction/CoreBlueprints/Items/"
               "PrimalItem_Spawner_Mek.PrimalItem_Spawner_Mek type=4 consumable=3 "
               "spawns=/Game/Extinction/Dinos/Mek/Mek_Character_BP.Mek_Character_BP",
               AddItem, Thing::kItem),
      WorldRow("actor NAME", "an actor NAME in the level that is no creature, such as a rock.",
               "actor rock", AddActor, Thing::kActor),
      WorldRow("null_actor",
               "an empty (null) slot in the level's actor array, which the plug-in must step "
               "over. Takes no arguments.",
               "null_actor", NullActor),
      WorldRow("config FILE",
               "copies FILE (a path relative to the script) to the plug-in's config path, for "
               "the next load or reload to read; with `--cluster`, with the map's cluster keys "
               "set as in its first config.",
               "config demo_config.json", Config),
      WorldRow("config_delete",
               "removes the plug-in's config file, so that the next load or reload finds none. "
               "Takes no arguments.",
               "config_delete", ConfigDelete),
      WorldRow("aim PLAYER DINO|STRUCTURE|none",
               "what PLAYER looks at, as the player's `GetAimedActor` answers: the creature DINO, "
               "the structure STRUCTURE, or nothing with `none`.",
               "aim alice rex1", Aim),
      WorldRow("kill_player PLAYER",
               "PLAYER dies: `IsPlayerDead` answers true and the body is dead.", "kill_player bob",
               KillPlayer),
      WorldRow("revive PLAYER", "PLAYER and the body live again after a death.", "revive bob",
               Revive),
      WorldRow("server_state N", "sets what `GetServerState` answers to N (1: running).",
               "server_state 1", ServerState),
  };
}

}  // namespace sim::tool
