#include "plugin/load.h"

#include <bitset>
#include <iterator>
#include <string>
#include <string_view>
#include <variant>

#include "base/config.h"
#include "base/guard.h"
#include "base/logger.h"
#include "base/text.h"
#include "cluster/cluster_link.h"
#include "commands/commands.h"
#include "counting/recount.h"
#include "hooks/hooks.h"
#include "host/ark_api.h"
#include "plugin/status.h"

namespace {

// One command: its name and its handler, whose type says where the command is typed.
using ChatHandler = void(AShooterPlayerController*, FString*, EChatSendMode::Type);
using RconHandler = void(RCONClientConnection*, RCONPacket*, UWorld*);
using ConsoleHandler = void(APlayerController*, FString*, bool);
struct CommandRow {
  std::string_view name;  // unused for the chat command: Load names it from the configuration
  std::variant<ChatHandler*, RconHandler*, ConsoleHandler*> handler;
};

// The commands in the order they are registered, and unregistered.
constexpr CommandRow kCommands[] = {
    {"", &ShowLimitsCmd},
    {"tw.reload", &ReloadConfigRcon},
    {"UpdateDinos", &UpdateDinosRconCmd},
    {"tw.reload", &ReloadConfigCmd},
    {"UpdateDinos", &UpdateDinosCmd},
    {"GetDinoBp", &GetDinoBpCmd},
    {"tw.counts", &TeamCountsRcon},
    {"tw.counts", &TeamCountsCmd},
    {"tw.status", &StatusRcon},
    {"tw.status", &StatusCmd},
    {"tw.cluster", &ClusterRcon},
    {"tw.cluster", &ClusterCmd},
};

template <typename... F>
struct Overloaded : F... {
  using F::operator()...;
};

void Register(const CommandRow& row, const FString& chat_name) {
  auto& commands = ArkApi::GetCommands();
  const FString name(row.name);
  std::visit(Overloaded{
                 [&](ChatHandler* handler) { commands.RegisterChatCommand(chat_name, handler); },
                 [&](RconHandler* handler) { commands.RegisterRconCommand(name, handler); },
                 [&](ConsoleHandler* handler) { commands.RegisterConsoleCommand(name, handler); },
             },
             row.handler);
}

void Unregister(const CommandRow& row, const FString& chat_name) {
  auto& commands = ArkApi::GetCommands();
  const FString name(row.name);
  std::visit(Overloaded{
                 [&](ChatHandler*) { commands.UnregisterChatCommand(chat_name); },
                 [&](RconHandler*) { commands.UnregisterRconCommand(name); },
                 [&](ConsoleHandler*) { commands.UnregisterConsoleCommand(name); },
             },
             row.handler);
}

// The timer that rebuilds the counts every General.RecountIntervalSeconds.
constexpr std::string_view kRecountTimer = "Tamewarden.Recount";
// The timer that passes counts between the game and the cluster's sync worker.
constexpr std::string_view kClusterTimer = "Tamewarden.Cluster";

void ClusterTimer() {
  Guarded("Cluster", [] { ClusterOnTimer(); });
}

// The chat command's name as Load registered it; a reload may change the configured one.
std::u16string& RegisteredChatName() {
  static std::u16string name;
  return name;
}

// One hook: the game function's name, and how its detour goes in (the host's answer) and out.
struct HookRow {
  std::string_view name;
  ArkApi::HookInstall (*install)();
  bool (*remove)();
};

template <GameName Name, Detour<Name>* detour>
constexpr HookRow Row() {
  return {
      Name.view(), [] { return ArkApi::GetHooks().InstallHook<Name>(detour, &Original<Name>); },
      [] { return ArkApi::GetHooks().RemoveHook(Name.view(), reinterpret_cast<void*>(detour)); }};
}

// The hooks in the order they are installed, and removed: every hooked function of game_table.h.
#define TW_HOOK_ROW(CLASS, FUNCTION, ...) \
  Row<TW_GAME_NAME(CLASS, FUNCTION), TW_DETOUR(CLASS, FUNCTION)>(),
constexpr HookRow kHooks[] = {TW_HOOKED_FUNCTIONS(TW_HOOK_ROW)};
#undef TW_HOOK_ROW

// Which of kHooks Load installed, so that Unload removes those and no others.
std::bitset<std::size(kHooks)>& InstalledHooks() {
  static std::bitset<std::size(kHooks)> installed;
  return installed;
}

// The hooks the host refused at the last load, each with its reason.
std::vector<std::string>& RefusedHooks() {
  static std::vector<std::string> refused;
  return refused;
}

std::string_view Reason(ArkApi::HookInstall answer) {
  switch (answer) {
    case ArkApi::HookInstall::kInstalled:
      return "installed";
    case ArkApi::HookInstall::kUnknownName:
      return "unknown name";
    case ArkApi::HookInstall::kAlreadyHooked:
      return "already hooked";
    case ArkApi::HookInstall::kDeclined:
      return "declined";
  }
  return "no reason given";
}

}  // namespace

