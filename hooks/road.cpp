#include "hooks/road.h"

#include "base/debug.h"
#include "counting/limits.h"
#include "counting/team_identity.h"
#include "notify/messages.h"
#include "notify/refusals.h"

Actor ActingPlayer(APlayerController* controller) {
  return Actor(static_cast<AShooterPlayerController*>(controller),
               GetTeamID(PlayerStateOf(controller)));
}

void GuardGain(const Road& road, const FString& path, const Actor& who, bool& refuse) {
  const LimitCheck check = CheckLimits(path, who.team(), who.tier());
  if (check.allowed()) return;
  refuse = true;
  if (!road.refused_line.empty()) LogDebug(std::string(road.refused_line));
  LogRefusal(road.name, who.team(), who.controller(), path, check);
  if (road.notice != nullptr) {
    NotifyPlayer(road.notice, who.controller());
  } else {
    NotifyLimit(check, who.controller());
  }
}

void WriteCheckLines(const FString& path, int32_t team_id) { (void)DinoAllowed(path, team_id); }
