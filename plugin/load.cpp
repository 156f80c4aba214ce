#include "plugin/load.h"

#include <array>
#include <string>
#include <string_view>

#include "commands/commands.h"
#include "counting/recount.h"
#include "hooks/hooks.h"
#include "host/ark_api.h"
#include "plugin/config.h"
#include "plugin/logger.h"

namespace {

struct HookBinding {
  std::string_view name;
  void* detour;
  void** original;
};

template <GameName Name>
HookBinding Bind(typename GameFunction<Name>::Type* detour) {
  return {Name.view(), reinterpret_cast<void*>(detour), reinterpret_cast<void**>(&Original<Name>)};
}

// The hooks in the order they are installed, and removed.
const std::array<HookBinding, 16>& Hooks() {
  static const std::array<HookBinding, 16> hooks = {
      Bind<"AShooterGameMode.InitGame">(&Hook_AShooterGameMode_InitGame),
      Bind<"AShooterGameState.AllowDinoTame">(&Hook_AShooterGameState_AllowDinoTame),
      Bind<"APrimalDinoCharacter.TryMultiUse">(&Hook_APrimalDinoCharacter_TryMultiUse),
      Bind<"AShooterPlayerState.AddToTribe">(&Hook_AShooterPlayerState_AddToTribe),
      Bind<"APrimalDinoCharacter.TameDino">(&Hook_APrimalDinoCharacter_TameDino),
      Bind<"AShooterPlayerController.ServerRequestDownloadDino_Implementation">(
          &Hook_AShooterPlayerController_ServerRequestDownloadDino_Implementation),
      Bind<"AShooterPlayerController.SpawnActor">(&Hook_AShooterPlayerController_SpawnActor),
      Bind<"APrimalDinoCharacter.Die">(&Hook_APrimalDinoCharacter_Die),
      Bind<"APrimalDinoCharacter.Destroyed">(&Hook_APrimalDinoCharacter_Destroyed),
      Bind<"APrimalStructure.TryMultiUse">(&Hook_APrimalStructure_TryMultiUse),
      Bind<"APrimalDinoCharacter.InitDownloadedTamedDino">(
          &Hook_APrimalDinoCharacter_InitDownloadedTamedDino),
      Bind<"AShooterPlayerController.ServerDownloadDino">(
          &Hook_AShooterPlayerController_ServerDownloadDino),
      Bind<"UPrimalItem.AllowUseInInventory">(&Hook_UPrimalItem_AllowUseInInventory),
      Bind<"UPrimalItem.AllowSlotting">(&Hook_UPrimalItem_AllowSlotting),
      Bind<"AActor.BPServerHandleNetExecCommand">(&Hook_AActor_BPServerHandleNetExecCommand),
      Bind<"AShooterCharacter.OnWeaponEquipped">(&Hook_AShooterCharacter_OnWeaponEquipped),
  };
  return hooks;
}

// The chat command's name as Load registered it; a reload may change the configured one.
std::u16string& RegisteredChatName() {
  static std::u16string name;
  return name;
}

}  // namespace

void Load() {
  CreateLogger();
  FString chat_name;
  try {
    ReadConfig();
    if (ArkApi::GetApiUtils().GetServerState() == 1) UpdateDinoCountAll();
    chat_name = GetText("ShowLimitCmd");
  } catch (const std::exception& error) {
    Log().error(error.what());
    throw;
  }

  auto& commands = ArkApi::GetCommands();
  commands.RegisterChatCommand(chat_name, &ShowLimitsCmd);
  RegisteredChatName() = chat_name.View();
  commands.RegisterRconCommand("tw.reload", &ReloadConfigRcon);
  commands.RegisterRconCommand("UpdateDinos", &UpdateDinosRconCmd);
  commands.RegisterConsoleCommand("tw.reload", &ReloadConfigCmd);
  commands.RegisterConsoleCommand("UpdateDinos", &UpdateDinosCmd);
  commands.RegisterConsoleCommand("GetDinoBp", &GetDinoBpCmd);

  auto& hooks = ArkApi::GetHooks();
  for (const HookBinding& hook : Hooks()) hooks.InstallHook(hook.name, hook.detour, hook.original);
}

void Unload() {
  try {
    auto& commands = ArkApi::GetCommands();
    commands.UnregisterChatCommand(FString(std::u16string_view(RegisteredChatName())));
    commands.UnregisterRconCommand("tw.reload");
    commands.UnregisterRconCommand("UpdateDinos");
    commands.UnregisterConsoleCommand("tw.reload");
    commands.UnregisterConsoleCommand("UpdateDinos");
    commands.UnregisterConsoleCommand("GetDinoBp");

    auto& hooks = ArkApi::GetHooks();
    for (const HookBinding& hook : Hooks()) hooks.RemoveHook(hook.name, hook.detour);
  } catch (const std::exception& error) {
    LogError("Unload", error.what());
  }
}
