#include "sim/framework/register.h"
#include "sim/game/functions.h"
#include "sim/game/objects.h"

namespace sim {

void RegisterGameMembers(Registry& r) {
  namespace fn = game_functions;
#define TW_REGISTER_HOOKABLE(CLASS, FUNCTION, ...) \
  RegisterHookable<TW_GAME_NAME(CLASS, FUNCTION), &fn::TW_SIM_FUNCTION(CLASS, FUNCTION)>(r);
  TW_HOOKED_FUNCTIONS(TW_REGISTER_HOOKABLE)
#undef TW_REGISTER_HOOKABLE

  RegisterFunction<"FMemory.Malloc", &fn::Malloc>(r);
  RegisterFunction<"FMemory.Realloc", &fn::Realloc>(r);
  RegisterFunction<"FMemory.Free", &fn::Free>(r);
  RegisterFunction<"UObjectBaseUtility.IsA", &fn::IsA>(r);
  RegisterFunction<"UObjectBaseUtility.GetFullName", &fn::GetFullName>(r);
  RegisterFunction<"UClass.GetDefaultObject", &fn::GetDefaultObject>(r);
  RegisterFunction<"APrimalDinoCharacter.GetPrivateStaticClass", &fn::DinoStaticClass>(r);
  RegisterFunction<"AActor.GetOwnerController", &fn::GetOwnerController>(r);
  RegisterFunction<"AShooterPlayerState.IsInTribe", &fn::IsInTribe>(r);
  RegisterFunction<"AShooterPlayerController.GetPlayerCharacter", &fn::GetPlayerCharacter>(r);
  RegisterFunction<"APrimalCharacter.GetAimedActor", &fn::GetAimedActor>(r);
  RegisterFunction<"AShooterWeapon.StartUnequip", &fn::StartUnequip>(r);
  RegisterFunction<"UKismetSystemLibrary.SphereOverlapActors_NEW", &fn::SphereOverlapActors>(r);
  RegisterFunction<"FName.ToString", &fn::NameToString>(r);
  RegisterFunction<"RCONClientConnection.SendMessageW", &fn::RconSendMessage>(r);
  RegisterFunction<"AShooterPlayerController.ClientServerSOTFNotificationCustom",
                   &fn::ClientNotification>(r);
  RegisterFunction<"AShooterPlayerController.ClientChatMessage", &fn::ClientChatMessage>(r);
  RegisterFunction<"AShooterPlayerController.ClientServerChatDirectMessage",
                   &fn::ClientServerChatDirectMessage>(r);

  RegisterField<"UObjectBase.Class", &Object::cls>(r);
  RegisterField<"UWorld.PersistentLevel", &World::persistent_level>(r);
  RegisterField<"ULevelBase.Actors", &Level::actors>(r);
  RegisterField<"AActor.TargetingTeam", &Actor::targeting_team>(r);
  RegisterField<"AActor.RootComponent", &Actor::root_component>(r);
  RegisterField<"USceneComponent.RelativeLocation", &SceneComponent::relative_location>(r);
  RegisterField<"APrimalDinoCharacter.TamingTeamID", &Dino::taming_team_id>(r);
  RegisterField<"AController.PlayerState", &Controller::player_state>(r);
  RegisterField<"APlayerState.PlayerId", &PlayerState::player_id>(r);
  RegisterField<"APlayerState.PlayerName", &PlayerState::player_name>(r);
  RegisterField<"AShooterPlayerState.MyTribeData", &ShooterPlayerState::tribe>(r);
  RegisterField<"FTribeData.TribeID", &TribeData::tribe_id>(r);
  RegisterField<"AShooterWeapon.AssociatedPrimalItem", &Weapon::associated_item>(r);
  RegisterField<"UPrimalItem.MyItemType", &Item::item_type>(r);
  RegisterField<"UPrimalItem.MyConsumableType", &Item::consumable_type>(r);
  RegisterField<"UPrimalItem.CustomItemDatas", &Item::custom_item_datas>(r);
  RegisterBitField<"APrimalCharacter.bIsDead", &Character::character_flags, Character::kDeadBit>(r);
}

}  // namespace sim
