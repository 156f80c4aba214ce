// Cloning: refused while a creature of a kind the cloning team has no room for is involved.
// These hooks only check; they never change the counts.
#include <cstddef>
#include <cstring>

#include "notify/messages.h"
#include "notify/refusals.h"
#include "counting/blueprint_path.h"
#include "counting/limits.h"
#include "counting/team_identity.h"
#include "counting/tiers.h"
#include "hooks/hooks.h"
#include "host/ark_api.h"
#include "host/game_access.h"
#include "host/game_facts.h"
#include "base/debug.h"
#include "base/guard.h"

namespace {

// The cloning player's team, 0 for a missing controller or player state.
int32_t ClonerTeam(APlayerController* controller) { return GetTeamID(PlayerStateOf(controller)); }

// Whether the team may clone with this creature involved; tells the player when not.
bool CloneAllowed(UObjectBase* creature, int32_t team_id, const Tier* tier,
                  APlayerController* controller, bool& refuse) {
  const FString path_name = GetBlueprintPath(creature);
  const LimitCheck check = CheckLimits(path_name, team_id, tier);
  if (check.allowed()) return true;
  refuse = true;
  LogDebug("Cloning Prevented: Restricted Dino within cloning range!");
  LogRefusal("Clone", team_id, path_name, check);
  NotifyPlayer("RestrictedInRange", static_cast<AShooterPlayerController*>(controller));
  return false;
}

// Every creature within the scan radius of the structure, whoever owns it, in the order the
// engine's overlap query returns them; the first one refused decides.
void CheckCloningRange(APrimalStructure* structure, int32_t team_id, APlayerController* controller,
                       bool& refuse) {
  USceneComponent* root = Field<"AActor.RootComponent">(structure);
  if (root == nullptr) return;
  TArray<uint8_t> object_types;
  TArray<AActor*> ignore;
  TArray<AActor*> found;
  Call<"UKismetSystemLibrary.SphereOverlapActors_NEW">(
      ArkApi::GetApiUtils().GetGameWorld(), Field<"USceneComponent.RelativeLocation">(root),
      game_facts::kCloneScanRadius, &object_types,
      Call<"APrimalDinoCharacter.GetPrivateStaticClass">(), &ignore, &found);
  const Tier* tier = TierOf(controller);
  for (AActor* creature : found) {
    if (!CloneAllowed(creature, team_id, tier, controller, refuse)) return;
  }
}

}  // namespace

bool Hook_APrimalStructure_TryMultiUse(APrimalStructure* structure, APlayerController* controller,
                                       int32_t use_index) {
  bool refuse = false;
  Guarded("Hook_APrimalStructure_TryMultiUse", [&] {
    LogDebug("Hook_APrimalStructure_TryMultiUse UseIndex: {}", use_index);
    if (use_index != game_facts::kCloneUseIndex || structure == nullptr) return;
    const int32_t team_id = ClonerTeam(controller);
    if (!game_facts::IsPlayerTeam(team_id)) return;  // only player teams are ever refused
    CheckCloningRange(structure, team_id, controller, refuse);
  });
  if (refuse) return false;
  return Original<"APrimalStructure.TryMultiUse">(structure, controller, use_index);
}

bool Hook_AActor_BPServerHandleNetExecCommand(AActor* actor, APlayerController* controller,
                                              FName command, FBPNetExecParams* params) {
  bool refuse = false;
  Guarded("Hook_AActor_BPServerHandleNetExecCommand", [&] {
    LogDebug("Hook_AActor_BPServerHandleNetExecCommand");
    FString name;
    Call<"FName.ToString">(&command, &name);
    if (FindIgnoreCase(name, FString("Clone")) < 0) return;
    const int32_t team_id = ClonerTeam(controller);
    if (!game_facts::IsPlayerTeam(team_id) || params == nullptr) return;
    UObject* creature = nullptr;
    std::memcpy(&creature,
                reinterpret_cast<const std::byte*>(params) + game_facts::kNetExecObjectOffset,
                sizeof creature);
    if (creature != nullptr)
      CloneAllowed(creature, team_id, TierOf(controller), controller, refuse);
  });
  if (refuse) return false;
  return Original<"AActor.BPServerHandleNetExecCommand">(actor, controller, command, params);
}
