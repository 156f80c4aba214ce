#include "hooks/hooks.h"

void Hook_AShooterPlayerController_ServerRequestDownloadDino_Implementation(
    AShooterPlayerController* controller, UploadedDinoRecord record) {
  Original<"AShooterPlayerController.ServerRequestDownloadDino_Implementation">(controller, record);
}

bool Hook_AShooterPlayerController_ServerDownloadDino(AShooterPlayerController* controller,
                                                      UploadedDinoRecord record) {
  return Original<"AShooterPlayerController.ServerDownloadDino">(controller, record);
}

void Hook_APrimalDinoCharacter_InitDownloadedTamedDino(APrimalDinoCharacter* dino,
                                                       AShooterPlayerController* tamer,
                                                       int32_t team) {
  Original<"APrimalDinoCharacter.InitDownloadedTamedDino">(dino, tamer, team);
}
