// Taming and claiming: a team at a limit may not finish a tame or claim a creature; finished
// tames, claims and given-up claims change the counts.
#include "notify/messages.h"
#include "notify/refusals.h"
#include "counting/blueprint_path.h"
#include "counting/limits.h"
#include "counting/team_identity.h"
#include "counting/tiers.h"
#include "hooks/hooks.h"
#include "host/game_access.h"
#include "host/game_facts.h"
#include "base/debug.h"
#include "base/guard.h"

namespace {

using game_facts::kClaimUseIndex;
using game_facts::kUnclaimUseIndex;

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
  Guarded("Hook_AShooterGameState_AllowDinoTame", [&] {
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
    const LimitCheck check = CheckLimits(path_name, team_id, TierOf(controller));
    if (check.allowed()) {
      debug(
          "AShooterGameState_AllowDinoTame: Limit Not reached: Taming Preventing will be ignored!");
      return;
    }
    refuse = true;
    LogRefusal("Tame", team_id, path_name, check);
    NotifyLimit(check, controller);
    debug("AShooterGameState_AllowDinoTame: Limit reached: Taming Prevented Over the Limit!");
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
  Guarded("Hook_APrimalDinoCharacter_TameDino", [&] {
    AShooterPlayerState* player_state = PlayerStateOf(controller);
    if (player_state == nullptr) return;
    const FString path_name = GetBlueprintPath(dino);
    const int32_t team_id = GetTeamID(player_state);
    LogDebug("APrimalDinoCharacter_TameDino: team_id: {}", team_id);
    // Every tame the game completed is counted, also one past a limit that skipped the taming
    // permission (an admin's force-tame): the counts follow the world. The first check stays for
    // its diagnostic lines; its answer no longer decides.
    (void)DinoAllowed(path_name, team_id);
    if (team_id != 0) UpdateDinoCount(path_name, team_id, 1);
    // Tell the tamer at once when this tame has used up the last place, or that it is near.
    const Tier* tier = TierOf(controller);
    if (const LimitCheck check = CheckLimits(path_name, team_id, tier); !check.allowed()) {
      NotifyLimit(check, controller);
    } else if (team_id != 0) {
      WarnNearLimit(path_name, team_id, controller, tier);
    }
  });
}

bool Hook_APrimalDinoCharacter_TryMultiUse(APrimalDinoCharacter* dino,
                                           APlayerController* controller, int32_t use_index) {
  LogDebug("Hook_APrimalDinoCharacter_TryMultiUse");
  constexpr std::string_view kWhere = "Hook_APrimalDinoCharacter_TryMultiUse";
  auto* player = static_cast<AShooterPlayerController*>(controller);
  FString path_name;
  int32_t team_id = 0;
  const Tier* tier = nullptr;  // the claimer's
  bool refuse = false;
  Guarded(kWhere, [&] {
    // Only claims and unclaims touch the counts; every other use of a creature goes straight on.
    if (use_index != kClaimUseIndex && use_index != kUnclaimUseIndex) return;
    path_name = GetBlueprintPath(dino);
    if (AShooterPlayerState* player_state = PlayerStateOf(controller))
      team_id = GetTeamID(player_state);
    if (use_index != kClaimUseIndex || team_id == 0) return;
    tier = TierOf(controller);
    const LimitCheck check = CheckLimits(path_name, team_id, tier);
    if (check.allowed()) return;
    refuse = true;
    LogDebug("Claiming Prevented Over the Limit!");
    LogRefusal("Claim", team_id, path_name, check);
    NotifyLimit(check, player);
  });
  if (refuse) return false;

  const bool used = Original<"APrimalDinoCharacter.TryMultiUse">(dino, controller, use_index);
  if (!used || team_id == 0) return used;
  Guarded(kWhere, [&] {
    if (use_index == kClaimUseIndex) {
      UpdateDinoCount(path_name, team_id, 1);
      Field<"APrimalDinoCharacter.TamingTeamID">(dino) = team_id;
      WarnNearLimit(path_name, team_id, player, tier);
    } else if (use_index == kUnclaimUseIndex) {
      UpdateDinoCount(path_name, team_id, -1);
    }
  });
  return used;
}
