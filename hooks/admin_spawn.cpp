#include "hooks/hooks.h"

AActor* Hook_AShooterPlayerController_SpawnActor(AShooterPlayerController* controller,
                                                 FString* blueprint_path, float spawn_distance,
                                                 float y_offset, float z_offset,
                                                 bool defer_begin_play) {
  return Original<"AShooterPlayerController.SpawnActor">(controller, blueprint_path, spawn_distance,
                                                         y_offset, z_offset, defer_begin_play);
}
