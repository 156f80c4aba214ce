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
      ActionRow("load", "attach the plug-in", "load", Load, "an error while a plug-in is loaded.",
                BootRule::kIsBoot),
      ActionRow("unload", "detach the plug-in", "unload", Unload, "an error while none is loaded.",
                BootRule::kNone),
      ActionRow("start", "\"AShooterGameMode.InitGame\", then the server runs", "start", Start, "",
                BootRule::kIsBoot),
      ActionRow("tame PLAYER DINO",
                "the creature's taming team becomes the player's team; "
                "\"AShooterGameState.AllowDinoTame\", then \"APrimalDinoCharacter.TameDino\" when "
                "allowed",
                "tame alice wild_rex1", Forward<actions::Tame>),
      ActionRow("force_tame PLAYER DINO",
                "\"APrimalDinoCharacter.TameDino\" alone, for the player's team, as an admin's "
                "force-tame does",
                "force_tame alice wild_rex1", Forward<actions::ForceTame>),
      ActionRow(
          "claim PLAYER DINO",
          fmt::format("\"APrimalDinoCharacter.TryMultiUse\" with {}", game_facts::kClaimUseIndex),
          "claim dave wild_quetz", Claim),
      ActionRow("unclaim PLAYER DINO",
                fmt::format("the same with {}", game_facts::kUnclaimUseIndex),
                "unclaim dave wild_quetz", Unclaim),
      ActionRow("multiuse PLAYER DINO INDEX", "the same with INDEX", "multiuse bob rex1 7",
                Forward<actions::MultiUse>),
      ActionRow("die DINO", "\"APrimalDinoCharacter.Die\"", "die rex1", Forward<actions::Die>),
      ActionRow("destroy DINO", "\"APrimalDinoCharacter.Destroyed\"", "destroy rex1",
                Forward<actions::Destroy>),
      ActionRow("equip PLAYER ITEM", "\"AShooterCharacter.OnWeaponEquipped\"",
                "equip alice cryo_rex", Forward<actions::Equip>),
      ActionRow("use PLAYER ITEM", "\"UPrimalItem.AllowUseInInventory\"", "use alice enforcer_kit",
                Forward<actions::Use>),
      ActionRow("slot ITEM", "\"UPrimalItem.AllowSlotting\"", "slot enforcer_kit",
                Forward<actions::Slot>),
      ActionRow("capture PLAYER DINO POD",
                "the creature goes into the empty cryopod or soul trap (its custom item data) and "
                "leaves the level through \"APrimalDinoCharacter.Destroyed\"",
                "capture alice raiders_rex cryo_empty", Capture),
      ActionRow("release PLAYER POD",
                "\"AShooterCharacter.OnWeaponEquipped\"; when the pod stays equipped, its "
                "creature comes back into the level for the player's team (no hooked function "
                "sees that) and the pod is empty",
                "release alice cryo_rex", Forward<actions::Release>),
      ActionRow("request_download PLAYER KIND",
                "\"AShooterPlayerController.ServerRequestDownloadDino_Implementation\"",
                fmt::format("request_download bob {}", kRaptorPath),
                Forward<actions::RequestDownload>),
      ActionRow("download PLAYER KIND",
                "\"AShooterPlayerController.ServerDownloadDino\" (the game spawns the creature "
                "for the player's team)",
                fmt::format("download bob {}", kRaptorPath), Forward<actions::Download>),
      ActionRow("init_downloaded DINO TEAM",
                "\"APrimalDinoCharacter.InitDownloadedTamedDino\" alone",
                "init_downloaded rex1 200001", Forward<actions::InitDownloaded>),
      ActionRow("clone PLAYER STRUCTURE [INDEX]",
                fmt::format("\"APrimalStructure.TryMultiUse\" with INDEX (default {}, cloning)",
                            game_facts::kCloneUseIndex),
                "clone alice cloning_chamber", Clone),
      ActionRow("netexec PLAYER COMMAND [DINO]",
                "\"AActor.BPServerHandleNetExecCommand\" with the creature in the parameter block",
                "netexec alice ServerRequestClone chamber_stego", NetExec),
      ActionRow("spawn PLAYER PATH",
                "\"AShooterPlayerController.SpawnActor\" with PATH exactly as written",
                "spawn alice " + game_text::Wrap(kRexPath), Forward<actions::Spawn>),
      ActionRow("invite INVITER PLAYER", "\"AShooterPlayerState.AddToTribe\", invite flag set",
                "invite alice carol", Forward<actions::Invite>),
      ActionRow("merge INVITER PLAYER", "the same, merge and invite flags set", "merge alice dave",
                Forward<actions::Merge>),
      ActionRow("create_tribe PLAYER TRIBEID", "the same, no flag and no inviter",
                "create_tribe carol 300001", Forward<actions::CreateTribe>),
      ActionRow("chat PLAYER TEXT",
                "a chat line; a command runs when its name is the first word, ignoring case",
                "chat alice /limits", Chat),
      ActionRow("console PLAYER TEXT", "a console command", "console alice tw.reload", Console),
      ActionRow("rcon TEXT", "an RCON command (request ids count from 1)", "rcon tw.reload", Rcon),
      ActionRow("wait SECONDS",
                "game time passes; the framework's timers run once for every second of it",
                "wait 600", Wait),
      ActionRow("truth [TEAM]", "the world's own count of living tamed creatures per team and kind",
                "truth 200001", Truth),
  };
}

}  // namespace sim::tool
