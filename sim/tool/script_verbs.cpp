// The table of script verbs. The usage texts are the grammar: the parser reads them, and the
// README, --help and the prompt's help show them as they are.
#include "sim/tool/script_verbs.h"

#include <algorithm>

#include <fmt/format.h>

#include "host/game_facts.h"
#include "sim/game/actions.h"
#include "sim/tool/script_runner.h"
#include "sim/tool/world_paths.h"

namespace sim::tool {
namespace {

using R = ScriptRunner;

Verb World(std::string usage, std::string summary, std::string example,
           std::string (R::*run)(const Statement&), std::optional<Thing> makes = std::nullopt) {
  Verb verb{std::move(usage), VerbKind::kWorld, std::move(summary), "", std::move(example), run};
  verb.makes = makes;
  verb.boot = BootRule::kNone;
  return verb;
}

Verb Action(std::string usage, std::string functions, std::string example,
            std::string (R::*run)(const Statement&), std::string summary = "",
            BootRule boot = BootRule::kNeeds) {
  Verb verb{std::move(usage),     VerbKind::kAction,  std::move(summary),
            std::move(functions), std::move(example), run};
  verb.boot = boot;
  verb.needs_scene = true;
  return verb;
}

Verb Show(std::string usage, std::string summary, std::string example,
          std::string (R::*run)(const Statement&), bool needs_scene) {
  Verb verb{std::move(usage), VerbKind::kShow, std::move(summary), "", std::move(example), run};
  verb.boot = BootRule::kNone;
  verb.needs_scene = needs_scene;
  return verb;
}

}  // namespace

const std::vector<Verb>& Verbs() {
  static const std::vector<Verb> verbs = [] {
    const std::string rex = "/Game/PrimalEarth/Dinos/Rex/Rex_Character_BP.Rex_Character_BP";
    const std::string raptor =
        "/Game/PrimalEarth/Dinos/Raptor/Raptor_Character_BP.Raptor_Character_BP";
    return std::vector<Verb>{
        World("player NAME id=N [steam=N] [tribe=N] [groups=G[,G...]] [admin] [dead]",
              fmt::format("a connected player (controller, player state, body). The controller's "
                          "team (`AActor.TargetingTeam`) is the tribe id, else the player id. "
                          "Without `steam=` the Steam id is {} + id. `groups` puts the player in "
                          "those permission groups; `admin` is short for the \"Admins\" group.",
                          kSteamIdBase),
              "player frank id=100006 tribe=200002 groups=VIP admin", &R::Player, Thing::kPlayer),
        World("dino NAME kind=KIND|fullname=\"...\" [team=N] [dead] [at=X,Y,Z]",
              "a creature in the level; `team` sets its targeting and taming team (default 0, "
              "wild). With `fullname=\"...\"` instead of `kind=`, the full name of its class's "
              "default object is exactly the text given.",
              "dino rex1 kind=" + rex + " team=200001 at=100,0,0", &R::AddDino, Thing::kDino),
        World("structure NAME [at=X,Y,Z]", "a structure in the level, such as a cloning chamber.",
              "structure chamber at=5000,0,0", &R::AddStructure, Thing::kStructure),
        World("cryopod NAME [holds=KIND[,KIND...]]",
              "an empty cryopod whose custom item data holds the kinds' classes (none without "
              "`holds`).",
              "cryopod pod holds=" + rex, &R::Cryopod, Thing::kItem),
        World("soultrap NAME [holds=KIND]",
              "a soul trap storing the path (without `Blueprint'...'`) as its eleventh custom data "
              "string (empty without `holds`).",
              "soultrap trap holds=/Game/PrimalEarth/Dinos/Giganotosaurus/"
              "Gigant_Character_BP.Gigant_Character_BP",
              &R::SoulTrap, Thing::kItem),
        World("item NAME kind=ITEMPATH [type=N] [consumable=N] [spawns=KIND]",
              "any item; type 4 with consumable 3 spawns a creature. With `spawns`, a use the "
              "game allows puts that creature in the level for the player's team.",
              "item kit kind=/Game/Extinction/CoreBlueprints/Items/"
              "PrimalItem_Spawner_Mek.PrimalItem_Spawner_Mek type=4 consumable=3 "
              "spawns=/Game/Extinction/Dinos/Mek/Mek_Character_BP.Mek_Character_BP",
              &R::AddItem, Thing::kItem),
        World("actor NAME", "an actor that is no creature.", "actor rock", &R::AddActor,
              Thing::kActor),
        World("null_actor", "a null slot in the level's actor array.", "null_actor", &R::NullActor),
        World("config FILE", "copy FILE (relative to the script) to the plug-in's config path.",
              "config demo_config.json", &R::Config),
        World("config_delete", "remove the plug-in's config file.", "config_delete",
              &R::ConfigDelete),
        World("aim PLAYER DINO|STRUCTURE|none", "what the player's `GetAimedActor` returns.",
              "aim alice rex1", &R::Aim),
        World("kill_player PLAYER",
              "the player dies: `IsPlayerDead` answers true, the body is dead.", "kill_player bob",
              &R::KillPlayer),
        World("revive PLAYER", "the player and the body live again.", "revive bob", &R::Revive),
        World("server_state N", "what `GetServerState` answers (1: running).", "server_state 1",
              &R::ServerState),

        Action("load", "attach the plug-in", "load", &R::Load,
               "an error while a plug-in is loaded.", BootRule::kIsBoot),
        Action("unload", "detach the plug-in", "unload", &R::Unload,
               "an error while none is loaded.", BootRule::kNone),
        Action("start", "\"AShooterGameMode.InitGame\", then the server runs", "start", &R::Start,
               "", BootRule::kIsBoot),
        Action("tame PLAYER DINO",
               "the creature's taming team becomes the player's team; "
               "\"AShooterGameState.AllowDinoTame\", then \"APrimalDinoCharacter.TameDino\" when "
               "allowed",
               "tame alice wild_rex1", &R::Tame),
        Action("force_tame PLAYER DINO",
               "\"APrimalDinoCharacter.TameDino\" alone, for the player's team, as an admin's "
               "force-tame does",
               "force_tame alice wild_rex1", &R::ForceTame),
        Action(
            "claim PLAYER DINO",
            fmt::format("\"APrimalDinoCharacter.TryMultiUse\" with {}", game_facts::kClaimUseIndex),
            "claim dave wild_quetz", &R::Claim),
        Action("unclaim PLAYER DINO", fmt::format("the same with {}", game_facts::kUnclaimUseIndex),
               "unclaim dave wild_quetz", &R::Unclaim),
        Action("multiuse PLAYER DINO INDEX", "the same with INDEX", "multiuse bob rex1 7",
               &R::MultiUse),
        Action("die DINO", "\"APrimalDinoCharacter.Die\"", "die rex1", &R::Die),
        Action("destroy DINO", "\"APrimalDinoCharacter.Destroyed\"", "destroy rex1", &R::Destroy),
        Action("equip PLAYER ITEM", "\"AShooterCharacter.OnWeaponEquipped\"",
               "equip alice cryo_rex", &R::Equip),
        Action("use PLAYER ITEM", "\"UPrimalItem.AllowUseInInventory\"", "use alice enforcer_kit",
               &R::Use),
        Action("slot ITEM", "\"UPrimalItem.AllowSlotting\"", "slot enforcer_kit", &R::Slot),
        Action("capture PLAYER DINO POD",
               "the creature goes into the empty cryopod or soul trap (its custom item data) and "
               "leaves the level through \"APrimalDinoCharacter.Destroyed\"",
               "capture alice raiders_rex cryo_empty", &R::Capture),
        Action("release PLAYER POD",
               "\"AShooterCharacter.OnWeaponEquipped\"; when the pod stays equipped, its creature "
               "comes back into the level for the player's team (no hooked function sees that) "
               "and the pod is empty",
               "release alice cryo_rex", &R::Release),
        Action("request_download PLAYER KIND",
               "\"AShooterPlayerController.ServerRequestDownloadDino_Implementation\"",
               "request_download bob " + raptor, &R::RequestDownload),
        Action("download PLAYER KIND",
               "\"AShooterPlayerController.ServerDownloadDino\" (the game spawns the creature for "
               "the player's team)",
               "download bob " + raptor, &R::Download),
        Action("init_downloaded DINO TEAM",
               "\"APrimalDinoCharacter.InitDownloadedTamedDino\" alone",
               "init_downloaded rex1 200001", &R::InitDownloaded),
        Action("clone PLAYER STRUCTURE [INDEX]",
               fmt::format("\"APrimalStructure.TryMultiUse\" with INDEX (default {}, cloning)",
                           game_facts::kCloneUseIndex),
               "clone alice cloning_chamber", &R::Clone),
        Action("netexec PLAYER COMMAND [DINO]",
               "\"AActor.BPServerHandleNetExecCommand\" with the creature in the parameter block",
               "netexec alice ServerRequestClone chamber_stego", &R::NetExec),
        Action("spawn PLAYER PATH",
               "\"AShooterPlayerController.SpawnActor\" with PATH exactly as written",
               "spawn alice Blueprint'" + rex + "'", &R::Spawn),
        Action("invite INVITER PLAYER", "\"AShooterPlayerState.AddToTribe\", invite flag set",
               "invite alice carol", &R::Invite),
        Action("merge INVITER PLAYER", "the same, merge and invite flags set", "merge alice dave",
               &R::Merge),
        Action("create_tribe PLAYER TRIBEID", "the same, no flag and no inviter",
               "create_tribe carol 300001", &R::CreateTribe),
        Action("chat PLAYER TEXT",
               "a chat line; a command runs when its name is the first word, ignoring case",
               "chat alice /limits", &R::Chat),
        Action("console PLAYER TEXT", "a console command", "console alice tw.reload", &R::Console),
        Action("rcon TEXT", "an RCON command (request ids count from 1)", "rcon tw.reload",
               &R::Rcon),
        Action("wait SECONDS",
               "game time passes; the framework's timers run once for every second of it",
               "wait 600", &R::Wait),
        Action("truth [TEAM]", "the world's own count of living tamed creatures per team and kind",
               "truth 200001", &R::Truth),

        Show("help [VERB]", "every line, or what one line does.", "help tame", &R::Help, false),
        Show("world",
             "the plug-in's state and every player (name, id, tribe, team, groups, dead), creature "
             "(name, kind, team, dead, location), structure and item. Like an action it sets the "
             "scene first (the default world when the script defines none) but boots nothing.",
             "world", &R::ShowWorld, true),
    };
  }();
  return verbs;
}

namespace {

std::string WithoutMarkdown(std::string text) {
  std::erase(text, '`');
  return text;
}

// A table cell: a `|` would end it.
std::string Cell(std::string_view text) {
  std::string cell;
  for (char c : text) {
    if (c == '|') cell += '\\';
    cell += c;
  }
  return cell;
}

// `text` wrapped at spaces to lines of at most `width` characters, each indented.
std::string Wrap(std::string_view text, std::size_t width, std::string_view indent) {
  std::string out, line;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t space = std::min(text.find(' ', at), text.size());
    const std::string_view word = text.substr(at, space - at);
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      out += std::string(indent) + line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + std::string(word);
    at = space + 1;
  }
  if (!line.empty()) out += std::string(indent) + line + "\n";
  return out;
}

constexpr const char* kHeadings[] = {
    "World lines (they set the scene; no hook runs):",
    "Actions (each runs game functions through the hook table):",
    "Lines that show (the game is not touched):",
};

}  // namespace

