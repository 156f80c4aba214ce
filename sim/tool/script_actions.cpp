// Action lines: each runs the game's functions through the hook table, so installed detours run
// and every hooked call is reported as a "result" event.
#include <type_traits>
#include <utility>

#include <fmt/format.h>

#include "host/game_facts.h"
#include "host/game_text.h"
#include "sim/game/actions.h"
#include "sim/tool/script_runner.h"
#include "sim/tool/world_paths.h"

namespace sim::tool {
namespace {

int32_t IntArg(const Statement& s, std::size_t i, int32_t fallback = 0) {
  int32_t value = fallback;
  if (i < s.args.size()) ParseInt(s.args[i], value);
  return value;
}

// The argument at `i` as an action takes it: the thing it names, a number or the text itself.
template <typename T>
decltype(auto) Arg(ScriptContext& c, const Statement& s, std::size_t i) {
  using Bare = std::remove_cvref_t<T>;
  if constexpr (std::is_same_v<Bare, ShooterPlayerController>)
    return c.PlayerArg(s, i);
  else if constexpr (std::is_same_v<Bare, Dino>)
    return c.DinoArg(s, i);
  else if constexpr (std::is_same_v<Bare, Item>)
    return c.ItemArg(s, i);
  else if constexpr (std::is_same_v<Bare, Class>)
    return c.KindArg(s, i);
  else if constexpr (std::is_same_v<Bare, int32_t>)
    return IntArg(s, i);
  else
    return s.args.at(i);
}

// Runs an action whose parameters are the line's arguments, in order.
template <auto kAction>
void Forward(ScriptContext& c, const Statement& s) {
  [&]<typename R, typename... P>(R (*action)(P...)) {
    [&]<std::size_t... I>(std::index_sequence<I...>) { action(Arg<P>(c, s, I)...); }
    (std::index_sequence_for<P...>{});
  }(kAction);
}

void Load(ScriptContext& c, const Statement&) {
  if (c.server.plugin_loaded()) throw LineError("the plug-in is loaded already; unload it first");
  c.LoadPlugin();
}

void Unload(ScriptContext& c, const Statement&) {
  if (!c.server.plugin_loaded()) throw LineError("no plug-in is loaded");
  c.server.UnloadPlugin();
}

void Start(ScriptContext& c, const Statement&) { c.server.Start(); }

void Claim(ScriptContext& c, const Statement& s) {
  actions::MultiUse(c.PlayerArg(s, 0), c.DinoArg(s, 1), game_facts::kClaimUseIndex);
}

void Unclaim(ScriptContext& c, const Statement& s) {
  actions::MultiUse(c.PlayerArg(s, 0), c.DinoArg(s, 1), game_facts::kUnclaimUseIndex);
}

void Capture(ScriptContext& c, const Statement& s) {
  Dino& dino = c.DinoArg(s, 1);
  if (dino.destroyed)
    throw LineError("the creature \"" + s.args.at(1) + "\" is no longer in the level");
  if (!actions::Capture(c.PlayerArg(s, 0), dino, c.ItemArg(s, 2)))
    throw LineError("\"" + s.args.at(2) + "\" already holds a creature");
}

void Wait(ScriptContext& c, const Statement& s) {
  const int32_t seconds = IntArg(s, 0);
  if (seconds < 0) throw LineError("SECONDS must not be negative");
  c.server.AdvanceTime(seconds);
}

void Clone(ScriptContext& c, const Statement& s) {
  actions::UseStructure(c.PlayerArg(s, 0), *c.structures.at(s.args.at(1)),
                        IntArg(s, 2, game_facts::kCloneUseIndex));
}

void NetExec(ScriptContext& c, const Statement& s) {
  actions::NetExec(c.PlayerArg(s, 0), s.args.at(1), s.args.size() > 2 ? &c.DinoArg(s, 2) : nullptr);
}

void Chat(ScriptContext& c, const Statement& s) {
  c.server.Chat(c.PlayerArg(s, 0), s.args.at(1));  // text that is no command goes nowhere
}

void Console(ScriptContext& c, const Statement& s) {
  c.server.Console(c.PlayerArg(s, 0), s.args.at(1));
}

void Rcon(ScriptContext& c, const Statement& s) {
  c.server.Rcon(s.args.at(0), c.next_rcon_id++);  // the answers are "rcon" events
}

void Truth(ScriptContext& c, const Statement& s) {
  const auto truth = c.server.game().Truth();
  const nlohmann::json all_names = c.DisplayNames();
  const auto report = [&](int32_t team, const std::map<std::string, int>& kinds) {
    int total = 0;
    nlohmann::json names = nlohmann::json::object();
    for (const auto& [path, count] : kinds) {
      total += count;
      if (const auto it = all_names.find(path); it != all_names.end()) names[path] = *it;
    }
    c.Report(EventKind::kTruth,
             {{"team", team}, {"total", total}, {"kinds", kinds}, {"names", std::move(names)}});
  };
  if (!s.args.empty()) {
    const int32_t team = IntArg(s, 0);
    const auto it = truth.find(team);
    report(team, it == truth.end() ? std::map<std::string, int>{} : it->second);
  } else {
    for (const auto& [team, kinds] : truth) report(team, kinds);
  }
}

}  // namespace

std::vector<Verb> ActionVerbs() {
  return {
      ActionRow("load", "attach the plug-in", "load", Load,
                "loads the plug-in into the server, as the server does when it starts; an error "
                "while a plug-in is loaded. Takes no arguments.",
                BootRule::kIsBoot),
      ActionRow("unload", "detach the plug-in", "unload", Unload,
                "unloads the plug-in, as a server that shuts down does; an error while none is "
                "loaded. Takes no arguments.",
                BootRule::kNone),
      ActionRow("start", "\"AShooterGameMode.InitGame\", then the server runs", "start", Start,
                "starts the server without loading the plug-in. Without it, the first action "
                "starts the server and loads the plug-in. Takes no arguments.",
                BootRule::kIsBoot),
      ActionRow("tame PLAYER DINO",
                "the creature's taming team becomes the player's team; "
                "\"AShooterGameState.AllowDinoTame\", then \"APrimalDinoCharacter.TameDino\" when "
                "allowed",
                "tame alice wild_rex1", Forward<actions::Tame>,
                "PLAYER tames the creature DINO: the game asks whether the tame is allowed and, "
                "if it is, the creature joins the player's team."),
      ActionRow("force_tame PLAYER DINO",
                "\"APrimalDinoCharacter.TameDino\" alone, for the player's team, as an admin's "
                "force-tame does",
                "force_tame alice wild_rex1", Forward<actions::ForceTame>,
                "an admin's force-tame: the creature DINO joins PLAYER's team without the game "
                "asking whether the tame is allowed."),
      ActionRow(
          "claim PLAYER DINO",
          fmt::format("\"APrimalDinoCharacter.TryMultiUse\" with {}", game_facts::kClaimUseIndex),
          "claim dave wild_quetz", Claim,
          "PLAYER claims the creature DINO for the player's team through the claim entry of its "
          "use menu."),
      ActionRow(
          "unclaim PLAYER DINO",
          fmt::format("\"APrimalDinoCharacter.TryMultiUse\" with {}", game_facts::kUnclaimUseIndex),
          "unclaim dave wild_quetz", Unclaim,
          "PLAYER gives up the creature DINO through the unclaim entry of its use menu."),
      ActionRow("multiuse PLAYER DINO INDEX", "\"APrimalDinoCharacter.TryMultiUse\" with INDEX",
                "multiuse bob rex1 7", Forward<actions::MultiUse>,
                "PLAYER picks the entry INDEX (a whole number) of the creature DINO's use menu."),
      ActionRow("die DINO", "\"APrimalDinoCharacter.Die\"", "die rex1", Forward<actions::Die>,
                "the creature DINO dies."),
      ActionRow("destroy DINO", "\"APrimalDinoCharacter.Destroyed\"", "destroy rex1",
                Forward<actions::Destroy>,
                "the creature DINO leaves the level, as a despawned creature does."),
      ActionRow("equip PLAYER ITEM", "\"AShooterCharacter.OnWeaponEquipped\"",
                "equip alice cryo_rex", Forward<actions::Equip>,
                "PLAYER takes the item ITEM, such as a cryopod, in hand."),
      ActionRow("use PLAYER ITEM", "\"UPrimalItem.AllowUseInInventory\"", "use alice enforcer_kit",
                Forward<actions::Use>,
                "PLAYER uses the item ITEM in the inventory, such as a kit that spawns a "
                "creature; the game asks whether the use is allowed."),
      ActionRow("slot ITEM", "\"UPrimalItem.AllowSlotting\"", "slot enforcer_kit",
                Forward<actions::Slot>,
                "the item ITEM is put into a slot, such as a hotbar slot; the game asks whether "
                "that is allowed."),
      ActionRow("capture PLAYER DINO POD",
                "the creature goes into the empty cryopod or soul trap (its custom item data) and "
                "leaves the level through \"APrimalDinoCharacter.Destroyed\"",
                "capture alice raiders_rex cryo_empty", Capture,
                "PLAYER captures the creature DINO in the empty cryopod or soul trap POD; an error "
                "when POD holds a creature already."),
      ActionRow("release PLAYER POD",
                "\"AShooterCharacter.OnWeaponEquipped\"; when the pod stays equipped, its "
                "creature comes back into the level for the player's team (no hooked function "
                "sees that) and the pod is empty",
                "release alice cryo_rex", Forward<actions::Release>,
                "PLAYER lets the creature out of the cryopod or soul trap POD."),
      ActionRow("request_download PLAYER KIND",
                "\"AShooterPlayerController.ServerRequestDownloadDino_Implementation\"",
                "request_download bob Raptor", Forward<actions::RequestDownload>,
                "PLAYER asks to download a creature of kind KIND (a creature's name from the "
                "built-in list or a blueprint path) at an obelisk or transmitter."),
      ActionRow("download PLAYER KIND",
                "\"AShooterPlayerController.ServerDownloadDino\" (the game spawns the creature "
                "for the player's team)",
                fmt::format("download bob {}", kRaptorPath), Forward<actions::Download>,
                "PLAYER downloads a creature of kind KIND (a creature's name from the built-in "
                "list or a blueprint path) at an obelisk or transmitter."),
      ActionRow("init_downloaded DINO TEAM",
                "\"APrimalDinoCharacter.InitDownloadedTamedDino\" alone",
                "init_downloaded rex1 200001", Forward<actions::InitDownloaded>,
                "the creature DINO is set up as a tame downloaded for team TEAM, without the rest "
                "of a download."),
      ActionRow("clone PLAYER STRUCTURE [INDEX]",
                fmt::format("\"APrimalStructure.TryMultiUse\" with INDEX (default {}, cloning)",
                            game_facts::kCloneUseIndex),
                "clone alice cloning_chamber", Clone,
                "PLAYER uses the structure STRUCTURE, such as a cloning chamber: by default its "
                "cloning entry, else the entry INDEX of its use menu."),
      ActionRow("netexec PLAYER COMMAND [DINO]",
                "\"AActor.BPServerHandleNetExecCommand\" with the creature in the parameter block",
                "netexec alice ServerRequestClone chamber_stego", NetExec,
                "PLAYER's game client sends the server command COMMAND, such as a cloning "
                "chamber's request, about the creature DINO when one is given."),
      ActionRow("spawn PLAYER PATH",
                "\"AShooterPlayerController.SpawnActor\" with PATH exactly as written",
                "spawn alice " + game_text::Wrap(kRexPath), Forward<actions::Spawn>,
                "PLAYER, an admin, spawns what the blueprint PATH (the rest of the line) names."),
      ActionRow("invite INVITER PLAYER", "\"AShooterPlayerState.AddToTribe\", invite flag set",
                "invite alice carol", Forward<actions::Invite>,
                "PLAYER accepts INVITER's invitation and joins INVITER's tribe."),
      ActionRow("merge INVITER PLAYER",
                "\"AShooterPlayerState.AddToTribe\", merge and invite flags set",
                "merge alice dave", Forward<actions::Merge>,
                "PLAYER's tribe merges into INVITER's tribe, and PLAYER joins it."),
      ActionRow("create_tribe PLAYER TRIBEID",
                "\"AShooterPlayerState.AddToTribe\", no flag and no inviter",
                "create_tribe carol 300001", Forward<actions::CreateTribe>,
                "PLAYER founds a new tribe whose id is TRIBEID."),
      ActionRow("chat PLAYER TEXT",
                "a chat line; a command runs when its name is the first word, ignoring case",
                "chat alice /limits", Chat,
                "PLAYER says TEXT (the rest of the line) in the chat; text whose first word is a "
                "chat command's name runs that command."),
      ActionRow("console PLAYER TEXT", "a console command", "console alice tw.reload", Console,
                "PLAYER types the command TEXT (the rest of the line) on the game's console."),
      ActionRow("rcon TEXT", "an RCON command (request ids count from 1)", "rcon tw.reload", Rcon,
                "a remote admin sends the command TEXT (the rest of the line) over RCON; its "
                "answers are shown."),
      ActionRow("wait SECONDS",
                "game time passes; the framework's timers run once for every second of it",
                "wait 600", Wait,
                "SECONDS of game time pass, as on a server left running; not negative."),
      ActionRow("truth [TEAM]", "the world's own count of living tamed creatures per team and kind",
                "truth 200001", Truth,
                "shows how many living tamed creatures of each kind the world holds, for the "
                "team TEAM or for every team, to compare with the plug-in's counts."),
  };
}

}  // namespace sim::tool
