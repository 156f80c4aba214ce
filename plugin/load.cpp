#include "plugin/load.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <variant>

#include "commands/commands.h"
#include "counting/recount.h"
#include "hooks/hooks.h"
#include "host/ark_api.h"
#include "base/config.h"
#include "base/guard.h"
#include "base/logger.h"

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

// The chat command's name as Load registered it; a reload may change the configured one.
std::u16string& RegisteredChatName() {
  static std::u16string name;
  return name;
}

// One hook: the game function's name, and how its detour goes in (the host's answer) and out.
struct HookRow {
  std::string_view name;
  bool (*install)();
  bool (*remove)();
};

template <GameName Name, Detour<Name>* detour>
constexpr HookRow Row() {
  return {
      Name.view(), [] { return ArkApi::GetHooks().InstallHook<Name>(detour, &Original<Name>); },
      [] { return ArkApi::GetHooks().RemoveHook(Name.view(), reinterpret_cast<void*>(detour)); }};
}

// The hooks in the order they are installed, and removed.
constexpr HookRow kHooks[] = {
    Row<"AShooterGameMode.InitGame", Hook_AShooterGameMode_InitGame>(),
    Row<"AShooterGameState.AllowDinoTame", Hook_AShooterGameState_AllowDinoTame>(),
    Row<"APrimalDinoCharacter.TryMultiUse", Hook_APrimalDinoCharacter_TryMultiUse>(),
    Row<"AShooterPlayerState.AddToTribe", Hook_AShooterPlayerState_AddToTribe>(),
    Row<"APrimalDinoCharacter.TameDino", Hook_APrimalDinoCharacter_TameDino>(),
    Row<"AShooterPlayerController.ServerRequestDownloadDino_Implementation",
        Hook_AShooterPlayerController_ServerRequestDownloadDino_Implementation>(),
    Row<"AShooterPlayerController.SpawnActor", Hook_AShooterPlayerController_SpawnActor>(),
    Row<"APrimalDinoCharacter.Die", Hook_APrimalDinoCharacter_Die>(),
    Row<"APrimalDinoCharacter.Destroyed", Hook_APrimalDinoCharacter_Destroyed>(),
    Row<"APrimalStructure.TryMultiUse", Hook_APrimalStructure_TryMultiUse>(),
    Row<"APrimalDinoCharacter.InitDownloadedTamedDino",
        Hook_APrimalDinoCharacter_InitDownloadedTamedDino>(),
    Row<"AShooterPlayerController.ServerDownloadDino",
        Hook_AShooterPlayerController_ServerDownloadDino>(),
    Row<"UPrimalItem.AllowUseInInventory", Hook_UPrimalItem_AllowUseInInventory>(),
    Row<"UPrimalItem.AllowSlotting", Hook_UPrimalItem_AllowSlotting>(),
    Row<"AActor.BPServerHandleNetExecCommand", Hook_AActor_BPServerHandleNetExecCommand>(),
    Row<"AShooterCharacter.OnWeaponEquipped", Hook_AShooterCharacter_OnWeaponEquipped>(),
};

#define TW_NAME_OF(NAME, ...) std::string_view(NAME),
constexpr std::string_view kHookedFunctions[] = {TW_HOOKED_FUNCTIONS(TW_NAME_OF)};
#undef TW_NAME_OF
static_assert(std::ranges::equal(kHooks, kHookedFunctions, {}, &HookRow::name),
              "the hooks must be every hooked function of game_table.h, once each, in its order");

}  // namespace

void Load() {
  CreateLogger();
  FString chat_name;
  std::size_t warnings = 0;
  try {
    warnings = ReadConfig();
    if (ArkApi::GetApiUtils().GetServerState() == 1) UpdateDinoCountAll();
    chat_name = GetText("ShowLimitCmd");
  } catch (const std::exception& error) {
    Log().error(error.what());
    throw;
  }

  for (const CommandRow& row : kCommands) Register(row, chat_name);
  RegisteredChatName() = chat_name.View();

  // A hook the host refuses leaves its game function running without the plug-in; the others
  // still protect what they cover, so the load goes on.
  for (const HookRow& hook : kHooks) {
    if (!hook.install()) {
      LogError("Load", "the host refused the hook on " + std::string(hook.name) +
                           "; that game function runs unchecked and uncounted");
    }
  }
  ArkApi::GetCommands().AddOnTimerCallback(FString(kRecountTimer), &RecountOnTimer);
  Guarded("Load", [&] { Log().info(ConfigSummary(warnings)); });
}

void Unload() {
  Guarded("Unload", [] {
    const FString chat_name{std::u16string_view(RegisteredChatName())};
    ArkApi::GetCommands().RemoveOnTimerCallback(FString(kRecountTimer));
    for (const CommandRow& row : kCommands) Unregister(row, chat_name);
    for (const HookRow& hook : kHooks) hook.remove();
  });
}
