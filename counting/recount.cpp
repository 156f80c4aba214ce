#include "counting/recount.h"

#include "hooks/hooks.h"

void UpdateDinoCountAll() {}

void Hook_AShooterGameMode_InitGame(AShooterGameMode* game_mode, FString* map_name,
                                    FString* options, FString* error_message) {
  Original<"AShooterGameMode.InitGame">(game_mode, map_name, options, error_message);
  UpdateDinoCountAll();
}
