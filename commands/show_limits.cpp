#include "commands/commands.h"

void ShowLimitsCmd(AShooterPlayerController*, FString*, EChatSendMode::Type) {}