void Load() {
  CreateLogger();
  FString chat_name;
  std::size_t warnings = 0;
  try {
    warnings = ReadConfig();
    if (ArkApi::GetApiUtils().GetServerState() == 1) Recount(RecountReason::kLoad);
    chat_name = FString(CurrentSettings().messages.Text("ShowLimitCmd"));
  } catch (const std::exception& error) {
    Log().error(error.what());
    throw;
  }

  for (const CommandRow& row : kCommands) Register(row, chat_name);
  RegisteredChatName() = chat_name.View();

  // A hook the host refuses leaves its game function running without the plug-in; the others
  // still protect what they cover, so the load goes on.
  RefusedHooks().clear();
  for (std::size_t i = 0; i < std::size(kHooks); ++i) {
    const ArkApi::HookInstall answer = kHooks[i].install();
    if (answer == ArkApi::HookInstall::kInstalled) {
      InstalledHooks().set(i);
    } else {
      RefusedHooks().push_back(std::string(kHooks[i].name) + " (" + std::string(Reason(answer)) +
                               ")");
      LogError("Load", "the host refused the hook on " + std::string(kHooks[i].name) + " (" +
                           std::string(Reason(answer)) +
                           "); that game function runs unchecked and uncounted");
    }
  }
  ArkApi::GetCommands().AddOnTimerCallback(FString(kRecountTimer), &RecountOnTimer);
  ArkApi::GetCommands().AddOnTimerCallback(FString(kClusterTimer), &ClusterTimer);
  Guarded("Load", [&] { Log().info(ConfigSummary(warnings)); });
  // Starts the sync worker, which connects on its own thread: the load never waits for it.
  Guarded("Load", [] { ApplyClusterSettings(CurrentSettings().cluster); });
  // The last good file is saved from a configuration that went live from config.json; one that
  // runs from the last good file keeps it as it is, with its time.
  if (!RunningConfigOrigin().last_good) SaveLastGood(PluginConfig());
}

void Unload() {
  Guarded("Unload", [] {
    const FString chat_name{std::u16string_view(RegisteredChatName())};
    ArkApi::GetCommands().RemoveOnTimerCallback(FString(kRecountTimer));
    ArkApi::GetCommands().RemoveOnTimerCallback(FString(kClusterTimer));
    for (const CommandRow& row : kCommands) Unregister(row, chat_name);
    // A detour left in place would be called by the game after the library is gone.
    for (std::size_t i = 0; i < std::size(kHooks); ++i) {
      if (InstalledHooks().test(i) && !kHooks[i].remove())
        LogError("Unload", "could not remove the hook on " + std::string(kHooks[i].name));
    }
    InstalledHooks().reset();
    RefusedHooks().clear();
  });
  // The library cannot go while the sync worker's thread runs: this waits for it, within its
  // bound, writing what is pending while the database answers.
  Guarded("Unload", [] { StopCluster(); });
}

LoadedParts WhatLoadAdded() {
  LoadedParts parts;
  if (InstalledHooks().none() && RefusedHooks().empty()) return parts;
  for (const CommandRow& row : kCommands) {
    parts.commands.push_back(std::visit(
        Overloaded{
            [&](ChatHandler*) {
              return "chat " + ToUtf8(FString{std::u16string_view(RegisteredChatName())});
            },
            [&](RconHandler*) { return "RCON " + std::string(row.name); },
            [&](ConsoleHandler*) { return "console " + std::string(row.name); },
        },
        row.handler));
  }
  for (std::size_t i = 0; i < std::size(kHooks); ++i) {
    if (InstalledHooks().test(i)) parts.hooks_installed.emplace_back(kHooks[i].name);
  }
  parts.hooks_refused = RefusedHooks();
  return parts;
}
