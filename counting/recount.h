#pragma once

#include "host/game_types.h"

// Empties the count store and rebuilds it from the configuration and the running level.
void UpdateDinoCountAll();

// "AShooterGameMode.InitGame": the game sets up its world, then the counts are built.
void Hook_AShooterGameMode_InitGame(AShooterGameMode* game_mode, FString* map_name,
                                    FString* options, FString* error_message);
