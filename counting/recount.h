#pragma once

#include "host/game_types.h"

// Empties the count store and rebuilds it from the configuration and the running level: every
// member of "Dinos" becomes a kind (names widened byte by byte; names equal ignoring case make
// one kind, the first in the section's order), then every living creature of a team above 50000
// (except team 2000000000) counts once for its team and, when configured, for its kind. Throws
// the JSON library's errors for a "Dinos" section or member of the wrong type; what was counted
// before stays. Counts nothing when the host has no world.
void UpdateDinoCountAll();

// "AShooterGameMode.InitGame": the game sets up its world, then the counts are built. A failing
// count is logged at error level and never reaches the game.
void Hook_AShooterGameMode_InitGame(AShooterGameMode* game_mode, FString* map_name,
                                    FString* options, FString* error_message);
