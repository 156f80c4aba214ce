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
  Dino& dino = game.AddDino(s.args.at(0), kind, IntOption(s, "team"), Location(s));
  dino.set_dead(s.Has("dead"));
  c.dinos.emplace(dino.name, &dino);
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
               fmt::format("a connected player (controller, player state, body). The controller's "
                           "team (`AActor.TargetingTeam`) is the tribe id, else the player id. "
                           "Without `steam=` the Steam id is {} + id. `groups` puts the player in "
                           "those permission groups; `admin` is short for the \"Admins\" group.",
                           kSteamIdBase),
               "player frank id=100006 tribe=200002 groups=VIP admin", Player, Thing::kPlayer),
      WorldRow("dino NAME kind=KIND|fullname=\"...\" [team=N] [dead] [at=X,Y,Z]",
               "a creature in the level; `team` sets its targeting and taming team (default 0, "
               "wild). With `fullname=\"...\"` instead of `kind=`, the full name of its class's "
               "default object is exactly the text given.",
               fmt::format("dino rex1 kind={} team=200001 at=100,0,0", kRexPath), AddDino,
               Thing::kDino),
      WorldRow("structure NAME [at=X,Y,Z]", "a structure in the level, such as a cloning chamber.",
               "structure chamber at=5000,0,0", AddStructure, Thing::kStructure),
      WorldRow("cryopod NAME [holds=KIND[,KIND...]]",
               "an empty cryopod whose custom item data holds the kinds' classes (none without "
               "`holds`).",
               fmt::format("cryopod pod holds={}", kRexPath), Cryopod, Thing::kItem),
      WorldRow("soultrap NAME [holds=KIND]",
               "a soul trap storing the path (without `Blueprint'...'`) as its eleventh custom "
               "data string (empty without `holds`).",
               "soultrap trap holds=/Game/PrimalEarth/Dinos/Giganotosaurus/"
               "Gigant_Character_BP.Gigant_Character_BP",
               SoulTrap, Thing::kItem),
      WorldRow("item NAME kind=ITEMPATH [type=N] [consumable=N] [spawns=KIND]",
               "any item; type 4 with consumable 3 spawns a creature. With `spawns`, a use the "
               "game allows puts that creature in the level for the player's team.",
               "item kit kind=/Game/Extinction/CoreBlueprints/Items/"
               "PrimalItem_Spawner_Mek.PrimalItem_Spawner_Mek type=4 consumable=3 "
               "spawns=/Game/Extinction/Dinos/Mek/Mek_Character_BP.Mek_Character_BP",
               AddItem, Thing::kItem),
      WorldRow("actor NAME", "an actor that is no creature.", "actor rock", AddActor,
               Thing::kActor),
      WorldRow("null_actor", "a null slot in the level's actor array.", "null_actor", NullActor),
      WorldRow("config FILE",
               "copy FILE (relative to the script) to the plug-in's config path; with "
               "`--cluster`, with the map's cluster keys set as in its first config.",
               "config demo_config.json", Config),
      WorldRow("config_delete", "remove the plug-in's config file.", "config_delete", ConfigDelete),
      WorldRow("aim PLAYER DINO|STRUCTURE|none", "what the player's `GetAimedActor` returns.",
               "aim alice rex1", Aim),
      WorldRow("kill_player PLAYER",
               "the player dies: `IsPlayerDead` answers true, the body is dead.", "kill_player bob",
               KillPlayer),
      WorldRow("revive PLAYER", "the player and the body live again.", "revive bob", Revive),
      WorldRow("server_state N", "what `GetServerState` answers (1: running).", "server_state 1",
               ServerState),
  };
}

}  // namespace sim::tool
