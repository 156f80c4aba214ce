// Admin spawns: an admin's spawn of a creature kind counts against the admin's team like any
// other gain, unless General.IgnoreAdmin exempts the "Admins" group.
#include "base/config.h"
#include "base/debug.h"
#include "base/guard.h"
#include "counting/team_identity.h"
#include "hooks/hooks.h"
#include "hooks/road.h"
#include "host/ark_api.h"
#include "host/permissions.h"

namespace {

// Asked only when the player has a platform id and admins are exempt by configuration.
bool ExemptAdmin(AShooterPlayerController* controller) {
  const uint64_t steam_id = ArkApi::GetApiUtils().GetSteamIdFromController(controller);
  return steam_id != 0 && CurrentSettings().general.ignore_admin &&
         Permissions::IsPlayerHasPermission(steam_id, FString("Admins"));
}

constexpr Road kSpawn = {"Spawn", "AShooterPlayerController_SpawnActor: Dino spawn prevented!"};

// Whether the spawn may go ahead. The path is taken exactly as the admin wrote it.
bool SpawnAllowed(AShooterPlayerController* controller, const FString& path) {
  LogDebug("Hook_AShooterPlayerController_SpawnActor");
  if (ExemptAdmin(controller)) return true;
  if (PlayerStateOf(controller) == nullptr) return false;
  const Actor who = ActingPlayer(controller);
  LogDebug("AShooterPlayerController_SpawnActor: team_id {}", who.team());
  if (who.team() == 0) return true;  // no team, so no limit
  bool refuse = false;
  GuardGain(kSpawn, path, who, refuse);
  if (!refuse)
    LogDebug("AShooterPlayerController_SpawnActor: Dino spawn prevention will be ignored.");
  return !refuse;
}

}  // namespace

AActor* Hook_AShooterPlayerController_SpawnActor(AShooterPlayerController* controller,
                                                 FString* blueprint_path, float spawn_distance,
                                                 float y_offset, float z_offset,
                                                 bool defer_begin_play) {
  // A failed check spawns nothing: the failure's own text, the line an admin reads as the
  // reason, is logged at error level and null returned.
  bool allowed = false;
  Contained(
      [&] {
        allowed = SpawnAllowed(controller, blueprint_path != nullptr ? *blueprint_path : FString());
      },
      [](std::string_view text) { LogError(text); });
  if (!allowed) return nullptr;
  return Original<"AShooterPlayerController.SpawnActor">(controller, blueprint_path, spawn_distance,
                                                         y_offset, z_offset, defer_begin_play);
}
