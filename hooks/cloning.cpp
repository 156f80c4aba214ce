// Cloning: refused while a creature of a kind the cloning team has no room for is involved.
// These hooks only check; they never change the counts.
#include <cstddef>
#include <cstring>

#include "base/debug.h"
#include "base/guard.h"
#include "counting/blueprint_path.h"
#include "hooks/hooks.h"
#include "hooks/road.h"
#include "host/ark_api.h"
#include "host/game_access.h"
#include "host/game_facts.h"

namespace {

constexpr Road kClone = {"Clone", "Cloning Prevented: Restricted Dino within cloning range!",
                         "RestrictedInRange"};

// Every creature within the scan radius of the structure, whoever owns it, in the order the
// engine's overlap query returns them; the first one refused decides.
void CheckCloningRange(APrimalStructure* structure, const Actor& who, bool& refuse) {
  USceneComponent* root = Field<"AActor.RootComponent">(structure);
  if (root == nullptr) return;
  TArray<uint8_t> object_types;
  TArray<AActor*> ignore;
  TArray<AActor*> found;
  Call<"UKismetSystemLibrary.SphereOverlapActors_NEW">(
      ArkApi::GetApiUtils().GetGameWorld(), Field<"USceneComponent.RelativeLocation">(root),
      game_facts::kCloneScanRadius, &object_types,
      Call<"APrimalDinoCharacter.GetPrivateStaticClass">(), &ignore, &found);
  (void)who.tier();  // asked once, for all of them
  for (AActor* creature : found) {
    GuardGain(kClone, GetBlueprintPath(creature), who, refuse);
    if (refuse) return;
  }
}

}  // namespace

bool Hook_APrimalStructure_TryMultiUse(APrimalStructure* structure, APlayerController* controller,
                                       int32_t use_index) {
  bool refuse = false;
  Guarded(__func__, [&] {
    LogDebug("Hook_APrimalStructure_TryMultiUse UseIndex: {}", use_index);
    if (use_index != game_facts::kCloneUseIndex || structure == nullptr) return;
    const Actor who = ActingPlayer(controller);
    if (!game_facts::IsPlayerTeam(who.team())) return;  // only player teams are ever refused
    CheckCloningRange(structure, who, refuse);
  });
  if (refuse) return false;
  return Original<"APrimalStructure.TryMultiUse">(structure, controller, use_index);
}

bool Hook_AActor_BPServerHandleNetExecCommand(AActor* actor, APlayerController* controller,
                                              FName command, FBPNetExecParams* params) {
  bool refuse = false;
  Guarded(__func__, [&] {
    LogDebug("Hook_AActor_BPServerHandleNetExecCommand");
    FString name;
    Call<"FName.ToString">(&command, &name);
    if (FindIgnoreCase(name, FString("Clone")) < 0) return;
    const Actor who = ActingPlayer(controller);
    if (!game_facts::IsPlayerTeam(who.team()) || params == nullptr) return;
    UObject* creature = nullptr;
    std::memcpy(&creature,
                reinterpret_cast<const std::byte*>(params) + game_facts::kNetExecObjectOffset,
                sizeof creature);
    if (creature != nullptr) GuardGain(kClone, GetBlueprintPath(creature), who, refuse);
  });
  if (refuse) return false;
  return Original<"AActor.BPServerHandleNetExecCommand">(actor, controller, command, params);
}
