#include "counting/team_identity.h"

#include "base/debug.h"
#include "host/game_access.h"

int32_t GetTeamID(AShooterPlayerState* player_state) {
  if (player_state == nullptr) return 0;
  if (Call<"AShooterPlayerState.IsInTribe">(player_state)) {
    const int32_t tribe_id =
        Field<"FTribeData.TribeID">(&Field<"AShooterPlayerState.MyTribeData">(player_state));
    LogDebug("GetTeamID return tribe_id: {}", tribe_id);
    return tribe_id;
  }
  const int32_t player_id = Field<"APlayerState.PlayerId">(player_state);
  LogDebug("GetTeamID: return player_id: {}", player_id);
  return player_id;
}

AShooterPlayerState* PlayerStateOf(const AController* controller) {
  if (controller == nullptr) return nullptr;
  return static_cast<AShooterPlayerState*>(Field<"AController.PlayerState">(controller));
}
