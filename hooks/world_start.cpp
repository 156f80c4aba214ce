// The world's start: once the game has set up its world, every creature in it is counted.
#include "base/guard.h"
#include "counting/recount.h"
#include "hooks/hooks.h"

void Hook_AShooterGameMode_InitGame(AShooterGameMode* game_mode, FString* map_name,
                                    FString* options, FString* error_message) {
  Original<"AShooterGameMode.InitGame">(game_mode, map_name, options, error_message);
  Guarded("UpdateDinoCountAll", [] { Recount(RecountReason::kWorldStart); });
}
