// Action lines: each runs the game's functions through the hook table, so installed detours run
// and every hooked call is reported as a "result" event.
#include "host/game_facts.h"
#include "sim/game/actions.h"
#include "sim/tool/script_runner.h"

namespace sim::tool {
namespace {

int32_t IntArg(const Statement& s, std::size_t i, int32_t fallback = 0) {
  int32_t value = fallback;
  if (i < s.args.size()) ParseInt(s.args[i], value);
  return value;
}

}  // namespace

std::string ScriptRunner::Load(const Statement&) {
  if (server_.plugin_loaded()) return "the plug-in is loaded already; unload it first";
  LoadPlugin();
  return "";
}

std::string ScriptRunner::Unload(const Statement&) {
  if (!server_.plugin_loaded()) return "no plug-in is loaded";
  server_.UnloadPlugin();
  return "";
}

std::string ScriptRunner::Start(const Statement&) {
  server_.Start();
  return "";
}

std::string ScriptRunner::Tame(const Statement& s) {
  actions::Tame(PlayerArg(s, 0), DinoArg(s, 1));
  return "";
}

std::string ScriptRunner::ForceTame(const Statement& s) {
  actions::ForceTame(PlayerArg(s, 0), DinoArg(s, 1));
  return "";
}

std::string ScriptRunner::Claim(const Statement& s) {
  actions::MultiUse(PlayerArg(s, 0), DinoArg(s, 1), game_facts::kClaimUseIndex);
  return "";
}

std::string ScriptRunner::Unclaim(const Statement& s) {
  actions::MultiUse(PlayerArg(s, 0), DinoArg(s, 1), game_facts::kUnclaimUseIndex);
  return "";
}

std::string ScriptRunner::MultiUse(const Statement& s) {
  actions::MultiUse(PlayerArg(s, 0), DinoArg(s, 1), IntArg(s, 2));
  return "";
}

std::string ScriptRunner::Die(const Statement& s) {
  actions::Die(DinoArg(s, 0));
  return "";
}

std::string ScriptRunner::Destroy(const Statement& s) {
  actions::Destroy(DinoArg(s, 0));
  return "";
}

std::string ScriptRunner::Equip(const Statement& s) {
  actions::Equip(PlayerArg(s, 0), *items_.at(s.args.at(1)));
  return "";
}

std::string ScriptRunner::Use(const Statement& s) {
  actions::Use(PlayerArg(s, 0), *items_.at(s.args.at(1)));
  return "";
}

std::string ScriptRunner::Capture(const Statement& s) {
  Dino& dino = DinoArg(s, 1);
  if (dino.destroyed) return "the creature \"" + s.args.at(1) + "\" is no longer in the level";
  if (!actions::Capture(PlayerArg(s, 0), dino, *items_.at(s.args.at(2))))
    return "\"" + s.args.at(2) + "\" already holds a creature";
  return "";
}

std::string ScriptRunner::Release(const Statement& s) {
  actions::Release(PlayerArg(s, 0), *items_.at(s.args.at(1)));
  return "";
}

std::string ScriptRunner::Wait(const Statement& s) {
  const int32_t seconds = IntArg(s, 0);
  if (seconds < 0) return "SECONDS must not be negative";
  server_.AdvanceTime(seconds);
  return "";
}

std::string ScriptRunner::Slot(const Statement& s) {
  actions::Slot(*items_.at(s.args.at(0)));
  return "";
}

std::string ScriptRunner::RequestDownload(const Statement& s) {
  actions::RequestDownload(PlayerArg(s, 0), KindArg(s, 1));
  return "";
}

std::string ScriptRunner::Download(const Statement& s) {
  actions::Download(PlayerArg(s, 0), KindArg(s, 1));
  return "";
}

std::string ScriptRunner::InitDownloaded(const Statement& s) {
  actions::InitDownloaded(DinoArg(s, 0), IntArg(s, 1));
  return "";
}

std::string ScriptRunner::Clone(const Statement& s) {
  actions::UseStructure(PlayerArg(s, 0), *structures_.at(s.args.at(1)),
                        IntArg(s, 2, game_facts::kCloneUseIndex));
  return "";
}

std::string ScriptRunner::NetExec(const Statement& s) {
  actions::NetExec(PlayerArg(s, 0), s.args.at(1), s.args.size() > 2 ? &DinoArg(s, 2) : nullptr);
  return "";
}

std::string ScriptRunner::Spawn(const Statement& s) {
  actions::Spawn(PlayerArg(s, 0), s.args.at(1));
  return "";
}

std::string ScriptRunner::Invite(const Statement& s) {
  actions::Invite(PlayerArg(s, 0), PlayerArg(s, 1));
  return "";
}

std::string ScriptRunner::Merge(const Statement& s) {
  actions::Merge(PlayerArg(s, 0), PlayerArg(s, 1));
  return "";
}

std::string ScriptRunner::CreateTribe(const Statement& s) {
  actions::CreateTribe(PlayerArg(s, 0), IntArg(s, 1));
  return "";
}

std::string ScriptRunner::Chat(const Statement& s) {
  server_.Chat(PlayerArg(s, 0), s.args.at(1));  // text that is no command goes nowhere
  return "";
}

std::string ScriptRunner::Console(const Statement& s) {
  server_.Console(PlayerArg(s, 0), s.args.at(1));
  return "";
}

std::string ScriptRunner::Rcon(const Statement& s) {
  server_.Rcon(s.args.at(0), next_rcon_id_++);  // the answers are "rcon" events
  return "";
}

std::string ScriptRunner::Truth(const Statement& s) {
  const auto truth = server_.game().Truth();
  const auto report = [this](int32_t team, const std::map<std::string, int>& kinds) {
    int total = 0;
    for (const auto& [path, count] : kinds) total += count;
    server_.events().Add("truth", {{"team", team}, {"total", total}, {"kinds", kinds}});
  };
  if (!s.args.empty()) {
    const int32_t team = IntArg(s, 0);
    const auto it = truth.find(team);
    report(team, it == truth.end() ? std::map<std::string, int>{} : it->second);
  } else {
    for (const auto& [team, kinds] : truth) report(team, kinds);
  }
  return "";
}

}  // namespace sim::tool
