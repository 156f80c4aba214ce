// Death and destruction: a creature of a player team leaves the counts once, when it dies or
// when it is removed from the world while still alive.
#include "base/debug.h"
#include "base/guard.h"
#include "counting/blueprint_path.h"
#include "counting/limits.h"
#include "hooks/hooks.h"
#include "host/game_access.h"
#include "host/game_facts.h"

bool Hook_APrimalDinoCharacter_Die(APrimalDinoCharacter* dino, float killing_damage,
                                   FDamageEvent* damage_event, AController* killer,
                                   AActor* damage_causer) {
  if (!Original<"APrimalDinoCharacter.Die">(dino, killing_damage, damage_event, killer,
                                            damage_causer)) {
    return false;
  }
  Guarded(__func__, [&] {
    const int32_t team_id = Field<"AActor.TargetingTeam">(dino);
    // A team the recount never counts has no deaths taken off either.
    if (game_facts::IsRecountedTeam(team_id)) {
      LogDebug("APrimalDinoCharacter_Die: Dino died reduce the counts");
      UpdateDinoCount(GetBlueprintPath(dino), team_id, -1);
    }
  });
  return true;
}

void Hook_APrimalDinoCharacter_Destroyed(APrimalDinoCharacter* dino) {
  // Before the game's function, while the creature can still be read. A dead creature was taken
  // off at its death.
  Guarded(__func__, [&] {
    if (BitFieldValue<"APrimalCharacter.bIsDead">(dino) != 0) return;
    const int32_t team_id = Field<"AActor.TargetingTeam">(dino);
    if (game_facts::IsPlayerTeam(team_id)) UpdateDinoCount(GetBlueprintPath(dino), team_id, -1);
  });
  Original<"APrimalDinoCharacter.Destroyed">(dino);
}
