#pragma once

#include <cstdint>

#include "host/game_types.h"

// A player's team: the tribe id while the player is in a tribe, else the player id. 0 (no team)
// for a null player state. Asks the game afresh at every call.
int32_t GetTeamID(AShooterPlayerState* player_state);

// The player state behind a controller, or null for a null controller or one without.
AShooterPlayerState* PlayerStateOf(const AController* controller);
