// Downloads of uploaded creatures: a request is refused when the team has no room for the kind,
// and a creature that arrives is counted. Uploads need no hook: a creature that leaves the world
// is counted off by the death and destruction hooks.
#include "base/debug.h"
#include "base/guard.h"
#include "counting/blueprint_path.h"
#include "counting/limits.h"
#include "counting/team_identity.h"
#include "hooks/hooks.h"
#include "hooks/road.h"
#include "host/game_facts.h"
#include "notify/refusals.h"

namespace {

constexpr Road kDownload = {
    "Download",
    "Hook_AShooterPlayerController_ServerRequestDownloadDino_Implementation: Downloading "
    "Prevented!"};

}  // namespace

// The record is the game's by-value copy; passing it on copies it again, strings and byte array
// deeply, so the game's function gets the record unchanged.
void Hook_AShooterPlayerController_ServerRequestDownloadDino_Implementation(
    AShooterPlayerController* controller, UploadedDinoRecord record) {
  bool refuse = false;
  Guarded(__func__, [&] {
    LogDebug("Hook_AShooterPlayerController_ServerRequestDownloadDino_Implementation");
    if (PlayerStateOf(controller) == nullptr) return;
    const FString path_name = GetClassBlueprintPath(record.DinoClass);
    const Actor who = ActingPlayer(controller);
    LogDebug("Hook_AShooterPlayerController_ServerRequestDownloadDino_Implementation: team_id: {}",
             who.team());
    if (who.team() != 0) GuardGain(kDownload, path_name, who, refuse);
  });
  if (refuse) return;
  Original<"AShooterPlayerController.ServerRequestDownloadDino_Implementation">(controller, record);
}

bool Hook_AShooterPlayerController_ServerDownloadDino(AShooterPlayerController* controller,
                                                      UploadedDinoRecord record) {
  const bool downloaded =
      Original<"AShooterPlayerController.ServerDownloadDino">(controller, record);
  Guarded(__func__, [&] {
    if (!downloaded || PlayerStateOf(controller) == nullptr) return;
    const Actor who = ActingPlayer(controller);
    LogDebug("AShooterPlayerController_ServerDownloadDino: team_id {}", who.team());
    if (who.team() == 0) return;
    const FString path_name = GetClassBlueprintPath(record.DinoClass);
    UpdateDinoCount(path_name, who.team(), 1);
    WarnNearLimit(path_name, who.team(), controller, who.tier());
  });
  return downloaded;
}

// Counts for the team the game gives the creature, without a check: the request was checked.
void Hook_APrimalDinoCharacter_InitDownloadedTamedDino(APrimalDinoCharacter* dino,
                                                       AShooterPlayerController* tamer,
                                                       int32_t team) {
  Guarded(__func__, [] { LogDebug("Hook_APrimalDinoCharacter_InitDownloadedTamedDino"); });
  Original<"APrimalDinoCharacter.InitDownloadedTamedDino">(dino, tamer, team);
  Guarded(__func__, [&] {
    if (dino == nullptr) return;
    const FString path_name = GetBlueprintPath(dino);
    LogDebug("APrimalDinoCharacter_InitDownloadedTamedDino: team_id: {}", team);
    if (game_facts::IsPlayerTeam(team)) UpdateDinoCount(path_name, team, 1);
  });
}