const Verb* FindVerb(std::string_view name) {
  const auto& verbs = Verbs();
  const auto it = std::find_if(verbs.begin(), verbs.end(),
                               [&](const Verb& verb) { return verb.name() == name; });
  return it == verbs.end() ? nullptr : &*it;
}

std::string VerbOverview() {
  std::string text;
  for (int kind = 0; kind < 3; ++kind) {
    text += kHeadings[kind];
    text += "\n";
    for (const Verb& verb : Verbs()) {
      if (static_cast<int>(verb.kind) == kind) text += "  " + verb.usage + "\n";
    }
  }
  return text + "Type help VERB (at the prompt or in a script) for what a line does.\n";
}

std::string VerbHelp(const Verb& verb) {
  std::string text = verb.usage + "\n";
  if (!verb.summary.empty()) text += Wrap(WithoutMarkdown(verb.summary), 90, "  ");
  if (!verb.functions.empty())
    text += Wrap("game functions: " + WithoutMarkdown(verb.functions), 90, "  ");
  return text + "  example: " + verb.example + "\n";
}

std::string VerbTablesMarkdown() {
  std::string text;
  for (int kind = 0; kind < 3; ++kind) {
    const bool actions = kind == static_cast<int>(VerbKind::kAction);
    text += actions ? "| Line | Game functions | Example |\n|---|---|---|\n"
                    : "| Line | Example |\n|---|---|\n";
    for (const Verb& verb : Verbs()) {
      if (static_cast<int>(verb.kind) != kind) continue;
      text += "| `" + Cell(verb.usage) + "`" + (verb.summary.empty() ? "" : ": ") +
              Cell(verb.summary) + " |";
      if (actions) text += " " + Cell(verb.functions) + " |";
      text += " `" + Cell(verb.example) + "` |\n";
    }
    text += "\n";
  }
  return text;
}

}  // namespace sim::tool
