#include "hooks/hooks.h"

bool Hook_AShooterGameState_AllowDinoTame(AShooterGameState* game_state, APrimalDinoCharacter* dino,
                                          AShooterPlayerController* controller) {
  return Original<"AShooterGameState.AllowDinoTame">(game_state, dino, controller);
}

void Hook_APrimalDinoCharacter_TameDino(APrimalDinoCharacter* dino,
                                        AShooterPlayerController* controller,
                                        bool ignore_max_tame_limit, int32_t override_team,
                                        bool prevent_name_dialog, bool skip_tamed_levels) {
  Original<"APrimalDinoCharacter.TameDino">(dino, controller, ignore_max_tame_limit, override_team,
                                            prevent_name_dialog, skip_tamed_levels);
}

bool Hook_APrimalDinoCharacter_TryMultiUse(APrimalDinoCharacter* dino,
                                           APlayerController* controller, int32_t use_index) {
  return Original<"APrimalDinoCharacter.TryMultiUse">(dino, controller, use_index);
}
