#include "commands/commands.h"

void UpdateDinosCmd(APlayerController*, FString*, bool) {}

void UpdateDinosRconCmd(RCONClientConnection*, RCONPacket*, UWorld*) {}

void GetDinoBpCmd(APlayerController*, FString*, bool) {}
