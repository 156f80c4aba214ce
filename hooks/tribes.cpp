#include "hooks/hooks.h"

bool Hook_AShooterPlayerState_AddToTribe(AShooterPlayerState* player_state, FTribeData* new_tribe,
                                         bool merge_tribe, bool force, bool is_from_invite,
                                         APlayerController* inviter) {
  return Original<"AShooterPlayerState.AddToTribe">(player_state, new_tribe, merge_tribe, force,
                                                    is_from_invite, inviter);
}
