// Action lines: each runs the game's functions through the hook table, so installed detours run
// and every hooked call is reported as a "result" event.
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

void Load(ScriptContext& c, const Statement&) {
  if (c.server.plugin_loaded()) throw LineError("the plug-in is loaded already; unload it first");
  c.LoadPlugin();
}

void Unload(ScriptContext& c, const Statement&) {
  if (!c.server.plugin_loaded()) throw LineError("no plug-in is loaded");
  c.server.UnloadPlugin();
}

void Start(ScriptContext& c, const Statement&) { c.server.Start(); }

void Tame(ScriptContext& c, const Statement& s) {
  actions::Tame(c.PlayerArg(s, 0), c.DinoArg(s, 1));
}

void ForceTame(ScriptContext& c, const Statement& s) {
  actions::ForceTame(c.PlayerArg(s, 0), c.DinoArg(s, 1));
}

void Claim(ScriptContext& c, const Statement& s) {
  actions::MultiUse(c.PlayerArg(s, 0), c.DinoArg(s, 1), game_facts::kClaimUseIndex);
}

void Unclaim(ScriptContext& c, const Statement& s) {
  actions::MultiUse(c.PlayerArg(s, 0), c.DinoArg(s, 1), game_facts::kUnclaimUseIndex);
}

void MultiUse(ScriptContext& c, const Statement& s) {
  actions::MultiUse(c.PlayerArg(s, 0), c.DinoArg(s, 1), IntArg(s, 2));
}

void Die(ScriptContext& c, const Statement& s) { actions::Die(c.DinoArg(s, 0)); }

void Destroy(ScriptContext& c, const Statement& s) { actions::Destroy(c.DinoArg(s, 0)); }

void Equip(ScriptContext& c, const Statement& s) {
  actions::Equip(c.PlayerArg(s, 0), c.ItemArg(s, 1));
}

void Use(ScriptContext& c, const Statement& s) { actions::Use(c.PlayerArg(s, 0), c.ItemArg(s, 1)); }

void Capture(ScriptContext& c, const Statement& s) {
  Dino& dino = c.DinoArg(s, 1);
  if (dino.destroyed)
    throw LineError("the creature \"" + s.args.at(1) + "\" is no longer in the level");
  if (!actions::Capture(c.PlayerArg(s, 0), dino, c.ItemArg(s, 2)))
    throw LineError("\"" + s.args.at(2) + "\" already holds a creature");
}

void Release(ScriptContext& c, const Statement& s) {
  actions::Release(c.PlayerArg(s, 0), c.ItemArg(s, 1));
}

void Wait(ScriptContext& c, const Statement& s) {
  const int32_t seconds = IntArg(s, 0);
  if (seconds < 0) throw LineError("SECONDS must not be negative");
  c.server.AdvanceTime(seconds);
}

void Slot(ScriptContext& c, const Statement& s) { actions::Slot(c.ItemArg(s, 0)); }

void RequestDownload(ScriptContext& c, const Statement& s) {
  actions::RequestDownload(c.PlayerArg(s, 0), c.KindArg(s, 1));
}

void Download(ScriptContext& c, const Statement& s) {
  actions::Download(c.PlayerArg(s, 0), c.KindArg(s, 1));
}

void InitDownloaded(ScriptContext& c, const Statement& s) {
  actions::InitDownloaded(c.DinoArg(s, 0), IntArg(s, 1));
}

void Clone(ScriptContext& c, const Statement& s) {
  actions::UseStructure(c.PlayerArg(s, 0), *c.structures.at(s.args.at(1)),
                        IntArg(s, 2, game_facts::kCloneUseIndex));
}

void NetExec(ScriptContext& c, const Statement& s) {
  actions::NetExec(c.PlayerArg(s, 0), s.args.at(1), s.args.size() > 2 ? &c.DinoArg(s, 2) : nullptr);
}

void Spawn(ScriptContext& c, const Statement& s) {
  actions::Spawn(c.PlayerArg(s, 0), s.args.at(1));
}

void Invite(ScriptContext& c, const Statement& s) {
  actions::Invite(c.PlayerArg(s, 0), c.PlayerArg(s, 1));
}

void Merge(ScriptContext& c, const Statement& s) {
  actions::Merge(c.PlayerArg(s, 0), c.PlayerArg(s, 1));
}

