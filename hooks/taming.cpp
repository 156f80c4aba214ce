// Taming and claiming: a team at a limit may not finish a tame or claim a creature; finished
// tames, claims and given-up claims change the counts.
#include <optional>

#include "base/debug.h"
#include "base/guard.h"
#include "counting/blueprint_path.h"
#include "counting/limits.h"
#include "counting/team_identity.h"
#include "hooks/hooks.h"
#include "hooks/road.h"
#include "host/game_access.h"
#include "host/game_facts.h"
#include "notify/refusals.h"

namespace {

using game_facts::kClaimUseIndex;
using game_facts::kUnclaimUseIndex;

constexpr Road kTame = {
    "Tame", "AShooterGameState_AllowDinoTame: Limit reached: Taming Prevented Over the Limit!"};
constexpr Road kClaim = {"Claim", "Claiming Prevented Over the Limit!"};

FVector LocationOf(APrimalDinoCharacter* dino) {
  USceneComponent* root = Field<"AActor.RootComponent">(dino);
  return root == nullptr ? FVector{} : Field<"USceneComponent.RelativeLocation">(root);
}

}  // namespace

bool Hook_AShooterGameState_AllowDinoTame(AShooterGameState* game_state, APrimalDinoCharacter* dino,
                                          AShooterPlayerController* controller) {
  const bool game_allows =
      Original<"AShooterGameState.AllowDinoTame">(game_state, dino, controller);
  bool refuse = false;
  Guarded(__func__, [&] {
    // The team the creature is being tamed for; the controller only receives the message.
    const int32_t team_id = Field<"APrimalDinoCharacter.TamingTeamID">(dino);
    if (team_id == 0) return;
    const FString path_name = GetBlueprintPath(dino);
    const DebugLines debug;
    if (debug) {
      const FVector at = LocationOf(dino);
      debug("AShooterGameState_AllowDinoTame: team_id: {} Location: {} {} {}", team_id,
            double{at.X}, double{at.Y}, double{at.Z});
    }
    GuardGain(kTame, path_name, Actor(controller, team_id), refuse);
    if (!refuse)
      debug(
          "AShooterGameState_AllowDinoTame: Limit Not reached: Taming Preventing will be ignored!");
  });
  return refuse ? false : game_allows;
}

void Hook_APrimalDinoCharacter_TameDino(APrimalDinoCharacter* dino,
                                        AShooterPlayerController* controller,
                                        bool ignore_max_tame_limit, int32_t override_team,
                                        bool prevent_name_dialog, bool skip_tamed_levels) {
  LogDebug("Hook_APrimalDinoCharacter_TameDino");
  // This hook never prevents a tame; it counts one the game has finished.
  Original<"APrimalDinoCharacter.TameDino">(dino, controller, ignore_max_tame_limit, override_team,
                                            prevent_name_dialog, skip_tamed_levels);
  Guarded(__func__, [&] {
    if (PlayerStateOf(controller) == nullptr) return;
    const FString path_name = GetBlueprintPath(dino);
    const Actor who = ActingPlayer(controller);
    LogDebug("APrimalDinoCharacter_TameDino: team_id: {}", who.team());
    // Every tame the game completed is counted, also one past a limit that skipped the taming
    // permission (an admin's force-tame): the counts follow the world.
    WriteCheckLines(path_name, who.team());
    if (who.team() != 0) UpdateDinoCount(path_name, who.team(), 1);
    // Tell the tamer at once when this tame has used up the last place, or that it is near.
    if (const LimitCheck check = CheckLimits(path_name, who.team(), who.tier()); !check.allowed()) {
      NotifyLimit(check, controller);
    } else if (who.team() != 0) {
      WarnNearLimit(path_name, who.team(), controller, who.tier());
    }
  });
}

bool Hook_APrimalDinoCharacter_TryMultiUse(APrimalDinoCharacter* dino,
                                           APlayerController* controller, int32_t use_index) {
  LogDebug("Hook_APrimalDinoCharacter_TryMultiUse");
  FString path_name;
  std::optional<Actor> who;  // the claimer, or the owner giving the creature up
  bool refuse = false;
  Guarded(__func__, [&] {
    // Only claims and unclaims touch the counts; every other use of a creature goes straight on.
    if (use_index != kClaimUseIndex && use_index != kUnclaimUseIndex) return;
    path_name = GetBlueprintPath(dino);
    who = ActingPlayer(controller);
    if (use_index == kClaimUseIndex && who->team() != 0) GuardGain(kClaim, path_name, *who, refuse);
  });
  if (refuse) return false;

  const bool used = Original<"APrimalDinoCharacter.TryMultiUse">(dino, controller, use_index);
  if (!used || !who || who->team() == 0) return used;
  Guarded(__func__, [&] {
    if (use_index == kClaimUseIndex) {
      UpdateDinoCount(path_name, who->team(), 1);
      Field<"APrimalDinoCharacter.TamingTeamID">(dino) = who->team();
      WarnNearLimit(path_name, who->team(), who->controller(), who->tier());
    } else if (use_index == kUnclaimUseIndex) {
      UpdateDinoCount(path_name, who->team(), -1);
    }
  });
  return used;
}
