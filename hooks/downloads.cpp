// Downloads of uploaded creatures: a request is refused when the team has no room for the kind,
// and a creature that arrives is counted. Uploads need no hook: a creature that leaves the world
// is counted off by the death and destruction hooks.
#include "notify/messages.h"
#include "notify/refusals.h"
#include "counting/blueprint_path.h"
#include "counting/limits.h"
#include "counting/team_identity.h"
#include "counting/tiers.h"
#include "hooks/hooks.h"
#include "host/game_facts.h"
#include "base/debug.h"
#include "base/guard.h"
#include "base/text.h"

// The record is the game's by-value copy; passing it on copies it again, strings and byte array
// deeply, so the game's function gets the record unchanged.
void Hook_AShooterPlayerController_ServerRequestDownloadDino_Implementation(
    AShooterPlayerController* controller, UploadedDinoRecord record) {
  bool refuse = false;
  Guarded("Hook_AShooterPlayerController_ServerRequestDownloadDino_Implementation", [&] {
    LogDebug("Hook_AShooterPlayerController_ServerRequestDownloadDino_Implementation");
    AShooterPlayerState* player_state = PlayerStateOf(controller);
    if (player_state == nullptr) return;
    const FString path_name = GetClassBlueprintPath(record.DinoClass);
    const int32_t team_id = GetTeamID(player_state);
    LogDebug("Hook_AShooterPlayerController_ServerRequestDownloadDino_Implementation: team_id: {}",
             team_id);
    if (team_id == 0) return;
    const LimitCheck check = CheckLimits(path_name, team_id, TierOf(controller));
    if (check.allowed()) return;
    refuse = true;
    LogRefusal("Download", team_id, path_name, check);
    LogDebug(
        "Hook_AShooterPlayerController_ServerRequestDownloadDino_Implementation: Downloading "
        "Prevented!");
    NotifyLimit(check, controller);
  });
  if (refuse) return;
  Original<"AShooterPlayerController.ServerRequestDownloadDino_Implementation">(controller, record);
}

bool Hook_AShooterPlayerController_ServerDownloadDino(AShooterPlayerController* controller,
                                                      UploadedDinoRecord record) {
  const bool downloaded =
      Original<"AShooterPlayerController.ServerDownloadDino">(controller, record);
  Guarded("Hook_AShooterPlayerController_ServerDownloadDino", [&] {
    AShooterPlayerState* player_state = PlayerStateOf(controller);
    if (!downloaded || player_state == nullptr) return;
    const int32_t team_id = GetTeamID(player_state);
    LogDebug("AShooterPlayerController_ServerDownloadDino: team_id {}", team_id);
    if (team_id == 0) return;
    const FString path_name = GetClassBlueprintPath(record.DinoClass);
    UpdateDinoCount(path_name, team_id, 1);
    WarnNearLimit(path_name, team_id, controller, TierOf(controller));
  });
  return downloaded;
}

// Counts for the team the game gives the creature, without a check: the request was checked.
void Hook_APrimalDinoCharacter_InitDownloadedTamedDino(APrimalDinoCharacter* dino,
                                                       AShooterPlayerController* tamer,
                                                       int32_t team) {
  constexpr char kWhere[] = "Hook_APrimalDinoCharacter_InitDownloadedTamedDino";
  Guarded(kWhere, [] { LogDebug("Hook_APrimalDinoCharacter_InitDownloadedTamedDino"); });
  Original<"APrimalDinoCharacter.InitDownloadedTamedDino">(dino, tamer, team);
  Guarded(kWhere, [&] {
    if (dino == nullptr) return;
    const FString path_name = GetBlueprintPath(dino);
    LogDebug("APrimalDinoCharacter_InitDownloadedTamedDino: team_id: {}", team);
    if (game_facts::IsPlayerTeam(team)) UpdateDinoCount(path_name, team, 1);
  });
}