void CreateTribe(ScriptContext& c, const Statement& s) {
  actions::CreateTribe(c.PlayerArg(s, 0), IntArg(s, 1));
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
  const auto report = [&c](int32_t team, const std::map<std::string, int>& kinds) {
    int total = 0;
    for (const auto& [path, count] : kinds) total += count;
    c.Report(EventKind::kTruth, {{"team", team}, {"total", total}, {"kinds", kinds}});
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
                "tame alice wild_rex1", Tame),
      ActionRow("force_tame PLAYER DINO",
                "\"APrimalDinoCharacter.TameDino\" alone, for the player's team, as an admin's "
                "force-tame does",
                "force_tame alice wild_rex1", ForceTame),
      ActionRow(
          "claim PLAYER DINO",
          fmt::format("\"APrimalDinoCharacter.TryMultiUse\" with {}", game_facts::kClaimUseIndex),
          "claim dave wild_quetz", Claim),
      ActionRow("unclaim PLAYER DINO",
                fmt::format("the same with {}", game_facts::kUnclaimUseIndex),
                "unclaim dave wild_quetz", Unclaim),
      ActionRow("multiuse PLAYER DINO INDEX", "the same with INDEX", "multiuse bob rex1 7",
                MultiUse),
      ActionRow("die DINO", "\"APrimalDinoCharacter.Die\"", "die rex1", Die),
      ActionRow("destroy DINO", "\"APrimalDinoCharacter.Destroyed\"", "destroy rex1", Destroy),
      ActionRow("equip PLAYER ITEM", "\"AShooterCharacter.OnWeaponEquipped\"",
                "equip alice cryo_rex", Equip),
      ActionRow("use PLAYER ITEM", "\"UPrimalItem.AllowUseInInventory\"", "use alice enforcer_kit",
                Use),
      ActionRow("slot ITEM", "\"UPrimalItem.AllowSlotting\"", "slot enforcer_kit", Slot),
      ActionRow("capture PLAYER DINO POD",
                "the creature goes into the empty cryopod or soul trap (its custom item data) and "
                "leaves the level through \"APrimalDinoCharacter.Destroyed\"",
                "capture alice raiders_rex cryo_empty", Capture),
      ActionRow("release PLAYER POD",
                "\"AShooterCharacter.OnWeaponEquipped\"; when the pod stays equipped, its "
                "creature comes back into the level for the player's team (no hooked function "
                "sees that) and the pod is empty",
                "release alice cryo_rex", Release),
      ActionRow("request_download PLAYER KIND",
                "\"AShooterPlayerController.ServerRequestDownloadDino_Implementation\"",
                fmt::format("request_download bob {}", kRaptorPath), RequestDownload),
      ActionRow("download PLAYER KIND",
                "\"AShooterPlayerController.ServerDownloadDino\" (the game spawns the creature "
                "for the player's team)",
                fmt::format("download bob {}", kRaptorPath), Download),
      ActionRow("init_downloaded DINO TEAM",
                "\"APrimalDinoCharacter.InitDownloadedTamedDino\" alone",
                "init_downloaded rex1 200001", InitDownloaded),
      ActionRow("clone PLAYER STRUCTURE [INDEX]",
                fmt::format("\"APrimalStructure.TryMultiUse\" with INDEX (default {}, cloning)",
                            game_facts::kCloneUseIndex),
                "clone alice cloning_chamber", Clone),
      ActionRow("netexec PLAYER COMMAND [DINO]",
                "\"AActor.BPServerHandleNetExecCommand\" with the creature in the parameter block",
                "netexec alice ServerRequestClone chamber_stego", NetExec),
      ActionRow("spawn PLAYER PATH",
                "\"AShooterPlayerController.SpawnActor\" with PATH exactly as written",
                "spawn alice " + game_text::Wrap(kRexPath), Spawn),
      ActionRow("invite INVITER PLAYER", "\"AShooterPlayerState.AddToTribe\", invite flag set",
                "invite alice carol", Invite),
      ActionRow("merge INVITER PLAYER", "the same, merge and invite flags set", "merge alice dave",
                Merge),
      ActionRow("create_tribe PLAYER TRIBEID", "the same, no flag and no inviter",
                "create_tribe carol 300001", CreateTribe),
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
